// The literal address pattern: the plain composition of its pieces, as the address check was first
// written, with one change: white space is allowed between the words of a display name or group
// name (first written "(?:word)+"). The tests and the benchmark compare check_address_list against
// it; it backtracks exponentially, so it is only usable on short values.
#pragma once

#include <boost/regex.hpp>
#include <boost/regex/v5/w32_regex_traits.hpp>

#include <string>

namespace address_reference {

// 1 when the pattern matches the whole value, 0 when not, -1 when the matcher gave up (threw).
inline int match(const std::wstring& value) {
    static const boost::basic_regex<wchar_t, boost::w32_regex_traits<wchar_t>> pattern([] {
        const std::wstring atom = LR"re([\w\Q!#$%&'*+-/=?^_`{|}~\E]+)re", quoted = LR"re("(?:\\"|[^"])*")re";
        const std::wstring word = L"(?:" + atom + L"|" + quoted + L")", domain = atom + LR"re((?:\.)re" + atom + L")*";
        const std::wstring addr_spec = L"(?:(?:" + word + LR"re((?:\.)re" + word + L")*))@(" + domain + L")";
        const std::wstring route = LR"re((?:(?:(?:@)re" + domain + LR"re(\s*)+\s*\:)\s*)?)re";
        const std::wstring phrase = L"(?:" + word + LR"re((?:\s*)re" + word + L")*)";
        const std::wstring mailbox =
            L"(?:" + addr_spec + L"|(?:" + phrase + LR"re(\s+(?:<)re" + route + addr_spec + L">)))";
        const std::wstring group = L"(?:" + phrase + LR"re(\s*\:\s*(?:)re" + mailbox + LR"re()(?:\s*,\s*)re" + mailbox +
                                   LR"re()*\s*;))re";
        const std::wstring address = L"(?:" + mailbox + L"|" + group + L")";
        return L"(?:" + address + LR"re()(?:\s*,\s*)re" + address + L")*";
    }());
    try {
        return boost::regex_match(value.begin(), value.end(), pattern) ? 1 : 0;
    } catch (const std::exception&) {
        return -1;
    }
}

}  // namespace address_reference
