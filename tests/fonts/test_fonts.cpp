#include "fonts/test_fonts.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>

#include "support/temp_dir.h"

namespace kestrel::testing {

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return in ? std::string(std::istreambuf_iterator<char>(in), {}) : std::string();
}

const std::string& TestFont(const std::string& name) {
  static const std::map<std::string, std::string> fonts = [] {
    std::map<std::string, std::string> out;
    testsupport::TempDir dir;
    const std::string command = "/usr/bin/python3 " PLOVER_SOURCE_DIR
                                "/tests/fonts/make_test_fonts.py " + dir.Path() + " 2>/dev/null";
    if (std::system(command.c_str()) != 0) return out;
    for (const char* n : {"shapes-unicode.ttf", "shapes-symbol.ttf", "shapes-mac.ttf", "shapes-backwards.ttf",
                          "dejavu-subset.ttf"})
      out[n] = ReadFileBytes(dir.Path() + "/" + n);
    return out;
  }();
  static const std::string none;
  auto it = fonts.find(name);
  return it == fonts.end() ? none : it->second;
}

}  // namespace kestrel::testing
