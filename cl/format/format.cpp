#include "cl/format/format.h"

#include "cl/format/convert.h"

#include <cstring>
#include <cwchar>
#include <exception>

namespace cl {

namespace {

const char lower_digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
const char upper_digits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
const char base64_digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Room for the longest digit string: 22 octal digits of a 64-bit value.
constexpr std::size_t digit_room = 32;
// Room for a number after the ',' or '\'' step: precision (at most 127) + 1 digits and the point,
// or 22 digits with 5 separators.
constexpr std::size_t body_room = 160;
// Pointers below this value are taken as null: they can only come from a wrong argument.
constexpr std::uintptr_t lowest_pointer = 4096;

// Writes the digits of `value` backwards, ending at `end`; returns the first digit.
template <unsigned Base, class Ch, class UInt>
Ch* to_digits(UInt value, const char* alphabet, Ch* end) {
    do {
        *--end = static_cast<Ch>(alphabet[value % Base]);
        value /= Base;
    } while (value != 0);
    return end;
}

// Fixed 8-bit fields hold 0..127; anything larger is taken as the largest width the field holds.
std::int8_t clamp_field(unsigned value) {
    return static_cast<std::int8_t>(value > 127 ? 127 : value);
}

template <class Src>
std::size_t bounded_length(const Src* text, int precision) {
    if (precision < 0) return std::char_traits<Src>::length(text);
    std::size_t n = 0;
    while (n < static_cast<std::size_t>(precision) && text[n] != 0) ++n;
    return n;
}

// Other-width text in the thread's ANSI code page.
std::string to_native(const wchar_t* text, std::size_t length, char*) {
    return narrow(text, length, CP_THREAD_ACP);
}
std::wstring to_native(const char* text, std::size_t length, wchar_t*) {
    return widen(text, length, CP_THREAD_ACP);
}

}  // namespace

template <class Ch>
void format_base<Ch>::reset_state() {
    width_ = 0;
    precision_ = -1;
    flags_ = 0;
    fill_ = Ch(' ');
    prefix_end_ = prefix_ + 1;
}

template <class Ch>
void format_base<Ch>::start(const Ch* fmt) {
    cursor_ = fmt;
    write_literal();
}

// Literal text runs go out through put_string rather than one put_chars call per character: the
// output is the same and a log line costs a handful of virtual calls instead of one per character.
template <class Ch>
void format_base<Ch>::write_literal() {
    const Ch* p = cursor_;
    if (!p) return;
    const Ch* run = p;
    for (;;) {
        const Ch c = *p;
        if (c == 0) break;
        if (c != Ch('%')) {
            ++p;
            continue;
        }
        if (p[1] == Ch('%')) {
            put_string(run, static_cast<std::size_t>(p + 1 - run));  // the run and one '%'
            p += 2;
            run = p;
            continue;
        }
        if (p != run) put_string(run, static_cast<std::size_t>(p - run));
        cursor_ = parse_placeholder(p + 1);
        return;
    }
    if (p != run) put_string(run, static_cast<std::size_t>(p - run));
    cursor_ = p;
}

template <class Ch>
const Ch* format_base<Ch>::parse_placeholder(const Ch* p) {
    for (;; ++p) {
        switch (*p) {
        case Ch(' '): flags_ |= BLANK; continue;
        case Ch('#'): flags_ |= ALT; continue;
        case Ch('\''): flags_ |= GROUP; continue;
        case Ch('+'): flags_ |= PLUS; continue;
        case Ch(','): flags_ |= POINT; continue;
        case Ch('-'): flags_ |= LEFT; continue;
        case Ch('0'): fill_ = Ch('0'); continue;
        default: break;
        }
        break;
    }
    if (*p == Ch('*')) {
        flags_ |= WIDTH_ARG;
        ++p;
    } else {
        unsigned acc = 0;
        for (; *p >= Ch('0') && *p <= Ch('9'); ++p) acc = (acc * 10 + static_cast<unsigned>(*p - Ch('0'))) & 0xFFu;
        width_ = clamp_field(acc);
    }
    if (*p == Ch('.')) {
        fill_ = Ch(' ');
        ++p;
        if (*p == Ch('*')) {
            flags_ |= PREC_ARG;
            ++p;
        } else {
            unsigned acc = 0;
            for (; *p >= Ch('0') && *p <= Ch('9'); ++p) acc = (acc * 10 + static_cast<unsigned>(*p - Ch('0'))) & 0xFFu;
            precision_ = clamp_field(acc);
        }
    }
    if (*p == Ch('h') || *p == Ch('l') || *p == Ch('L')) {
        ++p;
        if (*p == Ch('l')) ++p;
    } else if (p[0] == Ch('I') && p[1] == Ch('6') && p[2] == Ch('4')) {
        p += 3;
    }
    return p;
}

template <class Ch>
void format_base<Ch>::next_placeholder() {
    if (cursor_ && *cursor_) ++cursor_;
    reset_state();
    write_literal();
}

template <class Ch>
void format_base<Ch>::finish() {
    if (!cursor_) return;
    for (;;) {
        if (*cursor_ == 0) break;
        next_placeholder();  // passes the conversion character, then literal text to the next one
    }
    reset_state();
}

// A '*' takes the low 8 bits of the integer as a signed value and leaves the placeholder pending.
template <class Ch>
bool format_base<Ch>::take_star_argument(unsigned low_bits) {
    const int value = static_cast<std::int8_t>(static_cast<std::uint8_t>(low_bits & 0xFFu));
    if (flags_ & WIDTH_ARG) {
        flags_ &= static_cast<std::uint8_t>(~WIDTH_ARG);
        if (value < 0) {
            flags_ |= LEFT;
            width_ = clamp_field(static_cast<unsigned>(-value));
        } else {
            width_ = static_cast<std::int8_t>(value);
        }
        return true;
    }
    if (flags_ & PREC_ARG) {
        flags_ &= static_cast<std::uint8_t>(~PREC_ARG);
        precision_ = static_cast<std::int8_t>(value < 0 ? -1 : value);
        return true;
    }
    return false;
}

template <class Ch>
void format_base<Ch>::put_int32(std::uint32_t value, bool is_signed) {
    put_integer(value, is_signed);
}

template <class Ch>
void format_base<Ch>::put_int64(std::uint64_t value, bool is_signed) {
    put_integer(value, is_signed);
}

// Instantiated once for 32-bit and once for 64-bit values: the 32-bit family never pays for
// 64-bit division.
template <class Ch>
template <class UInt>
void format_base<Ch>::put_integer(UInt value, bool is_signed) {
    if ((flags_ & (WIDTH_ARG | PREC_ARG)) && take_star_argument(static_cast<unsigned>(value & 0xFFu))) return;

    Ch conv = conversion();
    if (conv == Ch('?') || conv == Ch('i')) conv = is_signed ? Ch('d') : Ch('u');

    Ch digits[digit_room];
    Ch* const end = digits + digit_room;
    Ch* first;
    bool negative = false;
    bool decimal = false;
    const char* prefix = nullptr;
    switch (conv) {
    case Ch('u'):
        first = to_digits<10>(value, lower_digits, end);
        decimal = true;
        break;
    case Ch('p'):
        flags_ |= ALT;
        first = to_digits<16>(value, lower_digits, end);
        prefix = "0x";
        break;
    case Ch('x'):
        first = to_digits<16>(value, lower_digits, end);
        prefix = "0x";
        break;
    case Ch('X'):
        first = to_digits<16>(value, upper_digits, end);
        prefix = "0x";
        break;
    case Ch('o'):
        first = to_digits<8>(value, lower_digits, end);
        prefix = "0";
        break;
    case Ch('z'):
        first = to_digits<36>(value, lower_digits, end);
        break;
    case Ch('Z'):
        first = to_digits<36>(value, upper_digits, end);
        break;
    case Ch('m'):
        first = to_digits<64>(value, base64_digits, end);
        break;
    case Ch('c'): {
        const Ch c = static_cast<Ch>(value);
        std::size_t length = c != 0 ? 1 : 0;
        if (precision_ >= 0 && length > static_cast<std::size_t>(precision_)) length = static_cast<std::size_t>(precision_);
        put_field(&c, length);
        return;
    }
    default: {
        using SInt = std::make_signed_t<UInt>;
        if (static_cast<SInt>(value) < 0) {
            negative = true;
            value = static_cast<UInt>(UInt(0) - value);
        }
        first = to_digits<10>(value, lower_digits, end);
        decimal = true;
        break;
    }
    }
    if (prefix && (flags_ & ALT) && value != 0) {
        Ch* q = prefix_ + 1;
        while (*prefix) *q++ = static_cast<Ch>(*prefix++);
        prefix_end_ = q;
    }
    put_number(first, static_cast<std::size_t>(end - first), negative, decimal);
}

template <class Ch>
void format_base<Ch>::put_number(const Ch* digits, std::size_t count, bool negative, bool decimal) {
    Ch body[body_room];
    const Ch* text = digits;
    std::size_t length = count;
    bool point = false;

    if ((flags_ & POINT) && precision_ > 0) {
        // Fixed point: at least precision + 1 digits, the point in front of the last precision.
        point = true;
        const std::size_t fraction = static_cast<std::size_t>(precision_);
        const std::size_t all = count > fraction ? count : fraction + 1;
        const std::size_t pad = all - count;
        const std::size_t integral = all - fraction;
        Ch* b = body;
        for (std::size_t i = 0; i < all; ++i) {
            if (i == integral) *b++ = Ch('.');
            *b++ = i < pad ? Ch('0') : digits[i - pad];
        }
        length = static_cast<std::size_t>(b - body);
        if (flags_ & ALT) {
            while (body[length - 1] == Ch('0')) --length;  // stops at the point at the latest
            if (body[length - 1] == Ch('.')) --length;
        }
        text = body;
    } else if (flags_ & GROUP) {
        const std::size_t group = decimal ? 3 : 4;
        if (count > group) {
            const Ch separator = decimal ? Ch(',') : Ch(':');
            std::size_t lead = count % group;
            if (lead == 0) lead = group;
            Ch* b = body;
            for (std::size_t i = 0; i < count; ++i) {
                if (i >= lead && (i - lead) % group == 0) *b++ = separator;
                *b++ = digits[i];
            }
            length = static_cast<std::size_t>(b - body);
            text = body;
        }
    }

    Ch* sign_and_prefix = prefix_ + 1;
    if (negative) {
        *--sign_and_prefix = Ch('-');
    } else if (flags_ & PLUS) {
        *--sign_and_prefix = Ch('+');
    } else if (flags_ & BLANK) {
        *--sign_and_prefix = Ch(' ');
    }
    const std::size_t prefix_length = static_cast<std::size_t>(prefix_end_ - sign_and_prefix);

    // A fixed-point precision counts the fraction digits; it adds no leading zeros.
    std::size_t zeros = 0;
    if (!point && precision_ > 0 && static_cast<std::size_t>(precision_) > length)
        zeros = static_cast<std::size_t>(precision_) - length;
    const std::size_t width = static_cast<std::size_t>(width_);
    std::size_t total = prefix_length + zeros + length;
    const bool left = (flags_ & LEFT) != 0;
    if (fill_ == Ch('0') && !left && total < width) {
        zeros += width - total;
        total = width;
    }
    if (total < width && !left) put_chars(fill_, static_cast<int>(width - total));
    if (prefix_length) put_string(sign_and_prefix, prefix_length);
    if (zeros) put_chars(Ch('0'), static_cast<int>(zeros));
    put_string(text, length);
    if (total < width && left) put_chars(Ch(' '), static_cast<int>(width - total));
    next_placeholder();
}

template <class Ch>
void format_base<Ch>::put_field(const Ch* text, std::size_t length) {
    const std::size_t pad = field_left(length);
    if (length) put_string(text, length);
    field_right(pad);
}

// Fill on the left of a text field of `length` characters; returns the padding the field needs.
template <class Ch>
std::size_t format_base<Ch>::field_left(std::size_t length) {
    const std::size_t width = static_cast<std::size_t>(width_);
    const std::size_t pad = length < width ? width - length : 0;
    if (pad && !(flags_ & LEFT)) put_chars(fill_, static_cast<int>(pad));
    return pad;
}

template <class Ch>
void format_base<Ch>::field_right(std::size_t pad) {
    if (pad && (flags_ & LEFT)) put_chars(Ch(' '), static_cast<int>(pad));
    next_placeholder();
}

// Text of the other width. ASCII reads the same in every ANSI code page (and in UTF-8) and cannot
// compose with a neighbour, so an all-ASCII text is copied unit by unit: the same result as the
// conversion, without its two system calls and its string. Anything else goes through cl::narrow
// or cl::widen.
template <class Ch>
template <class Src>
void format_base<Ch>::put_foreign(const Src* text, std::size_t length) {
    std::size_t i = 0;
    while (i < length && static_cast<std::make_unsigned_t<Src>>(text[i]) < 0x80) ++i;
    if (i == length) {
        if (precision_ >= 0 && length > static_cast<std::size_t>(precision_)) length = static_cast<std::size_t>(precision_);
        const std::size_t pad = field_left(length);
        Ch chunk[64];
        for (std::size_t done = 0; done < length;) {
            std::size_t n = length - done;
            if (n > 64) n = 64;
            for (std::size_t k = 0; k < n; ++k) chunk[k] = static_cast<Ch>(text[done + k]);
            put_string(chunk, n);
            done += n;
        }
        field_right(pad);
        return;
    }
    const string_type converted = to_native(text, length, static_cast<Ch*>(nullptr));
    length = converted.size();
    if (precision_ >= 0 && length > static_cast<std::size_t>(precision_)) length = static_cast<std::size_t>(precision_);
    put_field(converted.data(), length);
}

// The steps shared by texts of both widths: '*' flags dropped, pointer display, "(null)".
// Returns true when the placeholder has been filled; otherwise `length` holds the source length.
template <class Ch>
template <class Src>
bool format_base<Ch>::put_text_common(const Src* text, std::size_t& length, bool bare) {
    flags_ &= static_cast<std::uint8_t>(~(WIDTH_ARG | PREC_ARG));
    const Ch conv = conversion();
    const auto address = reinterpret_cast<std::uintptr_t>(text);
    if (conv == Ch('p') || conv == Ch('x') || conv == Ch('X')) {
        flags_ |= ALT;
        put_int64(static_cast<std::uint64_t>(address), false);
        return true;
    }
    if (address < lowest_pointer) {
        static const Ch null_text[] = {Ch('('), Ch('n'), Ch('u'), Ch('l'), Ch('l'), Ch(')')};
        std::size_t n = sizeof null_text / sizeof null_text[0];
        if (precision_ >= 0 && n > static_cast<std::size_t>(precision_)) n = static_cast<std::size_t>(precision_);
        put_field(null_text, n);
        return true;
    }
    if (bare) length = bounded_length(text, precision_);
    return false;
}

template <class Ch>
void format_base<Ch>::put_text(const char* text, std::size_t length, bool bare) {
    if (put_text_common(text, length, bare)) return;
    if constexpr (std::is_same<Ch, char>::value) {
        if (precision_ >= 0 && length > static_cast<std::size_t>(precision_)) length = static_cast<std::size_t>(precision_);
        put_field(text, length);
    } else {
        put_foreign(text, length);
    }
}

template <class Ch>
void format_base<Ch>::put_text(const wchar_t* text, std::size_t length, bool bare) {
    if (put_text_common(text, length, bare)) return;
    if constexpr (std::is_same<Ch, wchar_t>::value) {
        if (precision_ >= 0 && length > static_cast<std::size_t>(precision_)) length = static_cast<std::size_t>(precision_);
        put_field(text, length);
    } else {
        put_foreign(text, length);
    }
}

template class format_base<char>;
template class format_base<wchar_t>;

// ---- basic_sformat

basic_sformat::basic_sformat(char* buf, std::size_t size, const char* fmt)
    : pos_(buf), end_(buf && size ? buf + size : buf) {
    if (pos_ < end_) *pos_ = 0;
    start(fmt);
}

basic_sformat::~basic_sformat() {
    finish();
    if (pos_ < end_) *pos_ = 0;
}

void basic_sformat::put_chars(char c, int count) {
    if (count <= 0 || pos_ >= end_) return;
    std::size_t n = static_cast<std::size_t>(count);
    const std::size_t room = static_cast<std::size_t>(end_ - pos_) - 1;
    if (n > room) n = room;
    std::memset(pos_, c, n);
    pos_ += n;
    *pos_ = 0;
}

void basic_sformat::put_string(const char* text, std::size_t count) {
    if (count == 0 || pos_ >= end_) return;
    const std::size_t room = static_cast<std::size_t>(end_ - pos_) - 1;
    if (count > room) count = room;
    std::memcpy(pos_, text, count);
    pos_ += count;
    *pos_ = 0;
}

// ---- basic_strformat

basic_strformat::~basic_strformat() {
    try {
        finish();
    } catch (const std::exception&) {
        // Out of memory while appending the rest: a destructor must not throw; the text stays cut.
    }
}

basic_strformat& basic_strformat::operator()(const char* fmt) {
    finish();
    start(fmt);
    return *this;
}

void basic_strformat::put_chars(char c, int count) {
    if (count > 0) target_->append(static_cast<std::size_t>(count), c);
}

void basic_strformat::put_string(const char* text, std::size_t count) { target_->append(text, count); }

}  // namespace cl
