#include "engine/fonts/type1/ps_tokenizer.h"

#include <charconv>

#include "engine/syntax/bytes.h"

namespace kestrel {

std::string_view TPSTokenizer::Next() {
  while (m_pos < m_text.size()) {
    const unsigned char c = static_cast<unsigned char>(m_text[m_pos]);
    if (IsPDFWhitespace(c)) {
      ++m_pos;
    } else if (c == '%') {
      while (m_pos < m_text.size() && m_text[m_pos] != '\r' && m_text[m_pos] != '\n') ++m_pos;
    } else {
      break;
    }
  }
  if (m_pos >= m_text.size()) return {};
  const std::size_t start = m_pos;
  const char c = m_text[m_pos++];
  if (c == '[' || c == ']' || c == '{' || c == '}') return m_text.substr(start, 1);
  if (c == '(') {
    int depth = 1;
    while (m_pos < m_text.size() && depth > 0) {
      const char d = m_text[m_pos++];
      if (d == '\\') ++m_pos;
      else if (d == '(') ++depth;
      else if (d == ')') --depth;
    }
    if (m_pos > m_text.size()) m_pos = m_text.size();
    return m_text.substr(start, m_pos - start);
  }
  if (c == '<') {
    while (m_pos < m_text.size() && m_text[m_pos] != '>') ++m_pos;
    if (m_pos < m_text.size()) ++m_pos;
    return m_text.substr(start, m_pos - start);
  }
  // A name (with its slash) or a word: up to whitespace or a delimiter.
  while (m_pos < m_text.size()) {
    const unsigned char d = static_cast<unsigned char>(m_text[m_pos]);
    if (IsPDFWhitespace(d) || (IsPDFDelimiter(d) && !(m_pos == start + 1 && c == '/' && d == '/')))
      break;
    ++m_pos;
  }
  return m_text.substr(start, m_pos - start);
}

bool ParsePSNumber(std::string_view t, double& value) {
  if (t.empty()) return false;
  const char c = t[0];
  if (!(IsDigit(static_cast<unsigned char>(c)) || c == '-' || c == '+' || c == '.')) return false;
  if (c == '+') t.remove_prefix(1);
  const auto r = std::from_chars(t.data(), t.data() + t.size(), value);
  return r.ec == std::errc() && r.ptr == t.data() + t.size();
}

}  // namespace kestrel
