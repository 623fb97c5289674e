#include "images/jbig2_test_encoder.h"

#include <random>

#include "engine/images/jbig2/jbig2_arith.h"

namespace kestrel::oracle {

namespace {

// The encoder walks the same probability estimation table as the decoder.
using TQe = jbig2::TQeEntry;
constexpr const auto& kTable = jbig2::kQeTable;

// The MQ encoder; out[0] stands for the byte before the data and is dropped at the end.
class TMqEncoder {
 public:
  TMqEncoder() : index_(1u << 16, 0), mps_(1u << 16, 0) { out_.push_back(0); }
  void Encode(int bit, unsigned cx) {
    const TQe& e = kTable[index_[cx]];
    a_ -= e.Qe;
    if (unsigned(bit) == mps_[cx]) {
      if (a_ & 0x8000) {
        c_ += e.Qe;
        return;
      }
      if (a_ < e.Qe) a_ = e.Qe;
      else c_ += e.Qe;
      index_[cx] = std::uint8_t(e.NextMps);
    } else {
      if (a_ < e.Qe) c_ += e.Qe;
      else a_ = e.Qe;
      if (e.Switch) mps_[cx] ^= 1;
      index_[cx] = std::uint8_t(e.NextLps);
    }
    do {
      a_ <<= 1;
      c_ <<= 1;
      if (--ct_ == 0) ByteOut();
    } while (!(a_ & 0x8000));
  }
  std::string Finish() {
    const std::uint32_t top = c_ + a_;
    c_ |= 0xFFFF;
    if (c_ >= top) c_ -= 0x8000;
    c_ <<= ct_;
    ByteOut();
    c_ <<= ct_;
    ByteOut();
    if (out_.back() != 0xFF) out_.push_back(0xFF);
    out_.push_back(0xAC);
    return std::string(out_.begin() + 1, out_.end());
  }

 private:
  void ByteOut() {
    if (out_.back() == 0xFF) {
      Put7();
    } else if (c_ < 0x8000000) {
      out_.push_back(std::uint8_t(c_ >> 19));
      c_ &= 0x7FFFF;
      ct_ = 8;
    } else {
      ++out_.back();
      if (out_.back() == 0xFF) {
        c_ &= 0x7FFFFFF;
        Put7();
      } else {
        out_.push_back(std::uint8_t(c_ >> 19));
        c_ &= 0x7FFFF;
        ct_ = 8;
      }
    }
  }
  void Put7() {
    out_.push_back(std::uint8_t(c_ >> 20));
    c_ &= 0xFFFFF;
    ct_ = 7;
  }
  std::vector<std::uint8_t> index_, mps_, out_;
  std::uint32_t a_ = 0x8000, c_ = 0;
  int ct_ = 12;
};

struct TOffset {
  int Dx, Dy;
};

}  // namespace

TBilevel TestPicture(int width, int height) {
  TBilevel p{width, height, std::vector<std::uint8_t>(std::size_t(width * height), 0)};
  std::mt19937 random(7);
  for (int y = 0; y < height; ++y) {
    if (y % 7 == 3 && y > 0) {
      for (int x = 0; x < width; ++x) p.Pixels[std::size_t(y * width + x)] = std::uint8_t(p.At(x, y - 1));
      continue;
    }
    for (int x = 0; x < width; ++x) {
      const int dx = x - width / 3, dy = y - height / 2;
      const bool disc = dx * dx + dy * dy < (height / 3) * (height / 3);
      const bool bar = x > width * 2 / 3 && (y / 4) % 2 == 0;
      const bool noise = random() % 13 == 0;
      p.Pixels[std::size_t(y * width + x)] = std::uint8_t((disc || bar) != noise);
    }
  }
  return p;
}

std::string EncodeGeneric(const TBilevel& p, const TGenericCoding& coding) {
  // Context pixels from the lowest bit up; A marks the adaptive pixels in order.
  constexpr int A = 99;
  static const std::vector<TOffset> templates[4] = {
      {{-1, 0}, {-2, 0}, {-3, 0}, {-4, 0}, {A, 0}, {2, -1}, {1, -1}, {0, -1}, {-1, -1},
       {-2, -1}, {A, 1}, {A, 2}, {1, -2}, {0, -2}, {-1, -2}, {A, 3}},
      {{-1, 0}, {-2, 0}, {-3, 0}, {A, 0}, {2, -1}, {1, -1}, {0, -1}, {-1, -1}, {-2, -1},
       {2, -2}, {1, -2}, {0, -2}, {-1, -2}},
      {{-1, 0}, {-2, 0}, {A, 0}, {1, -1}, {0, -1}, {-1, -1}, {-2, -1}, {1, -2}, {0, -2},
       {-1, -2}},
      {{-1, 0}, {-2, 0}, {-3, 0}, {-4, 0}, {A, 0}, {1, -1}, {0, -1}, {-1, -1}, {-2, -1},
       {-3, -1}}};
  static const unsigned typical[4] = {0x9B25, 0x0795, 0x00E5, 0x0195};
  std::vector<int> at = coding.At;
  if (at.empty())
    at = coding.Template == 0 ? std::vector<int>{3, -1, -3, -1, 2, -2, -2, -2}
         : coding.Template == 1 ? std::vector<int>{3, -1} : std::vector<int>{2, -1};
  TMqEncoder mq;
  int ltp = 0;
  for (int y = 0; y < p.Height; ++y) {
    if (coding.Tpgdon) {
      bool same = true;
      for (int x = 0; x < p.Width && same; ++x) same = p.At(x, y) == p.At(x, y - 1);
      mq.Encode(same != bool(ltp), typical[coding.Template]);
      ltp = same;
      if (same) continue;
    }
    for (int x = 0; x < p.Width; ++x) {
      unsigned cx = 0, bit = 0;
      for (const TOffset& o : templates[coding.Template]) {
        const int v = o.Dx == A ? p.At(x + at[std::size_t(2 * o.Dy)], y + at[std::size_t(2 * o.Dy + 1)])
                                : p.At(x + o.Dx, y + o.Dy);
        cx |= unsigned(v) << bit++;
      }
      mq.Encode(p.At(x, y), cx);
    }
  }
  return mq.Finish();
}

std::string Be32(std::uint32_t v) {
  return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

std::string Segment(std::uint32_t number, int type, std::uint32_t page, const std::string& data,
                    const std::vector<int>& referredTo, long long length) {
  std::string s = Be32(number);
  s += char(type);
  s += char(referredTo.size() << 5);
  for (int r : referredTo) s += char(r);
  s += char(page);
  s += Be32(length == -1 ? 0xFFFFFFFFu : std::uint32_t(data.size()));
  return s + data;
}

std::string PageInformation(std::uint32_t width, std::uint32_t height, int flags, int striping) {
  return Be32(width) + Be32(height) + Be32(0) + Be32(0) + char(flags) + char(striping >> 8) +
         char(striping);
}

std::string RegionInfo(std::uint32_t width, std::uint32_t height, std::int32_t x, std::int32_t y,
                       int op) {
  return Be32(width) + Be32(height) + Be32(std::uint32_t(x)) + Be32(std::uint32_t(y)) + char(op);
}

TBitWriter& TBitWriter::Put(std::uint32_t value, int bits) {
  for (int i = bits - 1; i >= 0; --i) {
    if (used_ == 8) {
      data_ += '\0';
      used_ = 0;
    }
    if ((value >> i) & 1) data_.back() = char(data_.back() | (0x80 >> used_));
    ++used_;
  }
  return *this;
}

TBitWriter& TBitWriter::Put(const char* bits) {
  for (; *bits; ++bits) Put(*bits == '1', 1);
  return *this;
}

void TBitWriter::Align() { used_ = 8; }

std::string TBitWriter::Bytes() const { return data_; }

}  // namespace kestrel::oracle
