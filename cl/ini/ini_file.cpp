#include "cl/ini/ini_file.h"

#include "cl/file/temp_file.h"
#include "cl/file/uni_file.h"
#include "cl/format/format.h"
#include "cl/trace/trace.h"

#include <windows.h>

namespace cl {

namespace {

constexpr uint32_t buffer_size = 4096;

// Handles of the INI file and its temporary copy stay out of child processes: a launched program
// holding the delete-on-close copy would keep it alive.
constexpr unsigned read_flags = o_rdonly | o_sequential | o_binary | o_noinherit;
constexpr unsigned edit_flags = o_rdwr | o_creat | o_sequential | o_binary | o_noinherit;
constexpr unsigned temp_flags = o_rdwr | o_sequential | o_binary | o_noinherit;

const std::wstring crlf = L"\r\n";

// White space as the C locale has it, below 128 only: space, TAB, LF, VT, FF, CR.
bool is_space(wchar_t ch) { return ch == L' ' || (ch >= L'\t' && ch <= L'\r'); }

void strip_leading(std::wstring& text) {
    std::size_t n = 0;
    while (n < text.size() && is_space(text[n])) ++n;
    if (n > 0) text.erase(0, n);
}

std::wstring trim(const std::wstring& text, std::size_t begin = 0, std::size_t end = std::wstring::npos) {
    if (end > text.size()) end = text.size();
    while (begin < end && is_space(text[begin])) ++begin;
    while (end > begin && is_space(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

wchar_t fold(wchar_t ch) { return ch >= L'A' && ch <= L'Z' ? static_cast<wchar_t>(ch - L'A' + L'a') : ch; }

// A section or key argument as every comparison takes it: trimmed, ASCII capitals lowered.
std::wstring argument(const std::wstring& text) {
    std::wstring out = trim(text);
    for (wchar_t& ch : out) ch = fold(ch);
    return out;
}

// `text` against an argument already lowered, ignoring ASCII case.
bool equals_argument(const std::wstring& text, const std::wstring& folded) {
    if (text.size() != folded.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (fold(text[i]) != folded[i]) return false;
    return true;
}

// The name of a header line (it starts with "["): up to the first "]" or the end, trimmed.
std::wstring header_name(const std::wstring& line) {
    const std::size_t close = line.find(L']', 1);
    return trim(line, 1, close);
}

bool is_header(const std::wstring& line) { return !line.empty() && line[0] == L'['; }

// equals_argument(header_name(line), folded) without building the name: every lookup compares
// every header of the file.
bool header_matches(const std::wstring& line, const std::wstring& folded) {
    std::size_t end = line.find(L']', 1);
    if (end > line.size()) end = line.size();
    std::size_t begin = 1;
    while (begin < end && is_space(line[begin])) ++begin;
    while (end > begin && is_space(line[end - 1])) --end;
    if (end - begin != folded.size()) return false;
    for (std::size_t i = 0; i < folded.size(); ++i)
        if (fold(line[begin + i]) != folded[i]) return false;
    return true;
}
bool is_comment(const std::wstring& line) { return !line.empty() && line[0] == L';'; }

void spaces_for_white_space(std::wstring& text) {
    for (wchar_t& ch : text)
        if (is_space(ch)) ch = L' ';
}

// A line of a section whose key part matches the lowered key.
bool has_key(const std::wstring& line, const std::wstring& folded_key) {
    if (is_comment(line)) return false;
    const std::size_t eq = line.find(L'=');
    return eq != std::wstring::npos && equals_argument(trim(line, 0, eq), folded_key);
}

// key "=" value with both parts trimmed and white space below 128 as spaces; false for a comment,
// a line without "=" or an empty key.
bool normalise_pair(const std::wstring& line, std::wstring& out) {
    if (is_comment(line)) return false;
    const std::size_t eq = line.find(L'=');
    if (eq == std::wstring::npos) return false;
    std::wstring key = trim(line, 0, eq);
    if (key.empty()) return false;
    std::wstring value = trim(line, eq + 1);
    spaces_for_white_space(key);
    spaces_for_white_space(value);
    out = key + L'=' + value;
    return true;
}

// Text that goes into a written line: a CR or LF in it would split the line and could smuggle in
// keys or headers, so it is written as a space (which is what a reader would make of it anyway).
std::wstring one_line(const std::wstring& text) {
    std::wstring out = text;
    for (wchar_t& ch : out)
        if (ch == L'\r' || ch == L'\n') ch = L' ';
    return out;
}

// The folder part of a path, with its separator; the temporary copy goes there.
std::wstring folder_of(const std::wstring& path) {
    const std::size_t sep = path.find_last_of(L"\\/:");
    return sep == std::wstring::npos ? std::wstring() : path.substr(0, sep + 1);
}

bool file_size(HANDLE handle, int64_t& size) {
    LARGE_INTEGER li;
    if (!::GetFileSizeEx(handle, &li)) return false;
    size = li.QuadPart;
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

ini_file::ini_file() = default;

void ini_file::set_file(const std::wstring& path, bool write_utf8) {
    path_ = path;
    write_utf8_ = write_utf8;
}

bool ini_file::open(uni_file& file, bool for_edit) const {
    const uni_file::encoding default_encoding = write_utf8_ ? uni_file::utf8 : uni_file::ansi;
    if (file.open(path_, for_edit ? edit_flags : read_flags, default_encoding, sh_denywr)) return true;
    const unsigned error = file.last_error();
    if (error != ERROR_FILE_NOT_FOUND)
        trace_write(&g_trace_err, (wformat(L"file '%?' open error %u\n") % path_ % error).str());
    return false;
}

bool ini_file::get_string(const std::wstring& section, const std::wstring& key, std::wstring& value) {
    const std::wstring wanted_section = argument(section);
    const std::wstring wanted_key = argument(key);
    uni_file file(buffer_size);
    if (!open(file, false)) return false;
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
        std::wstring found = line.substr(line.find(L'=') + 1);
        spaces_for_white_space(found);
        value = trim(found);
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
    if (!open(file, false)) return false;
    lines.clear();
    bool found = false;
    std::wstring line;
    std::wstring pair;
    while (file.read_line(line)) {
        strip_leading(line);
        if (line.empty()) continue;
        if (is_header(line)) {
            // Only the first section of the name is read.
            if (found) break;
            found = header_matches(line, wanted);
            continue;
        }
        if (!found) continue;
        if (is_comment(line)) {
            if (flags & with_comments) lines.push_back(line);
        } else if (normalise_pair(line, pair)) {
            lines.push_back(pair);
        } else if (flags & with_other_lines) {
            lines.push_back(trim(line));
        }
    }
    return found;
}

bool ini_file::section_names(std::vector<std::wstring>& names) {
    uni_file file(buffer_size);
    if (!open(file, false)) return false;
    names.clear();
    std::wstring line;
    while (file.read_line(line)) {
        strip_leading(line);
        if (is_header(line)) names.push_back(header_name(line));
    }
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
    edit change{edit::kind_type::set_string, argument(section), L'[' + one_line(section) + L']', argument(key),
                one_line(key) + L'=' + one_line(value)};
    return rewrite(change);
}

bool ini_file::delete_key(const std::wstring& section, const std::wstring& key) {
    edit change{edit::kind_type::delete_key, argument(section), std::wstring(), argument(key), std::wstring()};
    return rewrite(change);
}

bool ini_file::write_section(const std::wstring& section, const std::vector<std::wstring>& lines) {
    edit change{edit::kind_type::write_section, argument(section), L'[' + one_line(section) + L']', std::wstring(),
                std::wstring(), &lines};
    return rewrite(change);
}

bool ini_file::delete_section(const std::wstring& section) {
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
    if (!written || !temp.flush() || !ini.flush()) return false;

    // Copy back. A shorter result is cut to its size first: if the file cannot be cut (a mapped
    // view of it, for one), it is left as it was instead of half overwritten.
    int64_t new_size = 0;
    int64_t old_size = 0;
    if (!file_size(temp.handle(), new_size) || !file_size(ini.handle(), old_size)) return false;
    if (new_size < old_size && (ini.file_stream::seek(new_size, seek_begin) != new_size || !ini.truncate()))
        return false;
    return temp.copy_to(ini, true);
}

}  // namespace cl
