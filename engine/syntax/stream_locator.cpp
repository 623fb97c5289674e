#include "engine/syntax/stream_locator.h"

#include <cmath>

namespace kestrel {

namespace {

bool IsBlank(char c) { return c == 0 || c == '\t' || c == '\f' || c == ' '; }

}  // namespace

std::optional<std::size_t> StreamDataStart(TByteView text, std::size_t kw) {
  std::size_t p = kw + 6;
  while (p < text.size() && IsBlank(text[p])) ++p;
  if (p >= text.size()) return std::nullopt;
  if (text[p] == '\r') {
    ++p;
    if (p < text.size() && text[p] == '\n') ++p;
    return p;
  }
  if (text[p] == '\n') return p + 1;
  return std::nullopt;
}

namespace {

// Length of the data when it runs up to "endstream" (without the line end before it).
std::optional<std::size_t> LengthToEndstream(TByteView text, std::size_t start) {
  std::size_t end = text.find("endstream", start);
  if (end == TByteView::npos) return std::nullopt;
  std::size_t len = end - start;
  if (len > 0 && text[start + len - 1] == '\n') --len;
  if (len > 0 && text[start + len - 1] == '\r') --len;
  return len;
}

}  // namespace

std::optional<TStreamBody> LocateStreamBody(TByteView text, const TPDFDictionary* dict,
                                            std::size_t afterDict, const TLengthLoader& loadLength) {
  if (!dict || afterDict > text.size() || text.size() - afterDict < 13) return std::nullopt;
  std::size_t kw = text.find("stream", afterDict);
  if (kw == TByteView::npos) return std::nullopt;
  auto start = StreamDataStart(text, kw);
  if (!start) return std::nullopt;

  TPDFObject* lengthObj = dict->GetValue("Length", false);
  if (auto* ref = As<TPDFIndRef>(lengthObj)) lengthObj = loadLength ? loadLength(ref) : nullptr;
  auto* lengthNum = As<TPDFNumeric>(lengthObj);
  double declared = lengthNum ? std::nearbyint(lengthNum->Value) : -1;

  // A missing, negative or too long "Length" is repaired by the "endstream" keyword, as
  // every other reader does, rather than losing the stream.
  if (!(declared >= 0) || declared > static_cast<double>(text.size() - *start)) {
    auto len = LengthToEndstream(text, *start);
    if (!len) return std::nullopt;
    return TStreamBody{*start, *len};
  }
  std::size_t length = static_cast<std::size_t>(declared);
  std::size_t p = *start + length;
  if (p < text.size() && IsBlank(text[p])) ++p;
  if (p < text.size() && text[p] == '\r') ++p;
  if (p < text.size() && text[p] == '\n') ++p;
  std::size_t found = text.find("endstream", p);
  if (found == TByteView::npos) {
    // The declared length runs past the end of the object: cut at "endstream" if any.
    auto len = LengthToEndstream(text, *start);
    if (!len) return std::nullopt;
    return TStreamBody{*start, *len};
  }
  if (found == p) return TStreamBody{*start, length};
  // A short "Length" grows to reach "endstream" (the line end before it stays in the data).
  return TStreamBody{*start, found - *start};
}

TPDFObject* ParseIndirectObjectText(TByteView text, TPDFStructure& pool, const TLengthLoader& loadLength) {
  std::size_t consumed = 0;
  TPDFObject* obj = pool.ParseObjectAt(text, consumed);
  auto* dict = As<TPDFDictionary>(obj);
  if (!dict) return obj;
  auto body = LocateStreamBody(text, dict, consumed, loadLength);
  if (!body) return obj;
  return pool.NewStreamOf(dict, TBytes(text.substr(body->Start, body->Length)));
}

}  // namespace kestrel
