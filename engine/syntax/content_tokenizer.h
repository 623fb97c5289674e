#pragma once
// Splits decoded content text into tokens without copying: every token is a view into the
// text, which must outlive the tokenizer and its tokens.
#include <cstddef>

#include "engine/syntax/bytes.h"

namespace kestrel {

class TContentTokenizer {
 public:
  explicit TContentTokenizer(TByteView text) : text_(text) {}

  // The next token; empty at the end of the text. Whitespace and comments are skipped.
  // Tokens: a literal string with its parentheses, a hex string with its angle brackets, a
  // dictionary "<< ... >>" as one token, the one-byte tokens ' [ ], and regular tokens that
  // end before whitespace or one of ( / < [ ] %.
  TByteView Next();

  TByteView Text() const { return text_; }
  // Offset (0-based) of the next unread byte.
  std::size_t Offset() const { return pos_; }
  void SetOffset(std::size_t offset) { pos_ = offset < text_.size() ? offset : text_.size(); }
  bool AtEnd() const { return pos_ >= text_.size(); }

 private:
  std::size_t SkipLiteral(std::size_t from) const;
  std::size_t SkipDictionary(std::size_t from) const;

  TByteView text_;
  std::size_t pos_ = 0;
};

// The numeric value of an operand: an optional sign, digits and at most one point; reading
// stops at anything else, and a token without digits reads as 0.
double OperandNumber(TByteView token);

}  // namespace kestrel
