// Reading the cross-reference data: classic tables and cross-reference streams, newest first,
// following "Prev". A slot filled by a newer section is never overwritten by an older one.
#include <algorithm>
#include <cmath>
#include <set>

#include "engine/access/reader.h"
#include "engine/access/xref_locator.h"
#include "engine/access/access_limits.h"
#include "engine/syntax/stream_locator.h"

namespace kestrel {

namespace {

bool IsLineEnd(char c) { return c == ' ' || c == '\r' || c == '\n'; }

int64_t ParseDecimal(TByteView s) {
  int64_t v = 0;
  bool any = false;
  for (char c : s) {
    if (c == ' ') {
      if (any) break;
      continue;
    }
    if (c < '0' || c > '9') return any ? v : 0;
    if (v > (int64_t{1} << 40)) return 0;
    v = v * 10 + (c - '0');
    any = true;
  }
  return v;
}

// One entry "oooooooooo ggggg n" and its line end at `at`: the number of bytes it takes, or 0
// when the bytes there do not have that form. Offsets of up to 10 digits and generations of up
// to 5 are taken whatever their width, as writers that pad them short produce.
std::size_t ReadXRefEntry(TByteView s, std::size_t at, TXRefEntry& e) {
  std::size_t i = at;
  auto number = [&](std::size_t maxDigits, int64_t& value) {
    const std::size_t from = i;
    value = 0;
    while (i < s.size() && IsDigit(static_cast<unsigned char>(s[i])) && i - from < maxDigits)
      value = value * 10 + (s[i++] - '0');
    return i > from && (i >= s.size() || !IsDigit(static_cast<unsigned char>(s[i])));
  };
  auto spaces = [&] {
    const std::size_t from = i;
    while (i < s.size() && s[i] == ' ') ++i;
    return i > from;
  };
  int64_t offset = 0, generation = 0;
  if (!number(10, offset) || !spaces() || !number(5, generation) || !spaces()) return 0;
  if (i >= s.size() || (s[i] != 'n' && s[i] != 'f')) return 0;
  e.Type = s[i++];
  e.Location = offset;
  e.Second = static_cast<int32_t>(generation);
  // The line end: one or two of space, CR and LF (three from writers that put all of them).
  const std::size_t end = i;
  while (i < s.size() && i - end < 3 && (s[i] == ' ' || s[i] == '\r' || s[i] == '\n')) ++i;
  if (i == end && i < s.size()) return 0;
  return i - at;
}

}  // namespace

TByteView TSmartPDFReader::Read(int64_t pos, int64_t len) const { return ReadWindow(source_, pos, len); }

bool TSmartPDFReader::GrowTable(int64_t size) {
  if (size > limits::kMaxObjectNumber + 1) return false;
  if (static_cast<int64_t>(table_.size()) < size) table_.resize(static_cast<std::size_t>(size));
  return true;
}

void TSmartPDFReader::StoreEntry(int64_t objNum, const TXRefEntry& e, bool overrideFree) {
  if (objNum <= 0 || objNum >= static_cast<int64_t>(table_.size())) return;
  TXRefEntry& slot = table_[static_cast<std::size_t>(objNum)];
  if (slot.Number != 0 && !(overrideFree && slot.Type == 'f')) return;
  slot = e;
  slot.Number = static_cast<int32_t>(objNum);
}

bool TSmartPDFReader::ReadXRefChain(int64_t offset) {
  // Sections already read stop the chain: a "Prev" that loops ends it successfully.
  std::set<int64_t> seen;
  while (offset > 0) {
    if (!seen.insert(offset).second || seen.size() > static_cast<std::size_t>(limits::kMaxXRefSections))
      return true;
    int64_t prev = 0;
    if (!ReadSection(offset, prev)) return false;
    offset = prev;
  }
  return true;
}

bool TSmartPDFReader::ReadSection(int64_t offset, int64_t& prev) {
  knownOffsets_.Add(offset);
  const int64_t windowStart = std::max<int64_t>(offset - 10, 0);
  TByteView window = Read(offset - 10, 30);
  std::size_t x = window.find("xref");
  std::size_t d = window.find("<<");
  if (x != TByteView::npos && x >= 5 && window.substr(x - 5, 9) == "startxref" && d == TByteView::npos) {
    x = window.find("xref", x + 4);
  }
  const bool classic =
      x != TByteView::npos &&
      (d == TByteView::npos || d < x || window.find("xref\n0 0") != TByteView::npos);
  if (classic) return ReadClassicTable(static_cast<std::size_t>(windowStart) + x + 4, prev);
  if (d != TByteView::npos) return ReadXRefStream(static_cast<std::size_t>(windowStart) + d, prev, false);
  return false;
}

bool TSmartPDFReader::ReadClassicTable(std::size_t p, int64_t& prev) {
  const std::size_t size = source_.size();
  // Anything but a subsection or "trailer" where a subsection header belongs: the section is
  // damaged, and the objects it would have listed are found by the scan when asked for.
  bool broken = false;
  for (;;) {
    TByteView w = Read(static_cast<int64_t>(p), 20);
    if (w.substr(0, 3).find('%') != TByteView::npos || w.find("trailer") != TByteView::npos) break;
    broken = true;
    std::size_t k = 0;
    while (k < w.size() && !IsDigit(static_cast<unsigned char>(w[k]))) ++k;
    if (k >= w.size()) break;
    p += k;
    w = Read(static_cast<int64_t>(p), 20);
    k = 0;
    std::size_t firstStart = k;
    while (k < w.size() && IsDigit(static_cast<unsigned char>(w[k]))) ++k;
    TByteView first = w.substr(firstStart, k - firstStart);
    while (k < w.size() && !IsDigit(static_cast<unsigned char>(w[k]))) ++k;
    std::size_t secondStart = k;
    while (k < w.size() && IsDigit(static_cast<unsigned char>(w[k]))) ++k;
    if (k >= w.size() || !IsLineEnd(w[k])) break;
    TByteView second = w.substr(secondStart, k - secondStart);
    p += k;
    while (p < size && !IsDigit(static_cast<unsigned char>(source_[p])) && source_[p] != '-') ++p;

    const int64_t start = first.size() > 12 ? -1 : ParseDecimal(first);
    const int64_t count = second.size() > 12 ? 0 : ParseDecimal(second);
    if (start < 0 || count <= 0) break;
    // A count larger than the rest of the file could hold is a damaged header.
    if (count > static_cast<int64_t>((size - std::min(p, size)) / 19 + 1)) break;
    if (!GrowTable(start + count)) break;
    broken = false;

    // Entries are read as far as they have the form of one.
    int64_t i = 0;
    for (; i < count; ++i) {
      TXRefEntry entry;
      const std::size_t used = ReadXRefEntry(source_, p, entry);
      if (used == 0) break;
      p += used;
      if (entry.Type == 'n') knownOffsets_.Add(entry.Location);
      StoreEntry(start + i, entry);
    }
    if (i < count) {
      broken = true;
      break;
    }
  }
  tableDamaged_ = tableDamaged_ || broken;

  std::size_t t = p < size ? source_.find("trailer", p) : TByteView::npos;
  if (t == TByteView::npos) return false;
  TByteView text = Read(static_cast<int64_t>(t), 2048);
  TPDFDictionary* trailer = nullptr;
  std::size_t open = text.find("<<");
  std::size_t close = text.rfind(">>");
  if (open != TByteView::npos && close != TByteView::npos && close > open) {
    trailer = As<TPDFDictionary>(pool_->ParseObject(text.substr(open, close + 2 - open)));
  }
  trailers_.push_back(trailer);
  if (!trailer) return false;

  // Hybrid files list their compressed objects in a cross-reference stream named by "XRefStm";
  // it belongs to this section, so it is read before the older sections.
  if (auto* stm = As<TPDFNumeric>(trailer->GetValue("XRefStm", false)); stm && stm->Value > 0) {
    const auto at = static_cast<int64_t>(stm->Value);
    TByteView w = Read(at, 40);
    std::size_t d = w.find("<<");
    int64_t ignored = 0;
    if (d != TByteView::npos) {
      knownOffsets_.Add(at);
      std::size_t before = trailers_.size();
      ReadXRefStream(static_cast<std::size_t>(at) + d, ignored, true);
      // The stream's dictionary is not a trailer of its own here.
      if (trailers_.size() > before) trailers_.pop_back();
    }
  }
  auto* prevNum = As<TPDFNumeric>(trailer->GetValue("Prev", false));
  prev = prevNum && prevNum->Value > 0 && prevNum->Value < 1e15 ? static_cast<int64_t>(prevNum->Value) : 0;
  return true;
}

bool TSmartPDFReader::ReadXRefStream(std::size_t q, int64_t& prev, bool overrideFree) {
  // Large "Index" arrays make dictionaries longer than a kilobyte; the parser reads one
  // object and stops, so a wider window costs nothing.
  TByteView head = Read(static_cast<int64_t>(q), 16384);
  std::size_t dictEnd = 0;
  auto* dict = As<TPDFDictionary>(pool_->ParseObjectAt(head, dictEnd));
  if (!dict || dict->GetTypeName() != "XRef") return false;
  hasXRefStream_ = true;
  trailers_.push_back(dict);
  auto* sizeNum = As<TPDFNumeric>(dict->GetValue("Size", false));
  if (!sizeNum) return false;

  std::vector<std::pair<int64_t, int64_t>> subsections;
  if (auto* index = As<TPDFArray>(dict->GetValue("Index", true))) {
    for (int i = 0; i + 1 < index->Count(); i += 2) {
      auto* a = As<TPDFNumeric>(index->Item(i));
      auto* b = As<TPDFNumeric>(index->Item(i + 1));
      subsections.emplace_back(a ? static_cast<int64_t>(std::clamp(a->Value, -1.0, 1e12)) : 0,
                               b ? static_cast<int64_t>(std::clamp(b->Value, -1.0, 1e12)) : 0);
    }
  } else {
    subsections.emplace_back(0, static_cast<int64_t>(std::clamp(sizeNum->Value, 0.0, 1e12)));
  }
  auto* prevNum = As<TPDFNumeric>(dict->GetValue("Prev", false));
  prev = prevNum && prevNum->Value >= 1 && prevNum->Value < 1e15 ? static_cast<int64_t>(prevNum->Value) : 0;

  auto* w = As<TPDFArray>(dict->GetValue("W", true));
  if (!w || w->Count() < 3) return true;
  int widths[3];
  for (int i = 0; i < 3; ++i) {
    auto* n = As<TPDFNumeric>(w->Item(i));
    widths[i] = n ? n->AsInteger() : 0;
    if (widths[i] < 0 || widths[i] > 8) return true;
  }

  // The data follows the "stream" keyword after the dictionary's last ">>".
  const std::size_t keyword = head.find("stream", dictEnd);
  if (keyword == TByteView::npos) return true;
  const std::size_t p = StreamDataStart(head, keyword);
  auto* lengthNum = As<TPDFNumeric>(dict->GetValue("Length", false));
  if (!lengthNum || !(lengthNum->Value >= 0)) return true;
  TByteView raw = Read(static_cast<int64_t>(q + p), static_cast<int64_t>(std::min(lengthNum->Value, 1e15)));
  auto* stream = pool_->NewStreamOf(dict, TBytes(raw));
  const TBytes data = stream->Decode();

  const std::size_t entrySize = static_cast<std::size_t>(widths[0] + widths[1] + widths[2]);
  if (entrySize == 0) return true;
  auto field = [&](std::size_t at, int width) {
    uint64_t v = 0;
    for (int i = 0; i < width; ++i) v = (v << 8) | static_cast<unsigned char>(data[at + static_cast<std::size_t>(i)]);
    return v;
  };
  std::size_t at = 0;
  for (auto [start, count] : subsections) {
    if (start < 0 || count <= 0) continue;
    // Entries that would reach past the decoded data are not stored.
    count = std::min<int64_t>(count, static_cast<int64_t>((data.size() - std::min(at, data.size())) / entrySize));
    if (!GrowTable(start + count)) break;
    for (int64_t i = 0; i < count; ++i, at += entrySize) {
      uint64_t type = widths[0] == 0 ? 1 : field(at, widths[0]);
      uint64_t f2 = field(at + static_cast<std::size_t>(widths[0]), widths[1]);
      uint64_t f3 = field(at + static_cast<std::size_t>(widths[0] + widths[1]), widths[2]);
      if (f2 > static_cast<uint64_t>(INT64_MAX / 2) || f3 > 0x7FFFFFFF) continue;
      TXRefEntry e;
      e.Location = static_cast<int64_t>(f2);
      e.Second = static_cast<int32_t>(f3);
      if (type == 0) {
        e.Type = 'f';
      } else if (type == 1) {
        e.Type = 'n';
        knownOffsets_.Add(e.Location);
      } else if (type == 2) {
        e.Type = 'c';
      } else {
        continue;
      }
      StoreEntry(start + i, e, overrideFree);
    }
  }
  return true;
}

}  // namespace kestrel
