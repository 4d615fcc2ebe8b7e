#include "mail/cdo_stub_record.h"

#include "cl/base/unique_handle.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace cdo_stub {
namespace {

int hex_digit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

void append_code_point(std::wstring& out, unsigned long cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out += static_cast<wchar_t>(0xD800 + (cp >> 10));
        out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
    } else {
        out += static_cast<wchar_t>(cp);
    }
}

// UTF-8 to UTF-16; a malformed byte becomes U+FFFD.
std::wstring decode_utf8(const std::string& s) {
    std::wstring out;
    size_t i = 0;
    while (i < s.size()) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        size_t extra = 0;
        unsigned long cp = b;
        bool ok = true;
        if (b >= 0x80) {
            if ((b & 0xE0) == 0xC0) {
                extra = 1;
                cp = b & 0x1Fu;
            } else if ((b & 0xF0) == 0xE0) {
                extra = 2;
                cp = b & 0x0Fu;
            } else if ((b & 0xF8) == 0xF0) {
                extra = 3;
                cp = b & 0x07u;
            } else {
                ok = false;
            }
        }
        ok = ok && i + extra < s.size();
        for (size_t k = 1; ok && k <= extra; ++k) {
            unsigned char c = static_cast<unsigned char>(s[i + k]);
            ok = (c & 0xC0) == 0x80;
            cp = (cp << 6) | (c & 0x3Fu);
        }
        if (!ok) {
            out += L'\xFFFD';
            ++i;
            continue;
        }
        append_code_point(out, cp);
        i += extra + 1;
    }
    return out;
}

// A record field: UTF-8, then the backslash escapes undone. An unknown or cut escape stays as
// written.
std::wstring decode_field(const std::string& field) {
    std::wstring text = decode_utf8(field);
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        wchar_t kind = text[i + 1];
        if (kind == L'\\' || kind == L't' || kind == L'n' || kind == L'r') {
            out += kind == L't' ? L'\t' : kind == L'n' ? L'\n' : kind == L'r' ? L'\r' : L'\\';
            ++i;
            continue;
        }
        size_t digits = kind == L'x' ? 2 : kind == L'u' ? 4 : 0;
        unsigned long value = 0;
        bool ok = digits != 0;
        for (size_t k = 0; ok && k < digits; ++k) {
            size_t at = i + 2 + k;
            int d = at < text.size() ? hex_digit(text[at]) : -1;
            ok = d >= 0;
            value = (value << 4) | static_cast<unsigned long>(ok ? d : 0);
        }
        if (ok) {
            out += static_cast<wchar_t>(value);
            i += 1 + digits;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool parse_unsigned(const std::string& text, unsigned long& value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    errno = 0;
    unsigned long long v = std::strtoull(text.c_str(), nullptr, 10);
    if (errno != 0 || v > 0xFFFFFFFFull) return false;
    value = static_cast<unsigned long>(v);
    return true;
}

bool parse_hresult(const std::string& text, HRESULT& value) {
    if (text.size() != 10 || text.compare(0, 2, "0x") != 0 ||
        text.find_first_not_of("0123456789ABCDEFabcdef", 2) != std::string::npos)
        return false;
    value = static_cast<HRESULT>(std::strtoul(text.c_str() + 2, nullptr, 16));
    return true;
}

}  // namespace

bool parse_line(const std::string& line, entry& out) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) break;
        start = tab + 1;
    }
    if (!fields.empty() && !fields.back().empty() && fields.back().back() == '\r') fields.back().pop_back();
    if (fields.size() < 5) return false;
    entry e;
    unsigned long serial = 0;
    if (!parse_unsigned(fields[0], e.pid) || !parse_unsigned(fields[1], serial) || !parse_hresult(fields[4], e.result))
        return false;
    e.serial = static_cast<unsigned>(serial);
    e.object = decode_field(fields[2]);
    e.call = decode_field(fields[3]);
    for (size_t i = 5; i < fields.size(); ++i) e.args.push_back(decode_field(fields[i]));
    out = std::move(e);
    return true;
}

std::vector<entry> read_record(const std::wstring& path) {
    std::vector<entry> entries;
    cl::unique_file_handle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return entries;
    std::string text;
    char buffer[65536];
    DWORD got = 0;
    while (::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got != 0) text.append(buffer, got);

    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        // A line still being written has no "\n" yet: it is left for the next read.
        if (end == std::string::npos) break;
        entry e;
        if (parse_line(text.substr(start, end - start), e)) entries.push_back(std::move(e));
        start = end + 1;
    }
    return entries;
}

std::vector<entry> select(const std::vector<entry>& entries, const std::wstring& call, const std::wstring& object) {
    std::vector<entry> chosen;
    for (const entry& e : entries)
        if (e.call == call && (object.empty() || e.object == object)) chosen.push_back(e);
    return chosen;
}

bool released_after(const std::vector<entry>& entries, unsigned long pid, const std::wstring& call) {
    bool called = false, released = false;
    for (const entry& e : entries) {
        if (e.pid != pid) continue;
        if (e.call == call) {
            called = true;
            released = false;
        } else if (called && e.object == L"stub" && e.call == L"live-objects") {
            released = true;
        }
    }
    return released;
}

std::vector<unsigned char> hex_bytes(const std::wstring& hex) {
    std::vector<unsigned char> bytes;
    if (hex.size() % 2 != 0) return bytes;
    bytes.reserve(hex.size() / 2);
    for (size_t i = 0; i < hex.size(); i += 2) {
        int high = hex_digit(hex[i]), low = hex_digit(hex[i + 1]);
        if (high < 0 || low < 0) return std::vector<unsigned char>();
        bytes.push_back(static_cast<unsigned char>(high * 16 + low));
    }
    return bytes;
}

std::string to_string(const entry& e) {
    auto narrow = [](const std::wstring& w) {
        std::string s;
        for (wchar_t c : w) s += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
        return s;
    };
    char head[64];
    std::snprintf(head, sizeof head, "%lu %u ", e.pid, e.serial);
    std::string s = head + narrow(e.object) + " " + narrow(e.call);
    std::snprintf(head, sizeof head, " 0x%08lX", static_cast<unsigned long>(e.result));
    s += head;
    for (const std::wstring& a : e.args) s += " [" + narrow(a.size() > 80 ? a.substr(0, 80) + L"..." : a) + "]";
    return s;
}

void PrintTo(const entry& e, std::ostream* os) { *os << to_string(e); }

}  // namespace cdo_stub
