#include "core/text_util.h"

#include <cstddef>

namespace tolvarn {

bool equals_nocase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (ascii_upper(a[i]) != ascii_upper(b[i])) return false;
    }
    return true;
}

std::int32_t parse_int(std::wstring_view text) {
    std::size_t i = 0;
    while (i < text.size() && is_ascii_space(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) {
        negative = text[i] == L'-';
        ++i;
    }
    std::uint32_t value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10u + static_cast<std::uint32_t>(text[i] - L'0');
    }
    if (negative) value = 0u - value;
    // Two's complement reinterpretation: -1 comes back as 0xFFFFFFFF when stored unsigned.
    return static_cast<std::int32_t>(value);
}

}  // namespace tolvarn
