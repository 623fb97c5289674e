#include "engine/output/emfplus/emfplus_writer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace kestrel::emfplus {

namespace {

// A header field from a computed size: rounded and kept inside int32 (absurd resolutions
// cannot overflow it).
std::int32_t HeaderInt(double v) {
  if (!(v > 1)) return 1;
  if (v >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(std::nearbyint(v));
}

void Patch32(TBytes& bytes, std::size_t offset, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

void TByteSink::U16(std::uint16_t v) {
  U8(v & 0xFF);
  U8(v >> 8);
}

void TByteSink::U32(std::uint32_t v) {
  for (int i = 0; i < 4; ++i) U8((v >> (8 * i)) & 0xFF);
}

void TByteSink::F32(float v) { U32(std::bit_cast<std::uint32_t>(v)); }

void TByteSink::PadTo4() {
  while (m_out.size() % 4 != 0) U8(0);
}

TEmfPlusWriter::TEmfPlusWriter(std::int32_t width, std::int32_t height, double dpi)
    : m_width(std::max(width, 1)), m_height(std::max(height, 1)) {
  if (!(dpi > 0) || !std::isfinite(dpi)) dpi = 96;
  WriteHeader(dpi);
}

void TEmfPlusWriter::WriteHeader(double dpi) {
  // The reference device has the render resolution, so that one device pixel is one page
  // pixel: its size is a whole number of 10-inch blocks (254 mm) large enough for the page,
  // which keeps the pixel-per-millimetre ratio exact for whole resolutions.
  auto blocks = [dpi](std::int32_t pixels) {
    return std::max(1.0, std::ceil(static_cast<double>(pixels) / (10 * dpi)));
  };
  const double kx = blocks(m_width), ky = blocks(m_height);
  const std::int32_t devX = HeaderInt(10 * kx * dpi), devY = HeaderInt(10 * ky * dpi);
  const std::int32_t mmX = HeaderInt(254 * kx), mmY = HeaderInt(254 * ky);

  TByteSink s(m_file);
  s.U32(kEmrHeader);
  s.U32(kEmfHeaderSize);
  // Bounds (device pixels, inclusive) and frame (0.01 mm, inclusive) of the page.
  s.I32(0), s.I32(0), s.I32(m_width - 1), s.I32(m_height - 1);
  s.I32(0), s.I32(0);
  s.I32(HeaderInt(m_width * 2540.0 / dpi) - 1), s.I32(HeaderInt(m_height * 2540.0 / dpi) - 1);
  s.U32(kEmfSignature);
  s.U32(0x00010000);  // version
  s.U32(0);           // total bytes, patched by Finish
  s.U32(0);           // record count, patched by Finish
  s.U16(1);           // handles: the reserved entry only
  s.U16(0);
  s.U32(0), s.U32(0);  // no description
  s.U32(0);            // no palette
  s.I32(devX), s.I32(devY);
  s.I32(mmX), s.I32(mmY);
  s.U32(0), s.U32(0), s.U32(0);  // no pixel format, not OpenGL
  s.U32(static_cast<std::uint32_t>(std::min<double>(mmX * 1000.0, 4294967295.0)));
  s.U32(static_cast<std::uint32_t>(std::min<double>(mmY * 1000.0, 4294967295.0)));
  ++m_emfRecords;

  // The EMF+ header sits alone in the first comment; its flag word says "EMF+ only" (dual
  // bit clear) and the reference device is a display.
  TBytes data;
  TByteSink d(data);
  d.U32(kEmfPlusVersion);
  d.U32(1);
  const std::int32_t logicalDpi = HeaderInt(dpi);
  d.I32(logicalDpi), d.I32(logicalDpi);
  AppendRecord(kHeader, 0, data, {});
  FlushComment();
}

bool TEmfPlusWriter::HasRoom(std::size_t bytes) const {
  // Room is kept for the closing records (a comment with the end of file, and EMR_EOF).
  constexpr std::size_t kClosing = 64;
  const std::size_t used = m_file.size() + m_pending.size() + kClosing;
  return !m_finished && m_plusRecords < kMaxRecords && used <= kMaxFileBytes &&
         bytes <= kMaxFileBytes - used;
}

bool TEmfPlusWriter::Record(std::uint16_t type, std::uint16_t flags, std::string_view data) {
  // Record sizes are multiples of 4; a comment header and a record header come on top.
  const std::size_t padded = (data.size() + 3) / 4 * 4;
  if (data.size() > kMaxFileBytes || !HasRoom(padded + kEmfPlusRecordHeader + 16)) {
    ++m_dropped;
    return false;
  }
  AppendRecord(type, flags, data, {});
  return true;
}

bool TEmfPlusWriter::Object(TObjectType type, std::uint8_t id, std::string_view data) {
  const std::uint16_t flags =
      static_cast<std::uint16_t>((static_cast<unsigned>(type) & 0x7F) << 8 | (id & 0x3F));
  if (data.size() <= kMaxObjectChunk) return Record(kObject, flags, data);
  // Continued records: every part carries the continuation bit and the total object size,
  // the last one too, as GDI+ writes them (LibreOffice reads the last part that way as well);
  // a reader knows the object is complete when the parts add up to the total.
  const std::size_t chunks = (data.size() + kMaxObjectChunk - 1) / kMaxObjectChunk;
  const std::size_t overhead = chunks * (kEmfPlusRecordHeader + 4 + 16);
  if (data.size() > std::numeric_limits<std::uint32_t>::max() ||
      !HasRoom(data.size() + overhead + 3 * chunks) ||
      m_plusRecords + chunks > kMaxRecords) {
    ++m_dropped;
    return false;
  }
  TBytes total;
  TByteSink(total).U32(static_cast<std::uint32_t>(data.size()));
  for (std::size_t at = 0; at < data.size(); at += kMaxObjectChunk) {
    AppendRecord(kObject, flags | 0x8000, total, data.substr(at, kMaxObjectChunk));
  }
  return true;
}

void TEmfPlusWriter::AppendRecord(std::uint16_t type, std::uint16_t flags, std::string_view a,
                                  std::string_view b) {
  const std::size_t dataSize = (a.size() + b.size() + 3) / 4 * 4;
  if (!m_pending.empty() && m_pending.size() + kEmfPlusRecordHeader + dataSize > kMaxCommentData) {
    FlushComment();
  }
  TByteSink s(m_pending);
  s.U16(type);
  s.U16(flags);
  s.U32(static_cast<std::uint32_t>(kEmfPlusRecordHeader + dataSize));
  s.U32(static_cast<std::uint32_t>(dataSize));
  s.Bytes(a);
  s.Bytes(b);
  s.PadTo4();
  ++m_plusRecords;
}

void TEmfPlusWriter::FlushComment() {
  if (m_pending.empty()) return;
  TByteSink s(m_file);
  s.U32(kEmrComment);
  s.U32(static_cast<std::uint32_t>(16 + m_pending.size()));
  s.U32(static_cast<std::uint32_t>(4 + m_pending.size()));
  s.U32(kEmfPlusCommentId);
  s.Bytes(m_pending);
  m_pending.clear();
  ++m_emfRecords;
}

TBytes TEmfPlusWriter::Finish() {
  if (m_finished) return {};
  FlushComment();
  AppendRecord(kEndOfFile, 0, {}, {});
  FlushComment();
  TByteSink s(m_file);
  s.U32(kEmrEof);
  s.U32(20);
  s.U32(0);   // no palette entries
  s.U32(16);  // where they would start
  s.U32(20);  // size of this record, repeated last
  ++m_emfRecords;
  Patch32(m_file, 48, static_cast<std::uint32_t>(m_file.size()));
  Patch32(m_file, 52, m_emfRecords);
  m_finished = true;
  return std::move(m_file);
}

}  // namespace kestrel::emfplus
