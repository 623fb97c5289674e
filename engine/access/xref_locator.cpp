#include "engine/access/xref_locator.h"

#include <algorithm>
#include <string>

namespace kestrel {

TByteView ReadWindow(TByteView source, int64_t pos, int64_t len) {
  const auto size = static_cast<int64_t>(source.size());
  pos = std::max<int64_t>(pos, 0);
  if (pos >= size || len <= 0) return {};
  return source.substr(static_cast<std::size_t>(pos), static_cast<std::size_t>(std::min(len, size - pos)));
}

int64_t TPDFXRefReader::FindStartXRef() const {
  const auto size = static_cast<int64_t>(source_.size());
  if (size == 0) return 0;

  // The end mark: a damaged "%%E" in the last 10 bytes, else the last "%%EOF".
  int64_t endMark = -1;
  TByteView tail = Read(size - 10, 10);
  if (tail.find("%%E") != TByteView::npos && tail.find("%%EOF") == TByteView::npos) {
    endMark = (size - 10 > 0 ? size - 10 : 0) + static_cast<int64_t>(tail.rfind("%%E"));
  } else {
    int64_t start = std::max<int64_t>(size - 1024, 0);
    for (;;) {
      TByteView block = Read(start, 1024);
      std::size_t at = block.rfind("%%EOF");
      if (at != TByteView::npos) {
        endMark = start + static_cast<int64_t>(at);
        break;
      }
      if (start <= 0) break;
      start = std::max<int64_t>(start - 1020, 0);
    }
  }
  if (endMark < 0) return 0;

  // The keyword is looked for in windows of a fixed size (each overlaps the next by the
  // keyword's length less one) and no further than kStartXRefReach before the end mark: a
  // window that grew would make the search quadratic in the file's size.
  constexpr int64_t kStartXRefReach = int64_t{1} << 20;
  const int64_t limit = std::max<int64_t>(endMark - kStartXRefReach, 0);
  int64_t keyword = -1;
  int64_t start = std::max<int64_t>(endMark - 1024, limit);
  for (;;) {
    TByteView block = Read(start, std::min<int64_t>(endMark - start, 1024));
    std::size_t at = block.rfind("startxref");
    if (at != TByteView::npos) {
      keyword = start + static_cast<int64_t>(at);
      break;
    }
    if (start <= limit) break;
    start = std::max<int64_t>(start - 1016, limit);
  }
  if (keyword < 0) return 0;

  TByteView between = Read(keyword + 9, endMark - keyword - 9);
  int64_t result = 0;
  std::size_t i = 0;
  while (i <= between.size()) {
    std::size_t eol = between.find_first_of("\r\n", i);
    if (eol == TByteView::npos) eol = between.size();
    TByteView line = between.substr(i, eol - i);
    if (auto pct = line.find('%'); pct != TByteView::npos) line = line.substr(0, pct);
    while (!line.empty() && static_cast<unsigned char>(line.front()) <= ' ') line.remove_prefix(1);
    while (!line.empty() && static_cast<unsigned char>(line.back()) <= ' ') line.remove_suffix(1);
    int64_t v = 0;
    // More than 15 digits is no offset: the digits are not read at all (v * 10 would overflow).
    bool ok = !line.empty() && line.size() <= 15;
    for (char c : ok ? line : TByteView()) {
      if (c < '0' || c > '9') {
        ok = false;
        break;
      }
      v = v * 10 + (c - '0');
    }
    if (ok && v > 0) result = v;
    i = eol + 1;
  }
  return result;
}

namespace {

bool VersionFrom(TByteView after, std::string& version) {
  after = after.substr(0, 10);
  std::string run;
  for (char c : after) {
    if ((c >= '0' && c <= '9') || c == '.') {
      run += c;
    } else {
      break;
    }
  }
  if (std::count(run.begin(), run.end(), '.') > 1) return false;
  version = run;
  return true;
}

}  // namespace

bool CheckPDFHeader(TByteView source, std::string& version, std::size_t* position) {
  TByteView head = source.substr(0, 1024);
  std::size_t pdf = head.find("%PDF-");
  std::size_t ps = head.find("%!PS-Adobe-");
  if (position) *position = std::min(pdf, ps);
  if (pdf != TByteView::npos) return VersionFrom(source.substr(pdf + 5), version);
  if (ps == TByteView::npos) return false;
  TByteView window = head.substr(ps + 11, 20);
  std::size_t inner = window.find("PDF-");
  if (inner == TByteView::npos) return false;
  return VersionFrom(source.substr(ps + 11 + inner + 4), version);
}

}  // namespace kestrel
