#include "engine/fonts/font_record.h"

#include <atomic>
#include <cmath>

#include "engine/syntax/objects.h"

namespace kestrel {

namespace {

// CIDs one W array may give widths to: a range [0 65535 w] is ordinary, wider ones are not.
constexpr std::uint32_t kMaxCID = 0xFFFF;
constexpr std::size_t kMaxWidthEntries = 1u << 17;

bool CIDNumber(TPDFObject* obj, std::uint32_t& out) {
  auto* n = As<TPDFNumeric>(obj);
  if (!n || !(n->Value >= 0) || n->Value > 4e9) return false;
  out = static_cast<std::uint32_t>(n->Value);
  return true;
}

int WidthNumber(const TPDFNumeric& n) {
  return std::isfinite(n.Value) && std::fabs(n.Value) < 1e9 ? static_cast<int>(n.Value) : 0;
}

}  // namespace

std::uint64_t NextFontSerial() {
  static std::atomic<std::uint64_t> next{1};
  return next.fetch_add(1, std::memory_order_relaxed);
}

long TPDFFontCollectionData::GlyphOfCID(std::uint32_t cid) const {
  if (CIDToGIDMap.empty()) return cid;
  const std::size_t at = std::size_t{cid} * 2;
  // Beyond the end of the map the CID names the glyph itself, as other readers take it.
  if (at >= CIDToGIDMap.size()) return cid;
  const unsigned hi = static_cast<unsigned char>(CIDToGIDMap[at]);
  const unsigned lo = at + 1 < CIDToGIDMap.size() ? static_cast<unsigned char>(CIDToGIDMap[at + 1]) : 0;
  return static_cast<long>((hi << 8) | lo);
}

void TPDFFontCollectionData::StringToCodes(TByteView bytes, std::vector<TPDFCharCode>& codes) const {
  codes.clear();
  if (CodeMap) {
    CodeMap->StringToCodes(bytes, codes);
    return;
  }
  if (OneByteCodes) {
    for (unsigned char b : bytes) codes.push_back({b, b});
    return;
  }
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    const std::uint32_t hi = static_cast<unsigned char>(bytes[i]);
    const std::uint32_t lo = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
    const std::uint32_t code = (hi << 8) | lo;
    codes.push_back({code, code});
  }
}

std::size_t TPDFFontCollectionData::MemorySize() const {
  std::size_t n = sizeof *this + CIDToGIDMap.capacity();
  for (const auto& name : GlyphNames) n += name.capacity() > 15 ? name.capacity() : 0;
  if (CIDWidths) n += CIDWidths->Widths.size() * 32;
  if (VerticalMetrics) n += VerticalMetrics->Metrics.size() * 40;
  if (Rasterizer) n += Rasterizer->MemorySize();
  if (CodeMap) n += CodeMap->MemorySize();
  return n;
}

std::unique_ptr<TPDFCIDWidths> ParseCIDWidths(const TPDFArray* w, int defaultWidth,
                                              const std::function<TPDFObject*(TPDFObject*)>& resolve) {
  auto widths = std::make_unique<TPDFCIDWidths>();
  widths->Default = defaultWidth;
  if (!w) return widths;
  auto set = [&](std::uint32_t cid, int width) {
    if (widths->Widths.size() < kMaxWidthEntries) widths->Widths.try_emplace(cid, width);
  };
  const int count = w->Count();
  for (int a = 0; a < count - 1;) {
    std::uint32_t first = 0;
    if (!CIDNumber(resolve(w->Item(a)), first)) break;
    TPDFObject* next = resolve(w->Item(a + 1));
    if (auto* list = As<TPDFArray>(next)) {
      for (int k = 0; k < list->Count(); ++k) {
        if (auto* n = As<TPDFNumeric>(resolve(list->Item(k)))) set(first + static_cast<std::uint32_t>(k), WidthNumber(*n));
      }
      a += 2;
      continue;
    }
    std::uint32_t last = 0;
    if (!CIDNumber(next, last) || a + 2 >= count) break;
    auto* width = As<TPDFNumeric>(resolve(w->Item(a + 2)));
    if (!width) break;
    for (std::uint64_t cid = first; cid <= last && cid <= kMaxCID; ++cid)
      set(static_cast<std::uint32_t>(cid), WidthNumber(*width));
    a += 3;
  }
  return widths;
}

std::unique_ptr<TPDFCIDVerticalMetrics> ParseCIDVerticalMetrics(
    const TPDFArray* w2, const TPDFArray* dw2, const std::function<TPDFObject*(TPDFObject*)>& resolve) {
  auto metrics = std::make_unique<TPDFCIDVerticalMetrics>();
  auto number = [&](const TPDFArray* a, int i, int& out) {
    auto* n = a && i < a->Count() ? As<TPDFNumeric>(resolve(a->Item(i))) : nullptr;
    if (n) out = WidthNumber(*n);
    return n != nullptr;
  };
  if (dw2 && dw2->Count() == 2) {
    int vy = 0, w1 = 0;
    if (number(dw2, 0, vy) && number(dw2, 1, w1)) metrics->DefaultVy = vy, metrics->DefaultW1 = w1;
  }
  auto set = [&](std::uint32_t cid, const TPDFCIDVerticalMetrics::TMetric& m) {
    if (metrics->Metrics.size() < kMaxWidthEntries) metrics->Metrics.try_emplace(cid, m);
  };
  const int count = w2 ? w2->Count() : 0;
  for (int a = 0; a < count - 1;) {
    std::uint32_t first = 0;
    if (!CIDNumber(resolve(w2->Item(a)), first)) break;
    TPDFObject* next = resolve(w2->Item(a + 1));
    if (auto* list = As<TPDFArray>(next)) {
      for (int k = 0; k + 2 < list->Count(); k += 3) {
        TPDFCIDVerticalMetrics::TMetric m;
        if (number(list, k, m.W1) && number(list, k + 1, m.Vx) && number(list, k + 2, m.Vy))
          set(first + static_cast<std::uint32_t>(k / 3), m);
      }
      a += 2;
      continue;
    }
    std::uint32_t last = 0;
    TPDFCIDVerticalMetrics::TMetric m;
    if (!CIDNumber(next, last) || !number(w2, a + 2, m.W1) || !number(w2, a + 3, m.Vx) ||
        !number(w2, a + 4, m.Vy)) {
      break;
    }
    for (std::uint64_t cid = first; cid <= last && cid <= kMaxCID; ++cid)
      set(static_cast<std::uint32_t>(cid), m);
    a += 5;
  }
  return metrics;
}

}  // namespace kestrel
