#pragma once
// Names as they may be printed: file names can hold any byte but "/" and NUL.
#include <string>
#include <string_view>

namespace plover {

// The text with control characters written as escapes ("\n", "\t", "\r", "\x1b"; the C1
// controls of UTF-8 as "\xc2\x9b"), so that a name cannot split a line or reach the terminal
// as a command.
std::string Printable(std::string_view text);

// The text as a JSON string, quotes included; bytes that are not UTF-8 become U+FFFD.
std::string JsonString(std::string_view text);

}  // namespace plover
