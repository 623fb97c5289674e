#include "engine/access/xref_scan.h"

#include <algorithm>

namespace kestrel {

namespace {

// Bytes after "obj" searched for the dictionary's /Type; a dictionary rarely puts it later.
constexpr std::size_t kTypeWindow = 1024;

bool Blank(unsigned char c) { return IsPDFWhitespace(c); }

}  // namespace

bool ObjectHeaderBefore(TByteView s, std::size_t at, int64_t& number, int64_t& generation,
                        std::size_t& start) {
  std::size_t i = at;
  auto skipBlanks = [&](std::size_t limit) {
    const std::size_t from = i;
    while (i > 0 && Blank(static_cast<unsigned char>(s[i - 1])) && from - i < limit) --i;
    return i < from;
  };
  auto digitsBack = [&](std::size_t limit, int64_t& value) {
    const std::size_t end = i;
    while (i > 0 && IsDigit(static_cast<unsigned char>(s[i - 1])) && end - i < limit) --i;
    if (i == end) return false;
    value = 0;
    for (std::size_t k = i; k < end; ++k) value = value * 10 + (s[k] - '0');
    return true;
  };
  if (!skipBlanks(16) || !digitsBack(5, generation) || !skipBlanks(16) ||
      !digitsBack(10, number))
    return false;
  // The number must not be the tail of a longer token ("x12 0 obj").
  if (i > 0) {
    const auto c = static_cast<unsigned char>(s[i - 1]);
    if (!Blank(c) && !IsPDFDelimiter(c)) return false;
  }
  start = i;
  return true;
}

TXRefScan ScanForObjects(TByteView s, int32_t maxNumber, std::size_t maxObjects) {
  TXRefScan scan;
  for (std::size_t at = s.find("obj"); at != TByteView::npos; at = s.find("obj", at + 3)) {
    if (scan.Objects.size() >= maxObjects) break;
    if (at + 3 < s.size()) {
      const auto c = static_cast<unsigned char>(s[at + 3]);
      if (!Blank(c) && !IsPDFDelimiter(c)) continue;
    }
    int64_t number = 0, generation = 0;
    std::size_t start = 0;
    if (!ObjectHeaderBefore(s, at, number, generation, start)) continue;
    if (number < 1 || number > maxNumber || generation > 65535) continue;
    scan.Objects.push_back({static_cast<int32_t>(number), static_cast<int32_t>(generation),
                            static_cast<int64_t>(start)});
  }
  for (std::size_t at = s.find("trailer"); at != TByteView::npos; at = s.find("trailer", at + 7))
    scan.Trailers.push_back(static_cast<int64_t>(at));

  // The start of each dictionary, up to the next header at most: the whole pass stays linear.
  for (std::size_t k = 0; k < scan.Objects.size(); ++k) {
    TScannedObject& o = scan.Objects[k];
    const auto begin = static_cast<std::size_t>(o.Offset);
    std::size_t end = k + 1 < scan.Objects.size() ? static_cast<std::size_t>(scan.Objects[k + 1].Offset)
                                                  : s.size();
    end = std::min({end, s.size(), begin + kTypeWindow});
    TByteView head = s.substr(begin, end > begin ? end - begin : 0);
    if (const std::size_t stream = head.find("stream"); stream != TByteView::npos)
      head = head.substr(0, stream);
    const std::size_t type = head.find("/Type");
    if (type == TByteView::npos) continue;
    TByteView value = head.substr(type + 5);
    const std::size_t slash = value.find('/');
    if (slash == TByteView::npos || slash > 8) continue;
    value = value.substr(slash);
    auto named = [&](TByteView name) {
      return value.substr(0, name.size()) == name &&
             (value.size() == name.size() || Blank(static_cast<unsigned char>(value[name.size()])) ||
              IsPDFDelimiter(static_cast<unsigned char>(value[name.size()])));
    };
    o.XRefStream = named("/XRef");
    o.ObjectStream = named("/ObjStm");
  }

  int32_t highest = 0;
  for (const TScannedObject& o : scan.Objects) highest = std::max(highest, o.Number);
  scan.Last.assign(static_cast<std::size_t>(highest) + 1, -1);
  for (std::size_t k = 0; k < scan.Objects.size(); ++k)
    scan.Last[static_cast<std::size_t>(scan.Objects[k].Number)] = static_cast<int64_t>(k);
  return scan;
}

}  // namespace kestrel
