#include "engine/syntax/stream_locator.h"

#include <cmath>

namespace kestrel {

namespace {

bool IsBlank(char c) { return c == 0 || c == '\t' || c == '\f' || c == ' '; }

constexpr std::size_t kKeywordSize = 6;  // "stream"

// Length of the data when it runs up to "endstream" (without the line end before it).
std::optional<std::size_t> LengthToEndstream(TByteView text, std::size_t start) {
  std::size_t end = text.find("endstream", start);
  if (end == TByteView::npos) return std::nullopt;
  std::size_t len = end - start;
  if (len > 0 && text[start + len - 1] == '\n') --len;
  if (len > 0 && text[start + len - 1] == '\r') --len;
  return len;
}

// Where "endstream" should stand after data of `length` bytes from `start`: past at most one
// blank and one line end.
std::size_t AfterData(TByteView text, std::size_t start, std::size_t length) {
  std::size_t p = start + length;
  if (p < text.size() && IsBlank(text[p])) ++p;
  if (p < text.size() && text[p] == '\r') ++p;
  if (p < text.size() && text[p] == '\n') ++p;
  return p;
}

// Whether data of `length` bytes from `start` ends at "endstream" (past at most one blank and
// one line end).
bool EndsAtEndstream(TByteView text, std::size_t start, std::size_t length) {
  return start <= text.size() && length <= text.size() - start &&
         text.substr(AfterData(text, start, length), 9) == "endstream";
}

}  // namespace

std::size_t StreamDataStart(TByteView text, std::size_t kw) {
  std::size_t p = kw + kKeywordSize;
  while (p < text.size() && IsBlank(text[p])) ++p;
  if (p < text.size() && text[p] == '\r') {
    ++p;
    if (p < text.size() && text[p] == '\n') ++p;
    return p;
  }
  if (p < text.size() && text[p] == '\n') return p + 1;
  p = kw + kKeywordSize;
  while (p < text.size() && text[p] == ' ') ++p;
  return std::min(p, text.size());
}

std::optional<TStreamBody> LocateStreamBody(TByteView text, const TPDFDictionary* dict,
                                            std::size_t afterDict, const TLengthLoader& loadLength) {
  if (!dict || afterDict > text.size() || text.size() - afterDict < 13) return std::nullopt;
  std::size_t kw = text.find("stream", afterDict);
  if (kw == TByteView::npos) return std::nullopt;
  const std::size_t start = StreamDataStart(text, kw);

  TPDFObject* lengthObj = dict->GetValue("Length", false);
  if (auto* ref = As<TPDFIndRef>(lengthObj)) lengthObj = loadLength ? loadLength(ref) : nullptr;
  auto* lengthNum = As<TPDFNumeric>(lengthObj);
  const double declared = lengthNum ? std::nearbyint(lengthNum->Value) : -1;
  const bool fits = declared >= 0 && declared <= static_cast<double>(text.size() - start);
  const auto length = fits ? static_cast<std::size_t>(declared) : 0;

  if (fits) {
    // The usual start wins whenever its data ends at "endstream", with or without a line
    // end before it: writers leave that line end out when the data already ends in CR or LF
    // (qpdf's encrypted streams, some CR LF writers), so such data must not pull the start
    // back onto the line end after the keyword. Only when it does not end there do the
    // unusual starts get a try: after a lone CR before data that begins with LF, or right
    // after the keyword.
    const std::size_t after = kw + kKeywordSize;
    const bool loneCrBeforeLf = after + 1 < text.size() && text[after] == '\r' && text[after + 1] == '\n';
    const bool noLineEnd = after < text.size() && text[after] != '\r' && text[after] != '\n';
    if (EndsAtEndstream(text, start, length)) return TStreamBody{start, length, true};
    if (loneCrBeforeLf && EndsAtEndstream(text, after + 1, length)) return TStreamBody{after + 1, length, true};
    if (noLineEnd && EndsAtEndstream(text, after, length)) return TStreamBody{after, length, true};
  }
  // A missing, negative, too long or too short "Length" is repaired by the "endstream"
  // keyword, as every other reader does, rather than losing the stream.
  if (fits) {
    const std::size_t p = AfterData(text, start, length);
    // A short "Length" grows to reach "endstream" (the line end before it stays in the data).
    if (std::size_t found = text.find("endstream", p); found != TByteView::npos)
      return TStreamBody{start, found - start, false};
  }
  if (auto len = LengthToEndstream(text, start)) return TStreamBody{start, *len, false};
  // No "endstream" at all: the declared length is all there is to go by.
  if (fits) return TStreamBody{start, length, false};
  return std::nullopt;
}

TPDFObject* ParseIndirectObjectText(TByteView text, TPDFStructure& pool, const TLengthLoader& loadLength,
                                    bool* lengthMatched, bool borrow) {
  if (lengthMatched) *lengthMatched = true;
  std::size_t consumed = 0;
  TPDFObject* obj = pool.ParseObjectAt(text, consumed);
  auto* dict = As<TPDFDictionary>(obj);
  if (!dict) return obj;
  auto body = LocateStreamBody(text, dict, consumed, loadLength);
  if (!body) {
    // A "stream" keyword with no data found after it is a stream that went missing.
    if (lengthMatched && text.find("stream", consumed) != TByteView::npos) *lengthMatched = false;
    return obj;
  }
  if (lengthMatched) *lengthMatched = body->LengthMatched;
  const TByteView data = text.substr(body->Start, body->Length);
  if (!borrow) return pool.NewStreamOf(dict, TBytes(data));
  TPDFStream* stream = pool.NewStreamOf(dict, TBytes());
  stream->BorrowRawData(data);
  return stream;
}

}  // namespace kestrel
