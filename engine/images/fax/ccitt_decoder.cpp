#include "engine/images/fax/ccitt_decoder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#include "engine/images/fax/fax_bit_reader.h"
#include "engine/images/fax/fax_codes.h"

namespace kestrel {

namespace {

using fax::TFaxBitReader;
using fax::TFaxCode;

constexpr int kInvalidRun = -2;  // ReadRun: bits that start no code (kEol: an EOL)
constexpr std::uint32_t kEofb = 0x001001;  // two EOLs: the end of T.6 data

// Sets pixels [x0, x1) of a packed row: whole bytes at once between the edges.
void PaintRun(std::uint8_t* row, int x0, int x1) {
  if (x0 >= x1) return;
  const int first = x0 >> 3, last = (x1 - 1) >> 3;
  const std::uint8_t head = std::uint8_t(0xFF >> (x0 & 7));
  const std::uint8_t tail = std::uint8_t(0xFF << (7 - ((x1 - 1) & 7)));
  if (first == last) {
    row[first] |= head & tail;
    return;
  }
  row[first] |= head;
  std::memset(row + first + 1, 0xFF, std::size_t(last - first - 1));
  row[last] |= tail;
}

// The length of the fill bits and EOL at the reading position (up to and including the
// EOL's final 1), or 0 when no EOL is there.
std::size_t EolLength(TFaxBitReader& bits) {
  const std::size_t start = bits.Position();
  std::size_t zeros = 0, length = 0;
  while (!bits.AtEnd()) {
    const std::uint32_t word = bits.Peek(24);
    if (word != 0) {
      zeros += std::size_t(std::countl_zero(word) - 8);
      if (zeros >= 11) length = zeros + 1;
      break;
    }
    zeros += 24;
    bits.Skip(24);
  }
  bits.Seek(start);
  return length;
}

// One image row at a time: the changing elements (positions where the colour changes, the
// first one to black) of the row being decoded and of the row above. Both arrays are sized
// once: a row has no more changes than pixels, nor more than the data has bits.
class TFaxRows {
 public:
  TFaxRows(TByteView data, int width) : bits_(data), width_(width) {
    capacity_ = std::min(std::size_t(width), data.size() * 8) + 1;
    ref_.assign(capacity_ + 4, width);
    cur_.assign(capacity_ + 4, width);
  }

  TFaxBitReader& Bits() { return bits_; }
  const char* Error() const { return error_; }

  bool OneDRow();
  bool TwoDRow(bool eols);
  // Ends the row (a damaged one keeps what was decoded, white after the fault); it becomes
  // the reference for the next row.
  void EndRow();
  void Paint(std::uint8_t* row) const;
  // Moves to the fill bits of the next EOL; false when there is none.
  bool SeekNextEol();

 private:
  int ReadRun(int color);
  bool Record(int x);
  bool Fail(const char* why) {
    error_ = why;
    return false;
  }
  bool Uncompressed(int& a0, int& color, std::size_t& bi);

  TFaxBitReader bits_;
  int width_;
  std::size_t capacity_ = 0;
  std::vector<int> ref_, cur_;
  std::size_t refCount_ = 0, count_ = 0;
  int at_ = 0;  // decoded up to here in the current row
  const char* error_ = "";
};

// A run of the colour (0 white, 1 black): make-up codes, then a terminating code. Runs are
// capped at the width, which every caller clips to anyway.
int TFaxRows::ReadRun(int color) {
  std::int64_t total = 0;
  for (;;) {
    const TFaxCode code =
        color ? fax::kBlackTable[bits_.Peek(fax::kBlackBits)]
              : fax::kWhiteTable[bits_.Peek(fax::kWhiteBits)];
    if (code.Bits == 0) return kInvalidRun;
    if (code.Value == fax::kEol) return fax::kEol;
    bits_.Skip(code.Bits);
    total = std::min<std::int64_t>(total + code.Value, width_);
    if (code.Value < 64) return int(total);
  }
}

// Adds a change at x; a change where the last one was cancels it (a run of no pixels).
bool TFaxRows::Record(int x) {
  at_ = x;
  if (x >= width_) return true;
  if (count_ > 0 && cur_[count_ - 1] == x) {
    --count_;
    return true;
  }
  if (count_ >= capacity_) return Fail("too many colour changes in a row");
  cur_[count_++] = x;
  return true;
}

bool TFaxRows::OneDRow() {
  int x = 0, color = 0;
  while (x < width_) {
    const int run = ReadRun(color);
    if (run == fax::kEol) return true;  // a short row: the EOL starts the next one
    if (run < 0) return Fail("invalid run code");
    x = int(std::min<std::int64_t>(std::int64_t(x) + run, width_));
    if (!Record(x)) return false;
    color ^= 1;
  }
  return true;
}

bool TFaxRows::TwoDRow(bool eols) {
  static constexpr int kOffsets[] = {0, 0, 0, 1, 2, 3, -1, -2, -3};
  int a0 = -1, color = 0;
  std::size_t bi = 0;  // b1's index: even for changes to black, matching a white a0
  while (a0 < width_) {
    while (ref_[bi] <= a0 && ref_[bi] < width_) bi += 2;
    const int b1 = ref_[bi], b2 = ref_[bi + 1];
    const TFaxCode code = fax::kModeTable[bits_.Peek(fax::kModeBits)];
    if (code.Bits == 0) {
      if (eols && EolLength(bits_) > 0) return true;  // a short row: the EOL starts the next one
      return Fail("invalid mode code");
    }
    bits_.Skip(code.Bits);
    switch (code.Value) {
      case fax::kPass:
        a0 = b2;
        at_ = b2;
        break;
      case fax::kHorizontal: {
        const int first = ReadRun(color);
        const int second = first < 0 ? first : ReadRun(color ^ 1);
        if (second < 0) return Fail("invalid run code");
        const std::int64_t a1 = std::min<std::int64_t>(std::max(a0, 0) + std::int64_t(first), width_);
        const std::int64_t a2 = std::min<std::int64_t>(a1 + second, width_);
        if (!Record(int(a1)) || !Record(int(a2))) return false;
        a0 = int(a2);
        break;
      }
      case fax::kExtension:
        if (!Uncompressed(a0, color, bi)) return false;
        break;
      default: {
        const int a1 = std::min(b1 + kOffsets[code.Value], width_);
        if (a1 < std::max(a0, 0)) return Fail("vertical code left of the last change");
        if (!Record(a1)) return false;
        a0 = a1;
        color ^= 1;
        bi = bi > 0 ? bi - 1 : 1;
      }
    }
  }
  return true;
}

// Uncompressed mode: pixels given one by one, until an exit code names the next colour.
bool TFaxRows::Uncompressed(int& a0, int& color, std::size_t& bi) {
  if (bits_.Peek(3) != 7) return Fail("unknown extension code");
  bits_.Skip(3);
  int x = std::max(a0, 0);
  auto put = [&](int c, int n) {
    if (n == 0) return true;
    if (c != color && !Record(x)) return false;
    color = c;
    x = std::min(x + n, width_);
    at_ = x;
    return true;
  };
  for (;;) {
    const std::uint32_t word = bits_.Peek(12);
    const int zeros = word ? std::countl_zero(word) - 20 : 12;
    bits_.Skip(std::size_t(std::min(zeros + 1, 12)));
    if (zeros <= 4) {
      if (!put(0, zeros) || !put(1, 1)) return false;
    } else if (zeros == 5) {
      if (!put(0, 5)) return false;
    } else if (zeros <= 10) {
      if (!put(0, zeros - 6)) return false;
      const int next = int(bits_.Peek(1));
      bits_.Skip(1);
      if (next != color && !Record(x)) return false;
      color = next;
      break;
    } else {
      return Fail("invalid uncompressed code");
    }
  }
  a0 = x;
  // b1's index takes the new colour's parity; the search goes on from there.
  if ((bi & 1) != std::size_t(color)) bi = bi > 0 ? bi - 1 : 1;
  return true;
}

void TFaxRows::EndRow() {
  if (count_ % 2 == 1 && at_ < width_) Record(at_);
  std::fill(cur_.begin() + std::ptrdiff_t(count_), cur_.begin() + std::ptrdiff_t(count_ + 4), width_);
  std::swap(ref_, cur_);
  refCount_ = count_;
  count_ = 0;
  at_ = 0;
}

void TFaxRows::Paint(std::uint8_t* row) const {
  for (std::size_t i = 0; i < refCount_; i += 2)
    PaintRun(row, ref_[i], i + 1 < refCount_ ? ref_[i + 1] : width_);
}

bool TFaxRows::SeekNextEol() {
  std::size_t zeros = 0;
  while (!bits_.AtEnd()) {
    const bool one = bits_.Peek(1) != 0;
    if (one && zeros >= 11) {
      bits_.Seek(bits_.Position() - zeros);
      return true;
    }
    zeros = one ? 0 : zeros + 1;
    bits_.Skip(1);
  }
  return false;
}

}  // namespace

TKesCCITTDecoder::TKesCCITTDecoder(int width, int height, TCCITTParams params)
    : width_(width), height_(height), params_(params) {}

TCCITTResult TKesCCITTDecoder::Decode(TByteView data, std::span<std::uint8_t> out) {
  TCCITTResult result;
  const std::size_t stride = RowBytes();
  if (width_ <= 0 || height_ <= 0 || out.size() / stride < std::size_t(height_)) {
    result.Error = "unusable fax image size";
    return result;
  }
  std::fill_n(out.begin(), stride * std::size_t(height_), std::uint8_t{0});
  TFaxRows rows(data, width_);
  TFaxBitReader& bits = rows.Bits();
  const bool group4 = params_.K < 0;
  bool damaged = false;
  int eolRows = 0;  // rows so far that began with an EOL
  for (int y = 0; y < height_; ++y) {
    bool twoD = group4, eol = false;
    if (group4) {
      if (params_.EncodedByteAlign) bits.Align();
      if (bits.Peek(24) == kEofb) break;
    } else {
      // Aligned rows start at a byte, unless an EOL follows: its own fill bits align it.
      if (params_.EncodedByteAlign && EolLength(bits) == 0) bits.Align();
      // Rows may start with an EOL (after fill bits); a second one in a row is the end of
      // the block. Mixed data has a tag bit after each EOL, or alone: 1 for a 1-D row.
      int eols = 0, tag = 1;
      while (const std::size_t length = EolLength(bits)) {
        bits.Skip(length);
        ++eols;
        if (params_.K > 0) {
          tag = int(bits.Peek(1));
          bits.Skip(1);
        }
      }
      if (eols > 1 && params_.EndOfBlock) break;
      eol = eols > 0;
      // In data that puts an EOL before every row, a row without one means the row above
      // ran past its end: resume at the next EOL, for the same row.
      if (!eol && (params_.EndOfLine || (eolRows >= 2 && eolRows == y)) && y > 0) {
        if (!damaged) result.Rows = y - 1;
        if (result.Error.empty()) result.Error = "row without EOL";
        damaged = true;
        if (!rows.SeekNextEol()) break;
        --y;
        continue;
      }
      eolRows += eol;
      if (params_.K > 0 && eols == 0) {
        tag = int(bits.Peek(1));
        bits.Skip(1);
      }
      twoD = tag == 0;
    }
    if (bits.AtEnd()) break;
    const bool ok = twoD ? rows.TwoDRow(!group4) : rows.OneDRow();
    rows.EndRow();
    rows.Paint(out.data() + std::size_t(y) * stride);
    if (ok) {
      if (!damaged) result.Rows = y + 1;
      continue;
    }
    if (result.Error.empty()) result.Error = rows.Error();
    // A damaged row with EOLs around it costs only that row, as in other readers.
    damaged = true;
    if (group4 || !rows.SeekNextEol()) break;
  }
  if (group4 && result.Error.empty()) {
    if (params_.EncodedByteAlign) bits.Align();
    if (bits.Peek(24) == kEofb) bits.Skip(24);
  }
  result.BytesUsed = bits.BytesUsed();
  return result;
}

TCCITTResult DecodeGroup4(TByteView data, int width, int height, std::span<std::uint8_t> out) {
  TCCITTParams params;
  params.K = -1;
  return TKesCCITTDecoder(width, height, params).Decode(data, out);
}

}  // namespace kestrel
