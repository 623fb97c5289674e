#pragma once
// Reads back an EMF+ only metafile and checks its structure: the EMF header's totals, every
// EMF record's size, the comment records' "EMF+" identifier and sizes, every EMF+ record's
// Size and DataSize, continued objects, and the order header ... end of file. Header-only so
// that the fuzz target can use it too.
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace emfplustest {

struct TPlusRecord {
  std::uint16_t Type = 0;
  std::uint16_t Flags = 0;
  std::string Data;  // a continued object's parts are joined into its last record
};

struct TEmfFile {
  std::int32_t Bounds[4]{};
  std::int32_t Frame[4]{};
  std::uint32_t Bytes = 0;
  std::uint32_t Records = 0;
  std::int32_t Device[2]{};
  std::int32_t Millimeters[2]{};
  std::vector<std::uint32_t> EmfTypes;  // every EMF record type in order
  std::vector<TPlusRecord> Plus;        // every EMF+ record in order
  std::size_t CommentCount = 0;
};

inline std::uint32_t Get32(std::string_view b, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[at + i]);
  return v;
}
inline std::uint16_t Get16(std::string_view b, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                    static_cast<unsigned char>(b[at + 1]) << 8);
}
inline float GetF(std::string_view b, std::size_t at) {
  const std::uint32_t v = Get32(b, at);
  float f;
  std::memcpy(&f, &v, 4);
  return f;
}

// The parsed file, or nullopt with `error` saying which rule the bytes break.
inline std::optional<TEmfFile> ReadEmfPlus(std::string_view b, std::string* error = nullptr) {
  auto fail = [error](const std::string& why) -> std::optional<TEmfFile> {
    if (error) *error = why;
    return std::nullopt;
  };
  TEmfFile f;
  if (b.size() < 108) return fail("shorter than the header");
  if (Get32(b, 0) != 1) return fail("first record is not EMR_HEADER");
  if (Get32(b, 40) != 0x464D4520) return fail("no EMF signature");
  for (int i = 0; i < 4; ++i) {
    f.Bounds[i] = static_cast<std::int32_t>(Get32(b, 8 + 4 * i));
    f.Frame[i] = static_cast<std::int32_t>(Get32(b, 24 + 4 * i));
  }
  f.Bytes = Get32(b, 48);
  f.Records = Get32(b, 52);
  f.Device[0] = static_cast<std::int32_t>(Get32(b, 72));
  f.Device[1] = static_cast<std::int32_t>(Get32(b, 76));
  f.Millimeters[0] = static_cast<std::int32_t>(Get32(b, 80));
  f.Millimeters[1] = static_cast<std::int32_t>(Get32(b, 84));
  if (f.Bytes != b.size()) return fail("nBytes differs from the file size");

  std::string continued;
  std::uint16_t continuedFlags = 0;
  std::uint32_t continuedTotal = 0;
  bool inContinued = false;
  std::size_t at = 0;
  while (at < b.size()) {
    if (b.size() - at < 8) return fail("truncated EMF record");
    const std::uint32_t type = Get32(b, at), size = Get32(b, at + 4);
    if (size < 8 || size % 4 != 0 || size > b.size() - at) return fail("bad EMF record size");
    f.EmfTypes.push_back(type);
    if (type == 70) {
      ++f.CommentCount;
      if (size < 16) return fail("comment too short");
      const std::uint32_t dataSize = Get32(b, at + 8);
      if (dataSize + 12 != size) return fail("comment DataSize does not match its Size");
      if (Get32(b, at + 12) != 0x2B464D45) return fail("comment without the EMF+ identifier");
      std::size_t p = at + 16;
      const std::size_t end = at + size;
      while (p < end) {
        if (end - p < 12) return fail("truncated EMF+ record");
        TPlusRecord r;
        r.Type = Get16(b, p);
        r.Flags = Get16(b, p + 2);
        const std::uint32_t rsize = Get32(b, p + 4), dsize = Get32(b, p + 8);
        if (rsize < 12 || rsize % 4 != 0 || rsize > end - p) return fail("bad EMF+ record Size");
        if (dsize + 12 != rsize) return fail("EMF+ DataSize does not match Size");
        r.Data.assign(b.substr(p + 12, dsize));
        p += rsize;
        if (r.Type == 0x4008 && (r.Flags & 0x8000)) {
          // A continued object: every part starts with the total size; the object is
          // complete when its parts add up to it.
          if (r.Data.size() < 4) return fail("continued object without its total size");
          if (inContinued && (r.Flags != continuedFlags || Get32(r.Data, 0) != continuedTotal)) {
            return fail("continued object interleaved");
          }
          inContinued = true;
          continuedFlags = r.Flags;
          continuedTotal = Get32(r.Data, 0);
          continued.append(r.Data, 4);
          if (continued.size() > continuedTotal) return fail("continued object too long");
          if (continued.size() < continuedTotal) continue;
          r.Flags &= 0x7FFF;
          r.Data = std::move(continued);
          continued.clear();
          inContinued = false;
        } else if (inContinued) {
          return fail("continued object cut short");
        }
        f.Plus.push_back(std::move(r));
      }
    }
    at += size;
  }
  if (inContinued) return fail("continued object never finished");
  if (f.EmfTypes.size() != f.Records) return fail("nRecords differs from the record count");
  if (f.EmfTypes.back() != 14) return fail("last record is not EMR_EOF");
  if (f.Plus.empty() || f.Plus.front().Type != 0x4001) return fail("no EMF+ header first");
  if (f.Plus.front().Flags & 1) return fail("EMF+ header marks a dual file");
  if (f.Plus.back().Type != 0x4002) return fail("no EMF+ end of file last");
  for (std::uint32_t t : f.EmfTypes) {
    if (t != 1 && t != 70 && t != 14) return fail("an EMF drawing record in an EMF+ only file");
  }
  return f;
}

// Every EMF+ record as stored (continued objects not joined), for a file ReadEmfPlus accepts.
inline std::vector<TPlusRecord> RawRecords(std::string_view b) {
  std::vector<TPlusRecord> out;
  for (std::size_t at = 0; at + 8 <= b.size() && Get32(b, at + 4) >= 8;) {
    const std::uint32_t size = Get32(b, at + 4);
    if (Get32(b, at) == 70) {
      for (std::size_t p = at + 16; p + 12 <= at + size;) {
        out.push_back({Get16(b, p), Get16(b, p + 2), std::string(b.substr(p + 12, Get32(b, p + 8)))});
        p += Get32(b, p + 4);
      }
    }
    at += size;
  }
  return out;
}

// Decoded path object: points and types.
struct TPlusPath {
  std::uint32_t Flags = 0;
  std::vector<std::pair<float, float>> Points;
  std::vector<std::uint8_t> Types;
};

inline std::optional<TPlusPath> ReadPath(std::string_view d) {
  if (d.size() < 12) return std::nullopt;
  TPlusPath p;
  const std::uint32_t n = Get32(d, 4);
  p.Flags = Get32(d, 8);
  if (n > (d.size() - 12) / 9) return std::nullopt;
  for (std::uint32_t i = 0; i < n; ++i) {
    p.Points.emplace_back(GetF(d, 12 + 8 * i), GetF(d, 16 + 8 * i));
  }
  for (std::uint32_t i = 0; i < n; ++i) p.Types.push_back(static_cast<unsigned char>(d[12 + 8 * n + i]));
  if (d.size() != (12 + 9 * static_cast<std::size_t>(n) + 3) / 4 * 4) return std::nullopt;
  return p;
}

}  // namespace emfplustest
