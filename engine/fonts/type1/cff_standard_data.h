#pragma once
// The predefined tables of the Compact Font Format: its 391 standard strings and its
// StandardEncoding, which is also the StandardEncoding of Type 1 fonts (seac accents).
#include <string_view>

namespace kestrel {

inline constexpr int kCFFStandardStringCount = 391;

// The standard string of a SID below 391, empty otherwise.
std::string_view CFFStandardString(int sid);

// The SID that StandardEncoding gives a code 0-255 (0, ".notdef", for unassigned codes).
int CFFStandardEncodingSID(int code);

// The glyph name of a code in StandardEncoding, ".notdef" when unassigned or out of range.
std::string_view StandardEncodingName(int code);

}  // namespace kestrel
