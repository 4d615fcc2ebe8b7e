// Type-safe printf-like formatting with "%?" placeholders.
//
// A format object is a cursor over the caller's format string (the string is not copied and must
// outlive the feeds). Literal text goes out the moment the cursor passes it; each argument fed with
// operator% fills the placeholder the cursor rests on, and the cursor runs on to the next one. An
// argument is typed by its own static type: "%?" shows it in its natural way (signed or unsigned
// decimal, text), the classic letters (d u x X o p c s, plus z Z for base 36 and m for base 64)
// refine that. Flags: '-' left, '+' sign, ' ' blank sign, '#' alternate form, '\'' digit groups,
// ',' fixed point (the precision counts the fraction digits), '0' zero fill; width and precision
// as digits or '*' (taken from the next integer argument); h, l, L, ll and I64 are passed over.
//
// Argument types: every integer type (32-bit and smaller ones through the 32-bit path, 64-bit
// ones through the 64-bit path; signedness picks the default d or u), enumerations (as their
// underlying type), bool (unsigned 0 or 1), and text: const char*, std::string, const wchar_t*,
// std::wstring, character arrays, nullptr (as a null text). Single characters (char, wchar_t,
// signed/unsigned char, char16_t, char32_t) are integers like everywhere else in C++: "%?" shows
// their code, "%c" shows the character. Text of the other character width is converted with
// cl::narrow / cl::widen in the thread's ANSI code page (all-ASCII text is copied as it is, which
// gives the same result). A text pointer below 4096 shows as "(null)"; %p, %x and %X show a text
// pointer's address. Arguments beyond the last placeholder are appended as signed decimal or text;
// placeholders left without an argument write nothing.
//
// Width and precision are 8-bit fields kept to 0..127: digits accumulate modulo 256 and a result
// above 127 counts as 127; a '*' argument uses its low 8 bits as a signed value.
//
// Sinks: cl::basic_format<Ch> owns a std::basic_string<Ch>; cl::basic_sformat writes into a caller's
// fixed char buffer and never allocates (numbers and same-width or ASCII texts; a non-ASCII wide
// text fed to it is converted through cl::narrow, which does); cl::basic_strformat appends to a
// caller's std::string. A format object belongs to one thread at a time and throws nothing of its own
// (allocation failures of the strings propagate).
//
//   std::wstring s = (cl::wformat(L"Setting %? second timer for %?.\n") % interval % name).str();
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

namespace cl {

// The engine: the whole formatting state and the placeholder logic, over three virtual outputs.
// There is no virtual destructor: the sinks are used as themselves and never deleted through it.
template <class Ch>
class format_base {
public:
    using char_type = Ch;
    using string_type = std::basic_string<Ch>;

    // Flag bits of the current placeholder.
    enum : std::uint8_t {
        LEFT = 0x01, PLUS = 0x02, BLANK = 0x04, ALT = 0x08,
        GROUP = 0x10, POINT = 0x20, WIDTH_ARG = 0x40, PREC_ARG = 0x80
    };

    format_base(const format_base&) = delete;
    format_base& operator=(const format_base&) = delete;

    // Fills the pending placeholder (or appends, past the end of the format) with `arg`.
    template <class T>
    format_base& operator%(const T& arg) {
        feed(arg);
        return *this;
    }

    // The text held by the object (empty for sinks that write to caller storage).
    virtual string_type result() const = 0;

protected:
    format_base() { reset_state(); }
    ~format_base() = default;

    // Appends `c` `count` times (nothing when count <= 0).
    virtual void put_chars(Ch c, int count) = 0;
    // Appends `count` characters from `text`.
    virtual void put_string(const Ch* text, std::size_t count) = 0;

    // Points the cursor at `fmt` (may be null) and writes its literal text up to the first placeholder.
    void start(const Ch* fmt);
    // Writes the rest of the format string; placeholders left unfed write nothing.
    void finish();

    template <class T>
    std::enable_if_t<std::is_integral<T>::value || std::is_enum<T>::value> feed(T value) {
        if constexpr (std::is_enum<T>::value) {
            feed(static_cast<std::underlying_type_t<T>>(value));
        } else if constexpr (sizeof(T) <= 4) {
            if constexpr (std::is_signed<T>::value)
                put_int32(static_cast<std::uint32_t>(static_cast<std::int32_t>(value)), true);
            else
                put_int32(static_cast<std::uint32_t>(value), false);
        } else {
            static_assert(sizeof(T) <= 8, "integers wider than 64 bits are not supported");
            if constexpr (std::is_signed<T>::value)
                put_int64(static_cast<std::uint64_t>(static_cast<std::int64_t>(value)), true);
            else
                put_int64(static_cast<std::uint64_t>(value), false);
        }
    }
    void feed(const char* text) { put_text(text, 0, true); }
    void feed(const wchar_t* text) { put_text(text, 0, true); }
    void feed(const std::string& text) { put_text(text.data(), text.size(), false); }
    void feed(const std::wstring& text) { put_text(text.data(), text.size(), false); }
    void feed(std::nullptr_t) { put_text(static_cast<const char*>(nullptr), 0, true); }

private:
    void put_int32(std::uint32_t value, bool is_signed);
    void put_int64(std::uint64_t value, bool is_signed);
    template <class UInt>
    void put_integer(UInt value, bool is_signed);
    // `bare`: a NUL-terminated pointer (length measured here); otherwise `length` characters.
    void put_text(const char* text, std::size_t length, bool bare);
    void put_text(const wchar_t* text, std::size_t length, bool bare);
    template <class Src>
    bool put_text_common(const Src* text, std::size_t& length, bool bare);

    bool take_star_argument(unsigned low_bits);
    void put_number(const Ch* digits, std::size_t count, bool negative, bool decimal);
    template <class Src>
    void put_foreign(const Src* text, std::size_t length);
    void put_field(const Ch* text, std::size_t length);
    std::size_t field_left(std::size_t length);
    void field_right(std::size_t pad);
    void next_placeholder();
    void write_literal();
    const Ch* parse_placeholder(const Ch* p);
    void reset_state();
    Ch conversion() const { return cursor_ ? *cursor_ : Ch(0); }

    std::int8_t width_;       // 0: none
    std::int8_t precision_;   // -1: none
    std::uint8_t flags_;
    Ch fill_;                 // ' ', or '0' after the 0 flag
    Ch prefix_[3];            // [0] sign, written backwards from the mark at [1]; "0x" or "0" from the mark
    Ch* prefix_end_;
    const Ch* cursor_ = nullptr;  // at a conversion character or at the terminating NUL
};

extern template class format_base<char>;
extern template class format_base<wchar_t>;

// Formats into a string of its own: construct with the format, feed, take str(). The text gathers
// in a small buffer inside the object and moves to the owned std::basic_string only when it
// outgrows it, so a typical log line costs one allocation: the string that str() returns.
template <class Ch>
class basic_format final : public format_base<Ch> {
public:
    explicit basic_format(const Ch* fmt) { this->start(fmt); }

    template <class T>
    basic_format& operator%(const T& arg) {
        this->feed(arg);
        return *this;
    }

    // Writes the rest of the format string and returns a copy of the text.
    std::basic_string<Ch> str() {
        this->finish();
        return result();
    }

    std::basic_string<Ch> result() const override {
        return spilled_ ? text_ : std::basic_string<Ch>(local_, local_length_);
    }

protected:
    void put_chars(Ch c, int count) override {
        if (count <= 0) return;
        const std::size_t n = static_cast<std::size_t>(count);
        if (!spilled_) {
            if (n <= local_room - local_length_) {
                std::char_traits<Ch>::assign(local_ + local_length_, n, c);
                local_length_ += n;
                return;
            }
            spill(n);
        }
        text_.append(n, c);
    }
    void put_string(const Ch* text, std::size_t count) override {
        if (!spilled_) {
            if (count <= local_room - local_length_) {
                std::char_traits<Ch>::copy(local_ + local_length_, text, count);
                local_length_ += count;
                return;
            }
            spill(count);
        }
        text_.append(text, count);
    }

private:
    static constexpr std::size_t local_room = 200;

    void spill(std::size_t more) {
        text_.reserve(2 * (local_length_ + more));
        text_.assign(local_, local_length_);
        spilled_ = true;
    }

    std::size_t local_length_ = 0;
    bool spilled_ = false;
    Ch local_[local_room];
    std::basic_string<Ch> text_;
};

using format = basic_format<char>;
using wformat = basic_format<wchar_t>;

// Formats into a caller's char buffer of `size` bytes; never allocates for itself. At most size - 1
// characters are kept (the rest is dropped without notice), and the text is NUL-terminated after
// every write and at destruction; a buffer of size 0 (or a null buffer) receives nothing at all.
// The destructor writes the rest of the format string.
class basic_sformat final : public format_base<char> {
public:
    basic_sformat(char* buf, std::size_t size, const char* fmt);
    ~basic_sformat();

    template <class T>
    basic_sformat& operator%(const T& arg) {
        feed(arg);
        return *this;
    }

    // Always empty: the text is in the caller's buffer.
    std::string result() const override { return std::string(); }

protected:
    void put_chars(char c, int count) override;
    void put_string(const char* text, std::size_t count) override;

private:
    char* pos_;
    char* end_;
};

// Appends to a caller's std::string, for one or several format strings in a row:
//   cl::basic_strformat f(s);  f("%? items") % n;  f(", %?\n") % name;
// The destructor writes the rest of the last format string (an allocation failure there is dropped).
class basic_strformat final : public format_base<char> {
public:
    explicit basic_strformat(std::string& target) : target_(&target) {}
    ~basic_strformat();

    // Finishes the previous format string (unfed placeholders write nothing), then starts `fmt`.
    basic_strformat& operator()(const char* fmt);

    template <class T>
    basic_strformat& operator%(const T& arg) {
        feed(arg);
        return *this;
    }

    // Always empty: the text is in the caller's string.
    std::string result() const override { return std::string(); }

protected:
    void put_chars(char c, int count) override;
    void put_string(const char* text, std::size_t count) override;

private:
    std::string* target_;
};

}  // namespace cl
