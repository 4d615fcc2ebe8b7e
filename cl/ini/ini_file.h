// cl::ini_file: reads and edits an INI file ("[" section "]" headers, key "=" value lines, ";"
// comment lines at the start of a line) in any encoding cl::uni_file knows.
//
// Every operation opens the file and closes it before returning, so each call sees the file as it
// is on disk. A read takes the whole file (up to a limit, 4 MiB unless set_cache_limit says
// otherwise) and answers from the parse of the last read when the bytes are the same, so that
// many reads of one file cost one parse; a larger file is scanned from the top on every call.
// Edits stream the file into a temporary file in the same folder with the change applied and
// write that back over the INI file, which stays the same file on disk (identity, attributes,
// security, hard links) in the same encoding; every line is written without its indentation and
// ends in CR LF. An edit that fails leaves the file as it was, as far as a file overwritten in
// place allows (see replace_contents in the .cpp). Names whose lines would not read back are
// refused: a section holding "]", a key holding "=" or starting with "[" or ";".
//
// Section and key arguments are trimmed and compared without regard to the case of ASCII letters.
// A file that cannot be opened for a reason other than "not found" is reported to cl::g_trace_err
// as "file '<path>' open error <code>". While an operation runs, others may read the file but not
// write it. No locks: one thread at a time per object; the temporary-name generator is
// process-wide and unguarded.
//
// Several operations exist twice: the second of a name takes one further int that it ignores and
// behaves as the first. The pairs, and the three reserved operations, are kept so that the virtual
// operations keep their established order.
#pragma once

#include "cl/file/uni_file.h"
#include "cl/ini/ini_cache.h"

#include <cstdint>
#include <string>
#include <vector>

namespace cl {

class ini_file {
public:
    // Flags of read_section.
    static constexpr unsigned with_comments = 0x1;     // comment lines too (indentation removed)
    static constexpr unsigned with_other_lines = 0x2;  // lines without "=" too, trimmed

    ini_file();

    // Virtual operations, in this order.

    // The value of the first `key` in any section named `section` (file order), its white space
    // below 128 turned into spaces and trimmed. False when there is none or the file cannot be
    // opened; `value` is then left alone.
    virtual bool get_string(const std::wstring& section, const std::wstring& key, std::wstring& value);
    // As the first get_string; `unused` is ignored.
    virtual bool get_string(const std::wstring& section, const std::wstring& key, std::wstring& value, int unused);
    // Sets the file's path; with `write_utf8` a file without a byte-order mark is written back as
    // UTF-8 with mark, and a new or empty file is started as UTF-8 with mark.
    virtual void set_file(const std::wstring& path, bool write_utf8);
    // The lines of the first section named `section`: pairs as "key=value" (both trimmed, white
    // space below 128 as spaces), plus comments and other lines as `flags` ask. True when the
    // section was found; `lines` is cleared once the file is open and left alone otherwise.
    virtual bool read_section(const std::wstring& section, std::vector<std::wstring>& lines, unsigned flags);
    // The name of every header in file order (trimmed, as written, duplicates and empty names
    // included). False only when the file cannot be opened; `names` is then left alone.
    virtual bool section_names(std::vector<std::wstring>& names);
    // As the first read_section; `unused` is ignored.
    virtual bool read_section(const std::wstring& section, std::vector<std::wstring>& lines, unsigned flags,
                              int unused);
    // As the first section_names; `unused` is ignored.
    virtual bool section_names(std::vector<std::wstring>& names, int unused);
    // True when the first read_section finds the section and returns at least one line.
    virtual bool section_has_lines(const std::wstring& section, unsigned flags);
    // The same through the second read_section; `unused` is ignored.
    virtual bool section_has_lines(const std::wstring& section, unsigned flags, int unused);
    // Replaces the first `key` line of the section (in each section of that name) by
    // key "=" value, or adds it at the section's end, or appends a new section with it. False,
    // with the file as it was, when the file cannot be opened, read or rewritten, or when the
    // section holds "]" or the key holds "=" or starts with "[" or ";".
    virtual bool set_string(const std::wstring& section, const std::wstring& key, const std::wstring& value);
    // Drops the first `key` line of the section (in each section of that name). False as set_string.
    virtual bool delete_key(const std::wstring& section, const std::wstring& key);
    // Replaces the content of every section of that name: the first gets `lines`, the others end
    // up empty; a missing section is appended. False as set_string, and for a line that would
    // read as a header.
    virtual bool write_section(const std::wstring& section, const std::vector<std::wstring>& lines);
    // Drops every section of that name with its header. False as set_string.
    virtual bool delete_section(const std::wstring& section);
    // Reserved: do nothing (the first two answer true); they keep the order of the operations.
    virtual bool reserved_1();
    virtual bool reserved_2();
    virtual void reserved_3();
    // True when the first read_section with flags 0 finds the section.
    virtual bool section_exists(const std::wstring& section);
    // Number of section headers, by the first section_names; 0 when the file cannot be opened.
    virtual int section_count();
    // The same through the first section_count; `unused` is ignored.
    virtual int section_count(int unused);

    // The pairs of the first section named `section` (as the first read_section with flags 0)
    // split at their first "=" and appended to `keys` and `values` at the same positions. The
    // lists are not cleared first. A null `section` does nothing.
    void read_section_pairs(const wchar_t* section, std::vector<std::wstring>& keys, std::vector<std::wstring>& values);

    const std::wstring& file() const noexcept { return path_; }
    bool writes_utf8() const noexcept { return write_utf8_; }
    // Files of up to `bytes` bytes are parsed once per content; larger ones are scanned on every
    // read. 0 scans every file. Drops the kept parse.
    void set_cache_limit(int64_t bytes);

private:
    struct edit;
    enum class source { failed, cache, stream };

    // Opens the file for reading (without detecting its encoding) or for editing; on failure other
    // than "not found" the open error is written to cl::g_trace_err.
    bool open(uni_file& file, bool for_edit) const;
    uni_file::encoding default_encoding() const;
    // Opens the file for a read and answers where the answer comes from: the kept parse (brought
    // up to date), a scan of `file` (positioned behind its mark), or nowhere (open or read failed).
    source prepare_read(uni_file& file);
    // Steps of every edit: temporary file, copy with the change, copy back.
    bool rewrite(const edit& change);

    bool write_utf8_ = false;
    std::wstring path_;
    int64_t cache_limit_;
    ini_cache cache_;
};

}  // namespace cl
