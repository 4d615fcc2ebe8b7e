// Command-line scanning for the program's entry: finding the program name's end, the
// whole-word options behind it, and the mode they ask for.
//
// Pure functions over UTF-16 text; stateless and thread-safe.
#pragma once

#include <cstddef>
#include <string>

namespace tolvarn {

// The text behind the program name of `command_line`: the program name ends at the first
// white-space character (iswspace) outside a double-quoted stretch, and the text after that
// one character is returned, as a pointer into the same buffer. A line without such white
// space gives the empty text at its end; a null line gives null.
const wchar_t* skip_program_name(const wchar_t* command_line);

// Position of the first whole-word occurrence of `option` in `text`, or std::wstring::npos.
// ASCII letters compare without regard to case, every other character must be equal. An
// occurrence counts when it starts `text` or follows an ASCII white-space character, and
// is followed by the end of the text, a character of code 128 or above, or an ASCII
// character that is not a letter. A null text or an empty option is never found.
std::size_t find_option(const wchar_t* text, const wchar_t* option);

// The run modes of the command line.
enum class command { run, stop_appl, start_service, stop_service };

// The mode `arguments` (the text behind the program name; may be null) asks for: the first of
// -stop_appl, -start_service, -stop_service found by find_option in this order wins, and the
// rest of the line is ignored; without any of them the watchdog runs.
command choose_command(const wchar_t* arguments);

}  // namespace tolvarn
