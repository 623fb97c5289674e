#pragma once
// A PostScript token scanner over the clear text and the decrypted private part of a Type 1
// font. It reads tokens only; binary data inside the text is skipped by the caller.
#include <cstddef>
#include <string_view>

namespace kestrel {

class TPSTokenizer {
 public:
  explicit TPSTokenizer(std::string_view text) : m_text(text) {}

  // The next token ("[", "{", "/Name", "(string)", "<hex>", a number or a word); empty at
  // the end. Comments and whitespace are skipped.
  std::string_view Next();
  std::size_t Position() const { return m_pos; }
  void Seek(std::size_t pos) { m_pos = pos < m_text.size() ? pos : m_text.size(); }

 private:
  std::string_view m_text;
  std::size_t m_pos = 0;
};

bool ParsePSNumber(std::string_view token, double& value);

}  // namespace kestrel
