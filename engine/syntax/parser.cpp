// The forgiving object parser: reads the first object of a text into a pool. Whatever cannot
// be read ends the enclosing container; a text with nothing readable gives a null object.
#include <cmath>
#include <cstring>

#include "engine/syntax/limits.h"
#include "engine/syntax/string_decode.h"
#include "engine/syntax/structure.h"

namespace kestrel {

namespace {

class Scanner {
 public:
  Scanner(TByteView text, TPDFStructure& pool) : t_(text), pool_(pool) {}

  std::size_t pos = 0;

  void Skip() {
    while (pos < t_.size()) {
      auto c = static_cast<unsigned char>(t_[pos]);
      if (IsPDFWhitespace(c)) {
        ++pos;
      } else if (c == '%') {
        while (pos < t_.size() && t_[pos] != '\r' && t_[pos] != '\n') ++pos;
      } else {
        break;
      }
    }
  }

  // Reads one object at pos; null when nothing can be read (pos is then unchanged).
  TPDFObject* Read(int depth) {
    if (pos >= t_.size() || depth > limits::kMaxParseDepth) return nullptr;
    const char c = t_[pos];
    if (c == '<' && Peek(1) == '<' && t_.size() - pos >= 4) return ReadDictionary(depth);
    if (c == '[' && t_.size() - pos >= 2) return ReadArray(depth);
    if (c == 't' && Keyword("true")) return pool_.NewBoolean(true);
    if (c == 'f' && Keyword("false")) return pool_.NewBoolean(false);
    if (c == 'n' && Keyword("null")) return pool_.NewNull();
    if (c == '-' || c == '.' || IsDigit(static_cast<unsigned char>(c))) return ReadNumberOrRef();
    if (c == '(') return ReadLiteral();
    if (c == '<') return ReadHex();
    if (c == '/') return ReadName();
    return nullptr;
  }

 private:
  char Peek(std::size_t ahead) const {
    return pos + ahead < t_.size() ? t_[pos + ahead] : '\0';
  }

  bool Keyword(std::string_view kw) {
    if (t_.substr(pos, kw.size()) != kw) return false;
    std::size_t end = pos + kw.size();
    if (end < t_.size()) {
      auto next = static_cast<unsigned char>(t_[end]);
      if (!IsPDFWhitespace(next) && !IsPDFDelimiter(next)) return false;
    }
    pos = end;
    return true;
  }

  bool AtDictionaryEnd() const { return pos + 1 < t_.size() && t_[pos] == '>' && t_[pos + 1] == '>'; }

  // A keyword that no dictionary holds: the object's text ended without its ">>".
  bool AtStructureKeyword() const {
    for (std::string_view kw : {"stream", "endstream", "endobj", "obj", "trailer", "startxref", "xref"}) {
      if (t_.substr(pos, kw.size()) != kw) continue;
      const std::size_t end = pos + kw.size();
      if (end >= t_.size() || IsPDFWhitespace(static_cast<unsigned char>(t_[end])) ||
          IsPDFDelimiter(static_cast<unsigned char>(t_[end])))
        return true;
    }
    return false;
  }

  // Whether a name comes next, after blanks and comments (the position stays).
  bool NameFollows() {
    const std::size_t at = pos;
    Skip();
    const bool name = pos < t_.size() && t_[pos] == '/';
    pos = at;
    return name;
  }

  // Steps over a token that starts no object: one stray delimiter, or a run of regular bytes.
  void SkipJunkToken() {
    const auto c = static_cast<unsigned char>(t_[pos]);
    ++pos;
    if (IsPDFDelimiter(c)) return;
    while (pos < t_.size() && !IsPDFWhitespace(static_cast<unsigned char>(t_[pos])) &&
           !IsPDFDelimiter(static_cast<unsigned char>(t_[pos])))
      ++pos;
  }

  // Junk inside a dictionary costs only itself: a key that is not a name is dropped, a value
  // that cannot be read drops its key, and reading goes on at the next name. The dictionary
  // ends at ">>", at a keyword such as "stream" or "endobj", at an unbalanced string, or at
  // the end of the text.
  TPDFObject* ReadDictionary(int depth) {
    pos += 2;
    auto* dict = pool_.NewDictionary();
    for (;;) {
      Skip();
      if (pos >= t_.size() || AtStructureKeyword()) break;
      if (AtDictionaryEnd()) {
        pos += 2;
        // A ">>" too many inside an object's dictionary: keys that follow it still belong to
        // the object, which is never followed by a name.
        if (depth > 0 || !NameFollows()) break;
        continue;
      }
      TPDFObject* key = Read(depth + 1);
      if (!key) {
        // An unbalanced "(" runs to the end of the text: reading on would only repeat that.
        if (t_[pos] == '(' || depth + 1 > limits::kMaxParseDepth) break;
        SkipJunkToken();
        continue;
      }
      auto* name = As<TPDFName>(key);
      if (!name) continue;
      Skip();
      if (AtDictionaryEnd() || AtStructureKeyword()) continue;
      if (TPDFObject* value = Read(depth + 1)) dict->SetEntry(name, value);
    }
    return dict;
  }

  TPDFObject* ReadArray(int depth) {
    ++pos;
    auto* array = pool_.NewArray();
    bool first = true;
    for (;;) {
      Skip();
      TPDFObject* item = Read(depth + 1);
      if (!item) break;
      array->Add(item);
      if (first && As<TPDFIndRef>(item) && pos < t_.size() && t_[pos] != ']') {
        // Arrays of references (Kids, Annots) are long: size them once.
        std::size_t close = t_.find(']', pos);
        std::string_view rest = t_.substr(pos, close == std::string_view::npos ? t_.npos : close - pos);
        int refs = 0;
        for (char ch : rest) refs += ch == 'R';
        array->Reserve(refs);
      }
      first = false;
    }
    if (pos < t_.size() && t_[pos] == ']') ++pos;
    return array;
  }

  // Number token: a first character of "-", "." or a digit, then digits and at most one ".".
  std::string_view NumberToken() {
    std::size_t start = pos;
    bool point = t_[pos] == '.';
    ++pos;
    while (pos < t_.size()) {
      char ch = t_[pos];
      if (IsDigit(static_cast<unsigned char>(ch))) {
        ++pos;
      } else if (ch == '.' && !point) {
        point = true;
        ++pos;
      } else {
        break;
      }
    }
    return t_.substr(start, pos - start);
  }

  static double NumberValue(std::string_view tok) {
    bool negative = !tok.empty() && tok[0] == '-';
    std::size_t i = negative ? 1 : 0;
    std::size_t point = tok.find('.');
    if (point == std::string_view::npos && tok.size() <= 8) {
      long v = 0;
      for (; i < tok.size(); ++i) v = v * 10 + (tok[i] - '0');
      return negative ? -static_cast<double>(v) : static_cast<double>(v);
    }
    std::size_t intEnd = point == std::string_view::npos ? tok.size() : point;
    double intPart = 0;
    for (; i < intEnd; ++i) intPart = intPart * 10 + (tok[i] - '0');
    double frac = 0;
    if (point != std::string_view::npos) {
      double scale = 1;
      int digits = 0;
      for (std::size_t k = point + 1; k < tok.size() && digits < 9; ++k, ++digits) {
        frac = frac * 10 + (tok[k] - '0');
        scale *= 10;
      }
      frac /= scale;
    }
    double v = intPart + frac;
    return negative ? -v : v;
  }

  static int32_t Truncate(double v) {
    if (!(v > -2147483648.0 && v < 2147483648.0)) return 0;
    return static_cast<int32_t>(v);
  }

  TPDFObject* ReadNumberOrRef() {
    std::string_view tok = NumberToken();
    double value = NumberValue(tok);
    if (tok.find('.') == std::string_view::npos) {
      std::size_t afterFirst = pos;
      Skip();
      if (pos < t_.size() && IsDigit(static_cast<unsigned char>(t_[pos]))) {
        double gen = NumberValue(NumberToken());
        Skip();
        if (pos < t_.size() && t_[pos] == 'R') {
          ++pos;
          return pool_.NewIndRef(Truncate(value), Truncate(gen));
        }
      }
      pos = afterFirst;
    }
    return pool_.NewNumeric(value);
  }

  TPDFObject* ReadLiteral() {
    int depth = 1;
    std::size_t i = pos + 1;
    for (; i < t_.size(); ++i) {
      char ch = t_[i];
      if (ch == '\\' && i + 1 < t_.size()) {
        char next = t_[i + 1];
        if (next == '(' || next == ')' || next == '\\') ++i;
      } else if (ch == '(') {
        ++depth;
      } else if (ch == ')') {
        if (--depth == 0) break;
      }
    }
    if (depth != 0) return nullptr;
    TBytes value = DecodeLiteralBody(t_.substr(pos + 1, i - pos - 1), true);
    pos = i + 1;
    return pool_.NewString(value, TPDFString::kLiteral);
  }

  TPDFObject* ReadHex() {
    std::size_t close = t_.find('>', pos + 1);
    std::size_t end = close == std::string_view::npos ? t_.size() : close;
    TBytes digits;
    for (std::size_t i = pos + 1; i < end; ++i) {
      int v = HexValue(static_cast<unsigned char>(t_[i]));
      if (v >= 0) digits += static_cast<char>(v);
    }
    if (digits.size() % 2) digits += '\0';
    TBytes bytes;
    bytes.reserve(digits.size() / 2);
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
      bytes += static_cast<char>((digits[i] << 4) | digits[i + 1]);
    pos = close == std::string_view::npos ? t_.size() : close + 1;
    return pool_.NewString(bytes, TPDFString::kHex);
  }

  TPDFObject* ReadName() {
    std::size_t start = ++pos;
    while (pos < t_.size()) {
      auto ch = static_cast<unsigned char>(t_[pos]);
      if (IsPDFWhitespace(ch) || IsPDFDelimiter(ch)) break;
      ++pos;
    }
    std::string_view raw = t_.substr(start, pos - start);
    return pool_.NewName(DecodeNameBody(raw));
  }

  TByteView t_;
  TPDFStructure& pool_;
};

}  // namespace

TPDFObject* TPDFStructure::ParseObjectAt(TByteView text, std::size_t& consumed) {
  Scanner scanner(text, *this);
  scanner.Skip();
  TPDFObject* obj = scanner.Read(0);
  consumed = obj ? scanner.pos : 0;
  if (!obj) return NewNull();
  return obj;
}

TPDFObject* TPDFStructure::ParseObject(TByteView text) {
  std::size_t consumed = 0;
  return ParseObjectAt(text, consumed);
}

TBytes TPDFStructure::DecodeLiteralString(TByteView text) {
  if (text.size() < 2) return {};
  return DecodeLiteralBody(text.substr(1, text.size() - 2), false);
}

TBytes TPDFStructure::DecodeHexString(TByteView text) {
  if (text.size() < 2 || text.front() != '<' || text.back() != '>') return {};
  TBytes digits;
  for (char ch : text.substr(1, text.size() - 2)) {
    if ((ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'Z')) digits += ch;
    else if (ch >= 'a' && ch <= 'z') digits += static_cast<char>(ch - 32);
  }
  if (digits.size() % 2) digits += '0';
  TBytes bytes;
  bytes.reserve(digits.size() / 2);
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    int hi = HexValue(static_cast<unsigned char>(digits[i]));
    int lo = HexValue(static_cast<unsigned char>(digits[i + 1]));
    bytes += static_cast<char>(hi < 0 || lo < 0 ? 0 : (hi << 4) | lo);
  }
  return bytes;
}

}  // namespace kestrel
