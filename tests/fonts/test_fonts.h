#pragma once
// TrueType fonts made at test time by make_test_fonts.py (python3-fonttools) and the DejaVu
// fonts of fonts-dejavu-core. A test whose font is missing skips.
#include <string>

namespace kestrel::testing {

// The bytes of a font made by make_test_fonts.py ("shapes-unicode.ttf", ...), empty when it
// could not be made.
const std::string& TestFont(const std::string& name);
// The bytes of a file (an installed font), empty when absent.
std::string ReadFileBytes(const std::string& path);

inline constexpr const char* kDejaVuSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
inline constexpr const char* kDejaVuSerif = "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf";

#define REQUIRE_FONT(bytes) \
  if ((bytes).empty()) GTEST_SKIP() << "test font missing (python3-fonttools, fonts-dejavu-core)"

}  // namespace kestrel::testing
