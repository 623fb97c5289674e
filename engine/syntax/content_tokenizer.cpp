#include "engine/syntax/content_tokenizer.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace kestrel {

namespace {

inline bool EndsRegularToken(unsigned char c) {
  switch (c) {
    case 0: case 9: case 10: case 12: case 13: case 32:
    case '(': case '/': case '<': case '[': case ']': case '%':
      return true;
    default:
      return false;
  }
}

// Dictionaries nest no deeper than this inside one token; deeper brackets are ordinary bytes.
constexpr int kMaxDictionaryNesting = 256;

}  // namespace

std::size_t TContentTokenizer::SkipLiteral(std::size_t i) const {
  // i is at "("; returns the offset just past the matching ")" (or the end of the text).
  int depth = 0;
  for (; i < text_.size(); ++i) {
    const char c = text_[i];
    if (c == '\\') {
      ++i;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      if (--depth == 0) return i + 1;
    }
  }
  return text_.size();
}

std::size_t TContentTokenizer::SkipDictionary(std::size_t i) const {
  // i is at "<<"; strings inside are skipped whole so that a ">" in them does not count.
  int depth = 0;
  while (i < text_.size()) {
    const char c = text_[i];
    if (c == '<' && i + 1 < text_.size() && text_[i + 1] == '<') {
      if (depth < kMaxDictionaryNesting) ++depth;
      i += 2;
    } else if (c == '>' && i + 1 < text_.size() && text_[i + 1] == '>') {
      i += 2;
      if (--depth == 0) return i;
    } else if (c == '(') {
      i = SkipLiteral(i);
    } else {
      ++i;
    }
  }
  return text_.size();
}

TByteView TContentTokenizer::Next() {
  const std::size_t n = text_.size();
  for (;;) {
    while (pos_ < n && IsPDFWhitespace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
    if (pos_ >= n || text_[pos_] != '%') break;
    while (pos_ < n && text_[pos_] != '\r' && text_[pos_] != '\n') ++pos_;
  }
  if (pos_ >= n) return {};
  const std::size_t start = pos_;
  const char c = text_[pos_];
  std::size_t end;
  if (c == '(') {
    end = SkipLiteral(pos_);
  } else if (c == '<') {
    if (pos_ + 1 < n && text_[pos_ + 1] == '<') {
      end = SkipDictionary(pos_);
    } else {
      const std::size_t close = text_.find('>', pos_ + 1);
      end = close == TByteView::npos ? n : close + 1;
    }
  } else if (c == '\'' || c == '[' || c == ']') {
    end = pos_ + 1;
  } else {
    end = pos_ + 1;  // a leading "/" (or any other byte) belongs to the token
    while (end < n && !EndsRegularToken(static_cast<unsigned char>(text_[end]))) ++end;
  }
  pos_ = end;
  return text_.substr(start, end - start);
}

double OperandNumber(TByteView t) {
  std::size_t i = 0;
  bool negative = false;
  // Producers sometimes write a doubled sign ("--5"); the last one counts as the sign.
  while (i < t.size() && (t[i] == '-' || t[i] == '+')) negative = t[i++] == '-';
  std::int64_t whole = 0;
  double value = 0;
  bool big = false, digits = false;
  for (; i < t.size() && IsDigit(static_cast<unsigned char>(t[i])); ++i) {
    digits = true;
    const int d = t[i] - '0';
    if (!big && whole < 100'000'000'000'000LL) {
      whole = whole * 10 + d;
    } else {
      if (!big) value = static_cast<double>(whole);
      big = true;
      value = value * 10 + d;
    }
  }
  if (!big) value = static_cast<double>(whole);
  if (i < t.size() && t[i] == '.') {
    ++i;
    std::int64_t frac = 0, div = 1;
    for (; i < t.size() && IsDigit(static_cast<unsigned char>(t[i])); ++i) {
      digits = true;
      if (div < 1'000'000'000'000LL) {
        frac = frac * 10 + (t[i] - '0');
        div *= 10;
      }
    }
    value += static_cast<double>(frac) / static_cast<double>(div);
  }
  if (!digits) return 0;
  // Hundreds of digits overflow a double: such numbers read as the largest finite one.
  if (!std::isfinite(value)) value = std::numeric_limits<double>::max();
  return negative ? -value : value;
}

}  // namespace kestrel
