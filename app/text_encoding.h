#pragma once
// Conversions between UTF-8 and GBK (code page 936) for the language and settings files.
#include <optional>
#include <string>
#include <string_view>

namespace plover {

// True when `bytes` is well-formed UTF-8 (no overlong forms, no surrogates, at most U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// GBK bytes as UTF-8; a byte sequence that is not GBK becomes U+FFFD and decoding goes on.
std::string GbkToUtf8(std::string_view bytes);

// UTF-8 text as GBK bytes; nullopt when the text is not UTF-8 or holds a character GBK lacks.
std::optional<std::string> Utf8ToGbk(std::string_view text);

// Text of an INI file read from disk, as UTF-8: a UTF-8 byte-order mark is dropped, valid UTF-8
// is kept as it is, anything else is read as GBK (the form the language files ship in).
std::string DecodeIniText(std::string_view bytes);

}  // namespace plover
