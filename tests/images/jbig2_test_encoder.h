#pragma once
// A small JBIG2 writer for the decoder tests: MQ-coded generic regions (every template, moved
// adaptive pixels, typical prediction) and bit-packed segments for Huffman-coded symbol
// dictionaries, text regions and table segments, which the tests spell out bit by bit.
#include <cstdint>
#include <string>
#include <vector>

namespace kestrel::oracle {

// A 1-bit picture, 1 = black, one byte per pixel.
struct TBilevel {
  int Width = 0, Height = 0;
  std::vector<std::uint8_t> Pixels;
  int At(int x, int y) const {
    return x >= 0 && y >= 0 && x < Width && y < Height ? Pixels[std::size_t(y * Width + x)] : 0;
  }
};

// Shapes, noise and repeated rows (so that typical prediction has rows to skip).
TBilevel TestPicture(int width, int height);

struct TGenericCoding {
  int Template = 0;
  bool Tpgdon = false;
  std::vector<int> At;  // adaptive pixels (x, y); empty: the usual places
};

// The generic region's arithmetic data, ended with FF AC.
std::string EncodeGeneric(const TBilevel& picture, const TGenericCoding& coding);

// Segment bytes: header (short page association, referred-to numbers of one byte) and data;
// `length` -1 writes the unknown data length.
std::string Segment(std::uint32_t number, int type, std::uint32_t page, const std::string& data,
                    const std::vector<int>& referredTo = {}, long long length = -2);
std::string PageInformation(std::uint32_t width, std::uint32_t height, int flags = 0,
                            int striping = 0);
std::string RegionInfo(std::uint32_t width, std::uint32_t height, std::int32_t x, std::int32_t y,
                       int op = 0);
std::string Be32(std::uint32_t v);

// Bits, most significant first, padded with 0 to a whole byte by Bytes().
class TBitWriter {
 public:
  TBitWriter& Put(std::uint32_t value, int bits);
  // A string of '0' and '1' characters.
  TBitWriter& Put(const char* bits);
  std::string Bytes() const;
  void Align();
  std::string& Data() { return data_; }

 private:
  std::string data_;
  int used_ = 8;
};

}  // namespace kestrel::oracle
