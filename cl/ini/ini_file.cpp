#include "cl/ini/ini_file.h"

#include "cl/file/temp_file.h"
#include "cl/file/uni_file.h"
#include "cl/format/format.h"
#include "cl/ini/ini_syntax.h"
#include "cl/trace/trace.h"

#include <windows.h>

#include <cstdint>

namespace cl {

namespace {

using namespace ini_syntax;

constexpr uint32_t buffer_size = 4096;
constexpr int64_t copy_block = 4096;
constexpr int64_t default_cache_limit = 4 << 20;

// Handles of the INI file and its temporary copy stay out of child processes: a launched program
// holding the delete-on-close copy would keep it alive.
constexpr unsigned read_flags = o_rdonly | o_sequential | o_binary | o_noinherit;
constexpr unsigned edit_flags = o_rdwr | o_creat | o_sequential | o_binary | o_noinherit;
constexpr unsigned temp_flags = o_rdwr | o_sequential | o_binary | o_noinherit;

const std::wstring crlf = L"\r\n";

// Text that goes into a written line: a CR or LF in it would split the line and could smuggle in
// keys or headers, so it is written as a space (which is what a reader would make of it anyway).
std::wstring one_line(const std::wstring& text) {
    std::wstring out = text;
    for (wchar_t& ch : out)
        if (ch == L'\r' || ch == L'\n') ch = L' ';
    return out;
}

// Names an edit refuses because the line written for them would not read back as written: a
// section holding "]" ends its header early; a key holding "=" splits elsewhere, and one that
// starts with "[" or ";" reads as a header or a comment. The same holds for a line of
// write_section that would read as a header.
bool writable_section(const std::wstring& section) { return section.find(L']') == std::wstring::npos; }
bool writable_key(const std::wstring& key) {
    const std::wstring text = trim(one_line(key));
    return text.find(L'=') == std::wstring::npos && !is_header(text) && !is_comment(text);
}
bool writable_line(const std::wstring& line) {
    std::wstring text = one_line(line);
    strip_leading(text);
    return !is_header(text);
}

// The folder part of a path, with its separator; the temporary copy goes there.
std::wstring folder_of(const std::wstring& path) {
    const std::size_t sep = path.find_last_of(L"\\/:");
    return sep == std::wstring::npos ? std::wstring() : path.substr(0, sep + 1);
}

int64_t file_size(HANDLE handle) {
    LARGE_INTEGER li;
    return ::GetFileSizeEx(handle, &li) ? li.QuadPart : -1;
}

// The ANSI code page of the calling thread, in which a file without a mark is read.
unsigned thread_code_page() {
    DWORD code_page = 0;
    ::GetLocaleInfoW(::GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                     reinterpret_cast<LPWSTR>(&code_page), sizeof(code_page) / sizeof(wchar_t));
    return code_page;
}

// Physical byte positions of a file, past the encoding layer: fills `out` with `count` bytes from
// `pos`; false on a failed or short read.
bool read_at(file_stream& file, int64_t pos, uint8_t* out, int64_t count) {
    if (file.file_stream::seek(pos, seek_begin) != pos) return false;
    while (count > 0) {
        const int64_t got = file.read(out, count);
        if (got <= 0) return false;
        out += got;
        count -= got;
    }
    return true;
}

bool write_at(file_stream& file, int64_t pos, const uint8_t* data, int64_t count) {
    if (file.file_stream::seek(pos, seek_begin) != pos) return false;
    return (count == 0 || file.write(data, count) == count) && file.flush();
}

bool cut_at(file_stream& file, int64_t pos) { return file.file_stream::seek(pos, seek_begin) == pos && file.truncate(); }

// Bytes [pos, pos + count) of `from` written over the same positions of `to`.
bool copy_range(file_stream& from, file_stream& to, int64_t pos, int64_t count) {
    if (from.file_stream::seek(pos, seek_begin) != pos || to.file_stream::seek(pos, seek_begin) != pos) return false;
    uint8_t block[copy_block];
    while (count > 0) {
        const int64_t got = from.read(block, count < copy_block ? count : copy_block);
        if (got <= 0 || to.write(block, got) != got) return false;
        count -= got;
    }
    return to.flush();
}

// Makes `ini` hold the bytes of `temp`, in place, so that it stays the same file (its identity,
// attributes, security and hard links). All or nothing as far as a file overwritten in place
// allows: the growth is written first, so that a full disk stops the edit before any old byte
// has changed; the bytes both sizes share are overwritten next (they need no new space) and the
// file is cut last. A failure after the first old byte changed writes the old bytes back.
bool replace_contents(file_stream& ini, file_stream& temp) {
    const int64_t old_size = file_size(ini.handle());
    const int64_t new_size = file_size(temp.handle());
    if (old_size < 0 || new_size < 0) return false;
    const int64_t shared = old_size < new_size ? old_size : new_size;
    std::vector<uint8_t> old_bytes(static_cast<std::size_t>(shared));
    if (!read_at(ini, 0, old_bytes.data(), shared)) return false;
    if (new_size > old_size && !copy_range(temp, ini, old_size, new_size - old_size)) {
        cut_at(ini, old_size);
        return false;
    }
    if (!copy_range(temp, ini, 0, shared) || (new_size < old_size && !cut_at(ini, new_size))) {
        write_at(ini, 0, old_bytes.data(), shared);
        cut_at(ini, old_size);
        return false;
    }
    return true;
}

}  // namespace

struct ini_file::edit {
    enum class kind_type { set_string, delete_key, write_section, delete_section };
    kind_type kind;
    std::wstring section;   // lowered, for comparisons
    std::wstring header;    // "[" section as passed "]"
    std::wstring key;       // lowered, for comparisons
    std::wstring new_line;  // set_string: key "=" value as passed
    const std::vector<std::wstring>* lines = nullptr;  // write_section
};

ini_file::ini_file() : cache_limit_(default_cache_limit) {}

void ini_file::set_file(const std::wstring& path, bool write_utf8) {
    path_ = path;
    write_utf8_ = write_utf8;
    cache_.clear();
}

void ini_file::set_cache_limit(int64_t bytes) {
    cache_limit_ = bytes;
    cache_.clear();
}

bool ini_file::open(uni_file& file, bool for_edit) const {
    // For a read the encoding is detected only when the file has to be parsed (prepare_read).
    const bool opened = for_edit ? file.open(path_, edit_flags, default_encoding(), sh_denywr)
                                 : file.file_hnd::open(path_, read_flags, sh_denywr);
    if (opened) return true;
    const unsigned error = file.last_error();
    if (error != ERROR_FILE_NOT_FOUND)
        trace_write(&g_trace_err, (wformat(L"file '%?' open error %u\n") % path_ % error).str());
    return false;
}

uni_file::encoding ini_file::default_encoding() const { return write_utf8_ ? uni_file::utf8 : uni_file::ansi; }

ini_file::source ini_file::prepare_read(uni_file& file) {
    if (!open(file, false)) return source::failed;
    const int64_t size = file_size(file.handle());
    if (cache_limit_ > 0 && size >= 0 && size <= cache_limit_) {
        // The whole file in one read; one byte more than its size shows a file that grew since.
        std::vector<uint8_t>& bytes = cache_.scratch();
        bytes.resize(static_cast<std::size_t>(size) + 1);
        int64_t got = 0;
        for (int64_t n; got < size + 1 && (n = file.file_hnd::read(bytes.data() + got, size + 1 - got)) != 0; got += n)
            if (n < 0) return source::failed;
        // A file that did not read as exactly its size is scanned instead, so that a kept parse
        // always belongs to the bytes kept with it.
        if (got == size) {
            bytes.resize(static_cast<std::size_t>(got));
            const unsigned code_page = thread_code_page();
            if (cache_.matches(bytes.data(), bytes.size(), code_page)) return source::cache;
            file.detect_encoding(default_encoding());
            return cache_.build(bytes, code_page, file) ? source::cache : source::failed;
        }
    }
    cache_.clear();
    file.detect_encoding(default_encoding());
    return source::stream;
}

bool ini_file::get_string(const std::wstring& section, const std::wstring& key, std::wstring& value) {
    const std::wstring wanted_section = argument(section);
    const std::wstring wanted_key = argument(key);
    uni_file file(buffer_size);
    const source from = prepare_read(file);
    if (from != source::stream) return from == source::cache && cache_.get_string(wanted_section, wanted_key, value);
    bool inside = false;
    std::wstring line;
    while (file.read_line(line)) {
        strip_leading(line);
        if (line.empty() || is_comment(line)) continue;
        if (is_header(line)) {
            inside = header_matches(line, wanted_section);
            continue;
        }
        if (!inside || !has_key(line, wanted_key)) continue;
        value = value_of(line);
        return true;
    }
    return false;
}

bool ini_file::get_string(const std::wstring& section, const std::wstring& key, std::wstring& value, int) {
    return get_string(section, key, value);
}

bool ini_file::read_section(const std::wstring& section, std::vector<std::wstring>& lines, unsigned flags) {
    const std::wstring wanted = argument(section);
    uni_file file(buffer_size);
    const source from = prepare_read(file);
    if (from != source::stream) return from == source::cache && cache_.read_section(wanted, lines, flags);
    std::vector<std::wstring> found_lines;
    bool found = false;
    std::wstring line;
    std::wstring out;
    while (file.read_line(line)) {
        strip_leading(line);
        if (line.empty()) continue;
        if (is_header(line)) {
            // Only the first section of the name is read.
            if (found) break;
            found = header_matches(line, wanted);
            continue;
        }
        if (found && section_line(line, flags, out)) found_lines.push_back(out);
    }
    if (file.read_failed()) return false;
    lines.swap(found_lines);
    return found;
}

bool ini_file::section_names(std::vector<std::wstring>& names) {
    uni_file file(buffer_size);
    const source from = prepare_read(file);
    if (from == source::cache) cache_.section_names(names);
    if (from != source::stream) return from == source::cache;
    std::vector<std::wstring> found;
    std::wstring line;
    while (file.read_line(line)) {
        strip_leading(line);
        if (is_header(line)) found.push_back(header_name(line));
    }
    if (file.read_failed()) return false;
    names.swap(found);
    return true;
}

bool ini_file::read_section(const std::wstring& section, std::vector<std::wstring>& lines, unsigned flags, int) {
    return read_section(section, lines, flags);
}

bool ini_file::section_names(std::vector<std::wstring>& names, int) { return section_names(names); }

bool ini_file::section_has_lines(const std::wstring& section, unsigned flags) {
    std::vector<std::wstring> lines;
    return read_section(section, lines, flags) && !lines.empty();
}

bool ini_file::section_has_lines(const std::wstring& section, unsigned flags, int) {
    std::vector<std::wstring> lines;
    return read_section(section, lines, flags, 0) && !lines.empty();
}

bool ini_file::set_string(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
    if (!writable_section(section) || !writable_key(key)) return false;
    edit change{edit::kind_type::set_string, argument(section), L'[' + one_line(section) + L']', argument(key),
                one_line(key) + L'=' + one_line(value)};
    return rewrite(change);
}

bool ini_file::delete_key(const std::wstring& section, const std::wstring& key) {
    if (!writable_section(section) || !writable_key(key)) return false;
    edit change{edit::kind_type::delete_key, argument(section), std::wstring(), argument(key), std::wstring()};
    return rewrite(change);
}

bool ini_file::write_section(const std::wstring& section, const std::vector<std::wstring>& lines) {
    if (!writable_section(section)) return false;
    for (const std::wstring& line : lines)
        if (!writable_line(line)) return false;
    edit change{edit::kind_type::write_section, argument(section), L'[' + one_line(section) + L']', std::wstring(),
                std::wstring(), &lines};
    return rewrite(change);
}

bool ini_file::delete_section(const std::wstring& section) {
    if (!writable_section(section)) return false;
    edit change{edit::kind_type::delete_section, argument(section), std::wstring(), std::wstring(), std::wstring()};
    return rewrite(change);
}

bool ini_file::reserved_1() { return true; }

bool ini_file::reserved_2() { return true; }

void ini_file::reserved_3() {}

bool ini_file::section_exists(const std::wstring& section) {
    std::vector<std::wstring> lines;
    return read_section(section, lines, 0);
}

int ini_file::section_count() {
    std::vector<std::wstring> names;
    return section_names(names) ? static_cast<int>(names.size()) : 0;
}

int ini_file::section_count(int) { return section_count(); }

void ini_file::read_section_pairs(const wchar_t* section, std::vector<std::wstring>& keys,
                                  std::vector<std::wstring>& values) {
    if (!section) return;
    std::vector<std::wstring> lines;
    read_section(section, lines, 0);
    for (const std::wstring& line : lines) {
        const std::size_t eq = line.find(L'=');
        if (eq == std::wstring::npos || eq == 0) continue;
        keys.push_back(line.substr(0, eq));
        values.push_back(line.substr(eq + 1));
    }
}

bool ini_file::rewrite(const edit& change) {
    using kind = edit::kind_type;
    cache_.clear();
    uni_file ini(buffer_size);
    if (!open(ini, true)) return false;

    uni_file temp(buffer_size);
    if (!create_temp_file(temp, folder_of(path_) + L"ini", temp_flags)) return false;
    uni_file::encoding encoding = ini.get_encoding();
    if (encoding == uni_file::ansi && write_utf8_) encoding = uni_file::utf8;
    if (!temp.set_encoding(encoding) || !temp.write_bom() || !temp.truncate()) return false;

    // A failed write anywhere leaves the INI file as it is: copying an incomplete file back would
    // lose its content.
    bool written = true;
    auto put = [&](const std::wstring& text) {
        if (!temp.write_string(text)) written = false;
        if (!temp.write_string(crlf)) written = false;
    };
    auto put_lines = [&]() {
        for (const std::wstring& line : *change.lines) put(one_line(line));
    };

    bool inside = false;
    bool done = false;
    bool first = true;
    std::wstring line;
    while (ini.read_line(line)) {
        strip_leading(line);
        // A file with a mark starts with an empty line. The test is on the file being written, so
        // that a file that gains a mark (write_utf8) is stable from its first rewrite on.
        if (first) {
            first = false;
            if (encoding != uni_file::ansi && !line.empty()) put(std::wstring());
        }
        if (is_header(line)) {
            const bool match = equals_argument(header_name(line), change.section);
            switch (change.kind) {
            case kind::set_string:
                // The key was not in the section: it goes to the section's end.
                if (inside && !done) {
                    put(change.new_line);
                    done = true;
                }
                put(line);
                break;
            case kind::delete_key:
                put(line);
                break;
            case kind::write_section:
                put(line);
                if (match && !done) {
                    put_lines();
                    done = true;
                }
                break;
            case kind::delete_section:
                if (!match) put(line);
                break;
            }
            inside = match;
            continue;
        }
        if (!inside) {
            put(line);
            continue;
        }
        switch (change.kind) {
        case kind::set_string:
            if (has_key(line, change.key)) {
                put(change.new_line);
                inside = false;
                done = true;
            } else {
                put(line);
            }
            break;
        case kind::delete_key:
            if (has_key(line, change.key)) inside = false;
            else put(line);
            break;
        case kind::write_section:
        case kind::delete_section:
            break;
        }
    }
    if (!done) {
        if (change.kind == kind::set_string) {
            if (!inside) put(change.header);
            put(change.new_line);
        } else if (change.kind == kind::write_section) {
            put(change.header);
            put_lines();
        }
    }
    // A failed read or write leaves the INI file as it is: its copy would be incomplete. The
    // temporary file lives until the copy back is over.
    if (ini.read_failed() || !written || !temp.flush()) return false;
    return replace_contents(ini, temp);
}

}  // namespace cl
