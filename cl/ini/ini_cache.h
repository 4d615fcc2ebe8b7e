// cl::ini_cache: one parse of an INI file, kept by cl::ini_file together with the exact bytes it
// was made from, so that reads of an unchanged file answer without a new parse. Whether the file
// is unchanged is decided by its contents alone (time stamps can stay the same across an edit).
//
// The parse keeps every header and the lines of each section (leading white space removed, empty
// lines left out) with an index by section name, and answers as a scan of the file from the top
// would. Owned by one ini_file; used by one thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace cl {

class uni_file;

class ini_cache {
public:
    // True when a parse is kept and was made from exactly `size` bytes at `data` read in the
    // ANSI code page `code_page` (which decides how a file without a mark reads).
    bool matches(const uint8_t* data, std::size_t size, unsigned code_page) const;
    // Parses the lines of `file` (open, positioned behind its mark) as the new kept parse made from
    // `bytes`, which it takes over. False, with nothing kept, when a read of the file fails.
    bool build(std::vector<uint8_t>& bytes, unsigned code_page, uni_file& file);
    // Forgets the parse (the buffers keep their storage for the next one).
    void clear();

    // The answers of ini_file's reads; `section` and `key` already trimmed and folded.
    bool get_string(const std::wstring& section, const std::wstring& key, std::wstring& value) const;
    bool read_section(const std::wstring& section, std::vector<std::wstring>& lines, unsigned flags) const;
    void section_names(std::vector<std::wstring>& names) const;

    // A buffer for the bytes of the next read, kept to reuse its storage.
    std::vector<uint8_t>& scratch() { return scratch_; }

private:
    struct section {
        std::wstring name;  // as written, trimmed
        std::size_t first;  // its lines are lines_[first, end)
        std::size_t end;
    };

    bool valid_ = false;
    unsigned code_page_ = 0;
    std::vector<uint8_t> bytes_;
    std::vector<uint8_t> scratch_;
    std::vector<std::wstring> lines_;
    std::vector<section> sections_;
    std::unordered_map<std::wstring, std::vector<std::size_t>> by_name_;  // folded name: sections in file order
};

}  // namespace cl
