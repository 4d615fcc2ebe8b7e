#include "mail/address_list.h"

#include <boost/regex.hpp>
// Not pulled in by <boost/regex.hpp> under every compiler; the pattern relies on the Win32 traits
// for \w and \s.
#include <boost/regex/v5/w32_regex_traits.hpp>

namespace {

typedef boost::basic_regex<wchar_t, boost::w32_regex_traits<wchar_t>> address_regex;

// The accepted language, piece by piece:
//   atom       = one or more atom characters
//   quoted     = '"' ( '\"' | any character but '"' )* '"'
//   word       = atom | quoted
//   local_part = word ( "." word )*
//   domain     = atom ( "." atom )*
//   addr_spec  = local_part "@" domain
//   route      = ( ( "@" domain \s* )+ ":" \s* )?
//   phrase     = word ( \s* word )*                         (display and group names)
//   name_addr  = phrase \s+ "<" route addr_spec ">"
//   mailbox    = addr_spec | name_addr
//   group      = phrase \s* ":" \s* mailbox ( \s* "," \s* mailbox )* \s* ";"
//   list       = ( mailbox | group ) ( \s* "," \s* ( mailbox | group ) )*
//
// Written like that, a backtracking matcher takes exponential time on ordinary input (80 letters
// without "@": 15 seconds, then it gives up and throws): a run of letters splits into atoms and
// words in exponentially many ways. The expression below accepts exactly the same strings, but is
// shaped so that the matcher never reaches the same point of the expression at the same place in the
// input by two routes; wrong turns fail within the piece they were taken in. Its work grows with the
// length of the value. How:
//
// * The atom class is written "[\w\Q!#$%&'*+-/=?^_`{|}~\E]". Inside brackets Boost reads \Q and \E
//   as the letters Q and E and "+-/" as a range, so an atom also takes "," "-" "." and "/". That
//   reading is what the check has always accepted and it is kept: "a,b@c" is one address.
// * Runs of atom characters are taken whole ("++"): what may follow a run is never an atom
//   character, so giving characters back cannot help. (Domains in a list are the exception: below.)
// * local_part: "." being an atom character, "atom . atom" is itself an atom, and a local part is
//   one run, or quoted strings joined by runs: a run before the first quoted string ends in "." (two
//   characters at least), one between two is "." or starts and ends in "." (three at least), one
//   after the last starts with "." (two at least).
// * domain: for the same reason simply a run.
// * phrase: adjacent atoms merge into one run, so a phrase is words with optional white space between.
// * quoted: left as it is. A quoted string may end at any '\"' before its first unescaped '"'; the
//   two readings are then inside and outside a quoted string and stay so until one of them fails at
//   the next backslash, so these choices cannot multiply.
// * The comma. A domain run in a list may contain commas, and any of them, or a comma after white
//   space behind the run, may be the list separator. The list is therefore matched as blocks: a
//   chain of bare addresses, each with the separator that suits the kind of address after it, ended
//   either by the end of the list or by a display name or group. The separator taken:
//     - before a display name or group: the first comma of the run after its first character, else
//       the comma after white space behind the run (a longer name passes wherever a shorter one does);
//     - before another bare address: the first comma inside the run when an atom character follows
//       it (a longer local part passes wherever a shorter one does), or the comma that ends the run,
//       or the comma after white space behind the run, the last only when the run does not end in a
//       comma or when no atom character follows. These three exclude each other by what follows.
//   After ">" or ";" the separator is the first comma after optional white space.
//
// The literal composition captures each domain; nothing here does: only the yes/no answer is used.
std::wstring build_pattern()
{
    const std::wstring c = LR"re([\w\Q!#$%&'*+-/=?^_`{|}~\E])re";  // an atom character
    const std::wstring n = LR"re([\w!#$%&'*+./=?^_`{|}~-])re";      // an atom character but ","

    const std::wstring atom = c + L"++";
    const std::wstring quoted = LR"re("(?:\\"|[^"])*")re";
    const std::wstring word = L"(?:" + atom + L"|" + quoted + L")";
    const std::wstring phrase = word + LR"re((?:\s*+)re" + word + L")*";

    // A run of at least two atom characters that ends in ".".
    const std::wstring dot_run = c + c + LR"re(++(?<=\.))re";
    const std::wstring local_part =
        L"(?:(?:" + dot_run + L")?" + quoted +
        LR"re((?:\.(?:)re" + dot_run + L")?" + quoted + L")*" +
        LR"re((?:\.)re" + atom + L")?|" + atom + L")";

    const std::wstring route = LR"re((?:(?:@)re" + atom + LR"re(\s*+)+:\s*+)?)re";
    const std::wstring angle_addr = LR"re(\s++<)re" + route + local_part + L"@" + atom + L">";
    const std::wstring name_addr = phrase + angle_addr;

    // The next character starts a word.
    const std::wstring word_start = L"(?=" + c + L"|\")";
    // Domain run plus separator, when a display name or group follows.
    const std::wstring sep_before_phrase = c + n + LR"re(*+\s*+,\s*+)re" + word_start;
    // Domain run plus separator, when another bare address follows.
    const std::wstring sep_before_local =
        L"(?:" + c + n + L"*+,(?=" + c + L")|" + atom + L"(?:" +
        L"(?<=" + c + LR"re(,)\s*+)re" + L"|" +
        L"(?<!" + c + LR"re(,)\s++,\s*+)re" + L"|" +
        L"(?<=" + c + LR"re(,)\s++,(?!)re" + c + LR"re()\s*+)re" + L"))";

    // One or more bare addresses, the last one without its domain.
    const std::wstring bare_chain =
        local_part + L"@(?:" + sep_before_local + local_part + L"@)*";
    // A list block: bare addresses that end the list (`end` looks ahead at what ends it), or bare
    // addresses (if any) and then a display name (or group). The condition tells the two apart:
    // only the first can stand at the end, since everything else is followed by a word.
    const auto block = [&](const std::wstring& named, const std::wstring& end) {
        return word_start + L"(?:" + bare_chain + L"(?:" + atom + L"(?=" + end + L")|" +
               sep_before_phrase + L"))?(?(?=" + end + L")|" + named + L")";
    };

    // The blocks of a group follow its ":" or a ">"; ":" never follows a block.
    const std::wstring group_tail = LR"re((?:(?:(?<!>)\s*+:|(?<=>)\s*+,)\s*+)re" +
                                    block(name_addr, LR"re(\s*+;)re") + LR"re()+\s*+;)re";
    const std::wstring named = phrase + L"(?:" + angle_addr + L"|" + group_tail + L")";
    // The blocks of the list start at its start or follow a ">" or ";".
    return LR"re((?:(?:\A|(?<=[>;])\s*+,\s*+))re" + block(named, LR"re(\z)re") + L")+";
}

const address_regex& address_pattern()
{
    // Function-local static: built once, on first use, safely even when first used by two threads.
    // Should building throw, the next call tries again.
    static const address_regex pattern(build_pattern());
    return pattern;
}

}  // namespace

int check_address_list(const std::wstring& value) noexcept
{
    try
    {
        return boost::regex_match(value.begin(), value.end(), address_pattern()) ? 0 : -1;
    }
    catch (...)
    {
        // The matcher's own limits (complexity, memory) or a failed build: the value is refused.
        return -1;
    }
}
