#pragma once
// Low-level writer of an enhanced metafile whose drawing is EMF+ records only: the EMF header,
// EMF+ records carried in comment records, and the closing records. Records are appended as
// they arrive; Finish() fills in the header's totals and returns the file.
//
// The EMF header code is kept here rather than shared with the WMF/EMF writers so that this
// format does not depend on their record layer (a few lines of duplication).
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "engine/syntax/bytes.h"

namespace kestrel::emfplus {

// EMF+ record types used here.
enum TRecordType : std::uint16_t {
  kHeader = 0x4001,
  kEndOfFile = 0x4002,
  kObject = 0x4008,
  kFillPath = 0x4014,
  kDrawPath = 0x4015,
  kDrawImagePoints = 0x401B,
  kSetAntiAliasMode = 0x401E,
  kSetInterpolationMode = 0x4021,
  kSetPixelOffsetMode = 0x4022,
  kSetPageTransform = 0x4030,
  kResetClip = 0x4031,
  kSetClipPath = 0x4033,
};

enum TObjectType : std::uint16_t {
  kObjectBrush = 1,
  kObjectPen = 2,
  kObjectPath = 3,
  kObjectImage = 5,
};

// Numbers of the file format.
inline constexpr std::uint32_t kEmrHeader = 1;
inline constexpr std::uint32_t kEmrEof = 14;
inline constexpr std::uint32_t kEmrComment = 70;
inline constexpr std::uint32_t kEmfSignature = 0x464D4520;     // " EMF"
inline constexpr std::uint32_t kEmfPlusCommentId = 0x2B464D45;  // "EMF+" as bytes
inline constexpr std::uint32_t kEmfPlusVersion = 0xDBC01002;    // signature, graphics 1.1
inline constexpr std::size_t kEmfHeaderSize = 108;             // with both extensions
inline constexpr std::size_t kEmfPlusRecordHeader = 12;

// Bounds that keep one page's file finite whatever the page holds. Object data longer than
// kMaxObjectChunk is split into continued object records (chunk sizes are multiples of 4); EMF+ records are grouped into comment
// records of at most kMaxCommentData bytes (one larger record gets a comment of its own).
inline constexpr std::size_t kMaxObjectChunk = 32'000;
inline constexpr std::size_t kMaxCommentData = 65'000;
inline constexpr std::size_t kMaxFileBytes = std::size_t{256} << 20;
inline constexpr std::size_t kMaxRecords = 4'000'000;

// Appends little-endian values to a byte string.
class TByteSink {
 public:
  explicit TByteSink(TBytes& out) : m_out(out) {}
  void U8(std::uint8_t v) { m_out.push_back(static_cast<char>(v)); }
  void U16(std::uint16_t v);
  void U32(std::uint32_t v);
  void I32(std::int32_t v) { U32(static_cast<std::uint32_t>(v)); }
  void F32(float v);
  void Bytes(std::string_view b) { m_out.append(b); }
  void PadTo4();

 private:
  TBytes& m_out;
};

class TEmfPlusWriter {
 public:
  // A page of width × height pixels at `dpi` (both at least 1; dpi finite and positive).
  TEmfPlusWriter(std::int32_t width, std::int32_t height, double dpi);

  // Appends one EMF+ record. False, and nothing written, when the file would pass its bounds.
  bool Record(std::uint16_t type, std::uint16_t flags, std::string_view data);
  // Defines object `id` (0 to 63) of `type`, split into continued records when long. False,
  // and nothing written, when it does not fit within the bounds.
  bool Object(TObjectType type, std::uint8_t id, std::string_view data);
  // Whether `bytes` more of records still fit (records are refused past the bounds).
  bool HasRoom(std::size_t bytes) const;

  // Completes the file (EMF+ end of file, EMR_EOF, header totals) and hands it over. The
  // writer is empty afterwards.
  TBytes Finish();

  std::int32_t Width() const { return m_width; }
  std::int32_t Height() const { return m_height; }
  // Records refused for lack of room.
  std::size_t Dropped() const { return m_dropped; }

 private:
  void WriteHeader(double dpi);
  void FlushComment();
  void AppendRecord(std::uint16_t type, std::uint16_t flags, std::string_view a,
                    std::string_view b);

  std::int32_t m_width;
  std::int32_t m_height;
  TBytes m_file;
  TBytes m_pending;  // EMF+ records of the comment being filled
  std::uint32_t m_emfRecords = 0;
  std::size_t m_plusRecords = 0;
  std::size_t m_dropped = 0;
  bool m_finished = false;
};

}  // namespace kestrel::emfplus
