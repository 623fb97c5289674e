#pragma once
// A Type 1 font program (FontFile): clear-text part with encoding and font matrix, eexec
// encrypted private part (binary or hexadecimal) with subroutines and charstrings, which
// are kept decrypted. PFB segment headers are accepted too.
#include <array>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/graphics/matrix.h"

namespace kestrel {

class TType1Program {
 public:
  // `length1` is the stream's Length1 (0 when unknown): where the encrypted part begins.
  // False when no charstring could be read.
  bool Load(std::string_view data, std::size_t length1);

  std::size_t GlyphCount() const { return m_charStrings.size(); }
  std::string_view CharString(int index) const;
  std::string_view Subr(double index) const;
  int GlyphOfName(std::string_view name) const;

  // The program's Encoding: StandardEncoding, or its own array (".notdef" where unset).
  const std::array<std::string, 256>& Encoding() const { return m_encoding; }
  const TPDFMatrix& FontMatrix() const { return m_fontMatrix; }
  // Bytes of the decrypted charstrings and subroutines and their index.
  std::size_t MemorySize() const;

 private:
  void ParseClearText(std::string_view text);
  bool ParsePrivate(std::string_view plain);

  std::array<std::string, 256> m_encoding;
  TPDFMatrix m_fontMatrix{0.001, 0, 0, 0.001, 0, 0};
  int m_lenIV = 4;
  std::vector<std::string> m_subrs;
  std::vector<std::string> m_charStrings;
  std::unordered_map<std::string, int> m_glyphOfName;
};

// The Type 1 cipher: decrypts `data` with the starting key and drops the first `skip` bytes.
std::string DecryptType1(std::string_view data, unsigned short key, int skip);

}  // namespace kestrel
