#pragma once
// Fuzz harness bodies, shared by the libFuzzer targets and the seed-replay test.
#include <cstddef>
#include <cstdint>

#include "engine/access/document.h"
#include "engine/kestrel.h"
#include "engine/syntax/decode_budget.h"
#include "engine/syntax/stream_reader.h"
#include "engine/syntax/structure.h"

namespace fuzzharness {

// Parses bytes as an object, writes it back and parses the text again.
inline void ParseObject(const uint8_t* data, size_t size) {
  kestrel::TPDFStructure pool;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::size_t consumed = 0;
  kestrel::TPDFObject* obj = pool.ParseObjectAt(text, consumed);
  if (consumed > size) __builtin_trap();
  pool.ParseObject(obj->ToText());
  kestrel::TPDFStructure::DecodeLiteralString(text);
  kestrel::TPDFStructure::DecodeHexString(text);
}

// A stream's whole filter chain: "<< dictionary >>" then "stream" then the raw data.
// Decoded bytes one input may produce (the engine's page budget, made small for speed).
inline constexpr std::size_t kFuzzDecodeBudget = std::size_t{16} << 20;

inline void FilterChain(const uint8_t* data, size_t size) {
  kestrel::TPDFStructure pool;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::size_t split = text.find("stream");
  std::string_view dictText = text.substr(0, split);
  std::string_view body = split == std::string_view::npos ? std::string_view() : text.substr(split + 6);
  auto* dict = kestrel::As<kestrel::TPDFDictionary>(pool.ParseObject(dictText));
  if (!dict) dict = pool.NewDictionary();
  // A page's budget, tightened so that each input runs in milliseconds: what is checked here is
  // that every stage of a chain is charged and stops at it.
  kestrel::TDecodeBudget budget(kFuzzDecodeBudget);
  const kestrel::TPDFStream& stream = *pool.NewStreamOf(dict, kestrel::TBytes(body));
  const kestrel::TBytes whole = stream.Decode(&budget);
  // Read piece by piece, the chain gives the same bytes and spends the same budget.
  kestrel::TDecodeBudget piecewise(kFuzzDecodeBudget);
  auto reader = kestrel::OpenStreamReader(stream, &piecewise);
  if (!reader) return;
  kestrel::TBytes got;
  char piece[4093];
  for (std::size_t n; (n = reader->Read(piece)) > 0;) got.append(piece, n);
  if (got != whole || piecewise.Left() != budget.Left()) __builtin_trap();
}

// Which of a page's marked-content groups and annotations are shown.
inline void ShowOptionalContent(kestrel::TSmartPDFDocument& doc, kestrel::TPDFDictionary& page) {
  kestrel::TPDFOptionalContent& oc = doc.OptionalContent();
  auto* resources = kestrel::As<kestrel::TPDFDictionary>(page.GetValue("Resources"));
  auto* properties = resources ? kestrel::As<kestrel::TPDFDictionary>(resources->GetValue("Properties")) : nullptr;
  if (properties)
    for (const auto& entry : properties->Entries()) oc.IsVisible(entry.second);
  if (kestrel::TPDFArray* annots = doc.Annots().Array())
    for (int i = 0; i < annots->Count() && i < 64; ++i)
      if (auto* annot = kestrel::As<kestrel::TPDFDictionary>(annots->ItemResolved(i)))
        oc.IsVisible(annot->GetValue("OC", false));
}

// Opens bytes as a PDF and walks its pages (bounded), as the conversion job does.
inline void OpenAndWalk(const uint8_t* data, size_t size) {
  kestrel::TKestrel0725 engine;
  std::string_view file(reinterpret_cast<const char*>(data), size);
  kestrel::TSmartPDFLink* handle = engine.OpenDocument(file, "");
  if (!handle) return;
  int count = engine.GetPageCount(handle);
  if (count > 64) count = 64;
  for (int n = 1; n <= count; ++n) {
    kestrel::TPDFIndRef* ref = engine.FindPage(handle, n);
    if (!ref) continue;
    handle->Document()->IsPageRef(ref);
    auto* page = handle->Document()->PageDictionary(ref);
    if (!page) continue;
    if (auto* contents = kestrel::As<kestrel::TPDFStream>(page->GetValue("Contents"))) {
      kestrel::TDecodeBudget budget(kFuzzDecodeBudget);
      contents->Decode(&budget);
    }
    ShowOptionalContent(*handle->Document(), *page);
  }
  if (kestrel::TPDFForm* form = handle->Document()->Form())
    for (const auto& field : form->Fields()) field->Inherited("DA");
  for (int n = 1; n <= 50 && n <= handle->Reader()->HighestObjectNumber(); ++n) handle->Reader()->LoadObject(n);
}

}  // namespace fuzzharness
