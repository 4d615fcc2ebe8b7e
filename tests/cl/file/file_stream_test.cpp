#include "cl/file/file_stream.h"

#include "file_test_util.h"

#include <vector>

namespace {

using file_test::folder_test;
using file_test::read_file;
using file_test::write_file;

class file_stream_test : public folder_test {};

std::string pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + (i * 7 + i / 26) % 26);
    return s;
}

TEST_F(file_stream_test, mixed_read_sizes_deliver_every_byte_in_order) {
    const std::wstring name = path(L"r.bin");
    const std::string content = pattern(10000);
    write_file(name, content);
    const std::vector<std::vector<int64_t>> plans = {
        {1}, {7}, {4095}, {4096}, {4097}, {5000, 1, 3}, {1, 8000, 2}, {20000},
    };
    for (uint32_t size : {4096u, 16u, 0u}) {
        for (const auto& plan : plans) {
            cl::file_stream f(size);
            ASSERT_TRUE(f.open(name, cl::o_rdonly, cl::sh_denywr));
            std::string got;
            std::vector<char> buf(20000);
            for (size_t i = 0;; ++i) {
                const int64_t n = f.read(buf.data(), plan[i % plan.size()]);
                ASSERT_GE(n, 0);
                if (n == 0) break;
                got.append(buf.data(), static_cast<size_t>(n));
            }
            EXPECT_EQ(got, content) << "buffer " << size << ", first chunk " << plan[0];
        }
    }
}

TEST_F(file_stream_test, seek_tell_and_size_see_the_logical_position) {
    const std::wstring name = path(L"s.bin");
    const std::string content = pattern(6000);
    write_file(name, content);
    cl::file_stream f(4096);
    ASSERT_TRUE(f.open(name, cl::o_rdonly, cl::sh_denywr));
    char buf[16];
    ASSERT_EQ(f.read(buf, 2), 2);  // the rest of the buffer is now read-ahead
    EXPECT_EQ(f.tell(), 2);
    ASSERT_EQ(f.read(buf, 3), 3);
    EXPECT_EQ(f.size(), 6000);
    EXPECT_EQ(f.tell(), 5);
    ASSERT_EQ(f.read(buf, 1), 1);
    EXPECT_EQ(buf[0], content[5]);
    EXPECT_EQ(f.seek(-4, cl::seek_current), 2);
    ASSERT_EQ(f.read(buf, 10), 10);
    EXPECT_EQ(std::string(buf, 10), content.substr(2, 10));
    EXPECT_EQ(f.seek(5990, cl::seek_begin), 5990);
    EXPECT_EQ(f.read(buf, 16), 10);
    EXPECT_EQ(f.read(buf, 16), 0);
}

TEST_F(file_stream_test, size_drops_a_pushed_back_byte) {
    const std::wstring name = path(L"p.txt");
    write_file(name, "a\rbc\n");
    cl::file_stream f(4096);
    ASSERT_TRUE(f.open(name, cl::o_rdonly, cl::sh_denywr));
    std::string text;
    ASSERT_TRUE(f.read_line(text));
    EXPECT_EQ(f.size(), 5);
    EXPECT_EQ(f.tell(), 3);
    ASSERT_TRUE(f.read_line(text));
    EXPECT_EQ(text, "c");
}

// Size of the file on disk, seen past the stream.
int64_t disk_size(const std::wstring& name) { return static_cast<int64_t>(read_file(name).size()); }

TEST_F(file_stream_test, small_writes_wait_large_ones_go_straight_through) {
    const std::wstring name = path(L"w.bin");
    const std::string big = pattern(4096);
    {
        cl::file_stream f(4096);
        ASSERT_TRUE(f.open(name, cl::o_wronly | cl::o_creat, cl::sh_denywr));
        EXPECT_EQ(f.write("12345", 5), 5);
        EXPECT_EQ(disk_size(name), 0);
        // A write of the buffer's size: pending bytes first, then the block itself.
        EXPECT_EQ(f.write(big.data(), 4096), 4096);
        EXPECT_EQ(read_file(name), "12345" + big);
        EXPECT_EQ(f.write("67", 2), 2);
        EXPECT_EQ(f.write(big.data(), 4095), 4095);  // does not fit behind "67"
        EXPECT_EQ(disk_size(name), 5 + 4096 + 2 + 4095);
        EXPECT_EQ(f.write("89", 2), 2);
        EXPECT_EQ(disk_size(name), 5 + 4096 + 2 + 4095);
        // The destructor writes what is pending.
    }
    EXPECT_EQ(read_file(name), "12345" + big + "67" + big.substr(0, 4095) + "89");
}

TEST_F(file_stream_test, close_and_reopen_write_pending_bytes) {
    const std::wstring name = path(L"c.txt");
    const std::wstring other = path(L"d.txt");
    cl::file_stream f(4096);
    ASSERT_TRUE(f.open(name, cl::o_wronly | cl::o_creat, cl::sh_denywr));
    EXPECT_TRUE(f.write_string(std::string("one")));
    ASSERT_TRUE(f.open(other, cl::o_wronly | cl::o_creat, cl::sh_denywr));
    EXPECT_EQ(read_file(name), "one");
    EXPECT_TRUE(f.write_string(std::string("two")));
    f.close();
    EXPECT_EQ(read_file(other), "two");
    EXPECT_EQ(f.write("x", 1), -1);
}

TEST_F(file_stream_test, read_after_write_and_write_after_seek) {
    const std::wstring name = path(L"rw.txt");
    write_file(name, "abcdef");
    cl::file_stream f(4096);
    ASSERT_TRUE(f.open(name, cl::o_rdwr, cl::sh_denywr));
    EXPECT_EQ(f.write("XY", 2), 2);
    char buf[4] = {};
    EXPECT_EQ(f.read(buf, 2), 2);  // pending bytes are written first
    EXPECT_EQ(std::string(buf, 2), "cd");
    ASSERT_EQ(f.seek(0, cl::seek_current), 4);
    EXPECT_EQ(f.write("Z", 1), 1);
    EXPECT_EQ(f.seek(0, cl::seek_begin), 0);
    EXPECT_EQ(f.read(buf, 4), 4);
    EXPECT_EQ(std::string(buf, 4), "XYcd");
    EXPECT_EQ(f.tell(), 4);
    EXPECT_EQ(f.read(buf, 4), 2);
    EXPECT_EQ(std::string(buf, 2), "Zf");
    EXPECT_EQ(f.seek(2, cl::seek_begin), 2);
    EXPECT_TRUE(f.truncate());
    EXPECT_EQ(f.size(), 2);
    f.close();
    EXPECT_EQ(read_file(name), "XY");
}

TEST_F(file_stream_test, access_is_checked) {
    const std::wstring name = path(L"a.txt");
    write_file(name, "abc");
    char buf[4];
    cl::file_stream r(4096);
    ASSERT_TRUE(r.open(name, cl::o_rdonly, cl::sh_denyno));
    EXPECT_EQ(r.write("x", 1), -1);
    cl::file_stream w(4096);
    ASSERT_TRUE(w.open(name, cl::o_wronly, cl::sh_denyno));
    EXPECT_EQ(w.read(buf, 1), -1);
    EXPECT_EQ(w.write("x", 1), 1);
    EXPECT_TRUE(w.flush());
    EXPECT_EQ(read_file(name), "xbc");
}

}  // namespace
