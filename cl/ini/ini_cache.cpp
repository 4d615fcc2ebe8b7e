#include "cl/ini/ini_cache.h"

#include "cl/file/uni_file.h"
#include "cl/ini/ini_syntax.h"

#include <cstring>

namespace cl {

using namespace ini_syntax;

bool ini_cache::matches(const uint8_t* data, std::size_t size, unsigned code_page) const {
    return valid_ && code_page == code_page_ && size == bytes_.size() &&
           (size == 0 || std::memcmp(data, bytes_.data(), size) == 0);
}

void ini_cache::clear() {
    valid_ = false;
    bytes_.clear();
    lines_.clear();
    sections_.clear();
    by_name_.clear();
}

bool ini_cache::build(std::vector<uint8_t>& bytes, unsigned code_page, uni_file& file) {
    clear();
    std::wstring line;
    while (file.read_line(line)) {
        strip_leading(line);
        if (line.empty()) continue;
        if (is_header(line)) {
            if (!sections_.empty()) sections_.back().end = lines_.size();
            by_name_[argument(header_name(line))].push_back(sections_.size());
            sections_.push_back({header_name(line), lines_.size(), lines_.size()});
        } else if (!sections_.empty()) {
            lines_.push_back(line);  // lines before the first header belong to no section
        }
    }
    if (file.read_failed()) {
        clear();
        return false;
    }
    if (!sections_.empty()) sections_.back().end = lines_.size();
    bytes_.swap(bytes);
    code_page_ = code_page;
    valid_ = true;
    return true;
}

bool ini_cache::get_string(const std::wstring& section, const std::wstring& key, std::wstring& value) const {
    const auto found = by_name_.find(section);
    if (found == by_name_.end()) return false;
    for (std::size_t index : found->second) {
        const ini_cache::section& s = sections_[index];
        for (std::size_t i = s.first; i < s.end; ++i) {
            if (!has_key(lines_[i], key)) continue;
            value = value_of(lines_[i]);
            return true;
        }
    }
    return false;
}

bool ini_cache::read_section(const std::wstring& section, std::vector<std::wstring>& lines, unsigned flags) const {
    lines.clear();
    const auto found = by_name_.find(section);
    if (found == by_name_.end()) return false;
    const ini_cache::section& s = sections_[found->second.front()];
    std::wstring out;
    for (std::size_t i = s.first; i < s.end; ++i)
        if (section_line(lines_[i], flags, out)) lines.push_back(out);
    return true;
}

void ini_cache::section_names(std::vector<std::wstring>& names) const {
    names.clear();
    names.reserve(sections_.size());
    for (const section& s : sections_) names.push_back(s.name);
}

}  // namespace cl
