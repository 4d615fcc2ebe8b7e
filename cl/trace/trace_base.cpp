#include "cl/trace/trace_base.h"

#include <cwchar>

namespace cl {

void trace_base::write(const wchar_t* text, bool may_defer) {
    if (!text) return;
    const std::string utf8 = to_utf8(text, std::wcslen(text));
    write(utf8.c_str(), may_defer);
}

void trace_base::flush(bool) {}

std::string trace_base::to_utf8(const wchar_t* text, std::size_t length) {
    std::string out;
    out.reserve(length + length / 2);
    for (std::size_t i = 0; i < length; ++i) {
        unsigned long cp = static_cast<unsigned long>(text[i]) & 0xFFFFu;
        if (cp >= 0xD800 && cp < 0xDC00) {
            const unsigned long low = i + 1 < length ? static_cast<unsigned long>(text[i + 1]) & 0xFFFFu : 0;
            if (low < 0xDC00 || low >= 0xE000) continue;  // high surrogate without its low half
            cp = (cp - 0xD800) * 0x400 + (low - 0xDC00) + 0x10000;
            ++i;
        } else if (cp >= 0xDC00 && cp < 0xE000) {
            // A low surrogate on its own has no code point; writing it would make the log
            // invalid UTF-8.
            continue;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

}  // namespace cl
