// Internal to cl/errtext: a table of texts keyed by code, sorted by code and searched with a
// binary search. The rows are constant data; lookups are thread-safe.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace cl {
namespace errtext_detail {

struct code_text {
    std::uint32_t code;
    const char* text;
};

// True when the codes strictly ascend; used in static_asserts so a misplaced row cannot compile.
template <std::size_t N>
constexpr bool strictly_ascending(const code_text (&rows)[N]) {
    for (std::size_t i = 1; i < N; ++i) {
        if (!(rows[i - 1].code < rows[i].code)) return false;
    }
    return true;
}

// The text of `code`, or a null pointer when the table has no such row.
template <std::size_t N>
const char* find_text(const code_text (&rows)[N], std::uint32_t code) {
    const code_text* end = rows + N;
    const code_text* row = std::lower_bound(
        rows, end, code, [](const code_text& r, std::uint32_t c) { return r.code < c; });
    return (row != end && row->code == code) ? row->text : nullptr;
}

}  // namespace errtext_detail
}  // namespace cl
