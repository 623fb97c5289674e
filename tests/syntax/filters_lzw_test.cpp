// LZW decoding against a small reference encoder, a published vector and libtiff.
#include <gtest/gtest.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "engine/syntax/filters.h"
#include "engine/syntax/filters_internal.h"

namespace kestrel {
namespace {

using namespace std::string_literals;

class TBitWriter {
 public:
  void Put(unsigned code, unsigned width) {
    buffer_ = (buffer_ << width) | code;
    count_ += width;
    while (count_ >= 8) {
      count_ -= 8;
      out_.push_back(static_cast<char>(buffer_ >> count_));
    }
  }
  TBytes Finish() {
    if (count_ > 0) out_.push_back(static_cast<char>(buffer_ << (8 - count_)));
    count_ = 0;
    return out_;
  }

 private:
  std::uint64_t buffer_ = 0;
  unsigned count_ = 0;
  TBytes out_;
};

// A plain LZW encoder. The code width follows the decoder's table, which lags the encoder's
// by one entry. A full table either triggers a clear code or stays frozen.
struct TLZWTestEncoder {
  bool EarlyChange = true;
  bool ClearWhenFull = true;
  bool WriteEndCode = true;
  std::size_t CodesWritten = 0;
  std::size_t EntriesMade = 0;

  TBytes Encode(const TBytes& data) {
    TBitWriter writer;
    std::map<std::pair<unsigned, unsigned char>, unsigned> table;
    unsigned width = 9;
    unsigned next = 258;         // encoder's next entry
    unsigned decoderNext = 258;  // the decoder's, one entry behind
    bool firstAfterClear = true;
    const unsigned early = EarlyChange ? 1 : 0;
    auto clear = [&] {
      writer.Put(256, width);
      table.clear();
      width = 9;
      next = decoderNext = 258;
      firstAfterClear = true;
    };
    auto emit = [&](unsigned code) {
      writer.Put(code, width);
      ++CodesWritten;
      if (!firstAfterClear && decoderNext < 4096) {
        ++decoderNext;
        if (decoderNext + early >= (1u << width) && width < 12) ++width;
      }
      firstAfterClear = false;
    };
    clear();
    if (!data.empty()) {
      unsigned current = static_cast<unsigned char>(data[0]);
      for (std::size_t i = 1; i < data.size(); ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        auto found = table.find({current, c});
        if (found != table.end()) {
          current = found->second;
          continue;
        }
        emit(current);
        if (next < 4096) {
          table[{current, c}] = next++;
          ++EntriesMade;
        }
        current = c;
        if (ClearWhenFull && next == 4096) clear();
      }
      emit(current);
    }
    if (WriteEndCode) writer.Put(257, width);
    return writer.Finish();
  }
};

TBytes SmallAlphabetBytes(std::size_t n, unsigned seed, unsigned alphabet) {
  std::mt19937 rng(seed);
  TBytes out(n, '\0');
  for (auto& c : out) c = static_cast<char>('a' + rng() % alphabet);
  return out;
}

TPDFLZWParms NoPredictor() { return TPDFLZWParms{}; }

TEST(FiltersLZW, DecodesPublishedExample) {
  // Codes 256 45 258 258 65 259 66 257 at 9 bits.
  const TBytes encoded = "\x80\x0b\x60\x50\x22\x0c\x0c\x85\x01"s;
  EXPECT_EQ(DecodeLZW(encoded, NoPredictor(), true), "-----A---B");
  EXPECT_EQ(DecodeLZW(encoded, NoPredictor(), false), "-----A---B");
}

TEST(FiltersLZW, RoundTripsWithAndWithoutEarlyChange) {
  for (bool early : {true, false}) {
    for (std::size_t n : {0u, 1u, 2u, 3u, 300u, 5000u, 70000u}) {
      const TBytes data = SmallAlphabetBytes(n, static_cast<unsigned>(n), 6);
      TLZWTestEncoder encoder;
      encoder.EarlyChange = early;
      EXPECT_EQ(DecodeLZW(encoder.Encode(data), NoPredictor(), early), data)
          << "early " << early << " n " << n;
    }
  }
}

TEST(FiltersLZW, WrongEarlyChangeSettingDiffers) {
  // Past the first width change the two settings read different codes.
  const TBytes data = SmallAlphabetBytes(5000, 11, 8);
  TLZWTestEncoder encoder;
  const TBytes encoded = encoder.Encode(data);
  EXPECT_NE(DecodeLZW(encoded, NoPredictor(), false), data);
}

TEST(FiltersLZW, ClearCodesRestartTheTable) {
  const TBytes data = SmallAlphabetBytes(400000, 5, 200);  // fills the table many times
  for (bool early : {true, false}) {
    TLZWTestEncoder encoder;
    encoder.EarlyChange = early;
    const TBytes encoded = encoder.Encode(data);
    EXPECT_GT(encoder.EntriesMade, 3u * (4096 - 258));
    EXPECT_EQ(DecodeLZW(encoded, NoPredictor(), early), data);
  }
}

TEST(FiltersLZW, FullTableWithoutClearKeepsDecodingAtTwelveBits) {
  for (bool early : {true, false}) {
    const TBytes data = SmallAlphabetBytes(200000, 9, 16);
    TLZWTestEncoder encoder;
    encoder.EarlyChange = early;
    encoder.ClearWhenFull = false;
    const TBytes encoded = encoder.Encode(data);
    EXPECT_EQ(encoder.EntriesMade, 4096u - 258u);
    EXPECT_GT(encoder.CodesWritten, 3u * 4096u) << "many codes after the table filled";
    EXPECT_EQ(DecodeLZW(encoded, NoPredictor(), early), data);
  }
}

TEST(FiltersLZW, MissingEndCodeAddsNoTrailingBytes) {
  for (std::size_t n : {1u, 7u, 100u, 1001u, 30000u}) {
    const TBytes data = SmallAlphabetBytes(n, static_cast<unsigned>(n) + 3, 4);
    TLZWTestEncoder encoder;
    encoder.WriteEndCode = false;
    EXPECT_EQ(DecodeLZW(encoder.Encode(data), NoPredictor(), true), data) << "n " << n;
  }
}

TEST(FiltersLZW, TruncatedInputGivesPrefix) {
  const TBytes data = SmallAlphabetBytes(20000, 21, 5);
  TLZWTestEncoder encoder;
  const TBytes encoded = encoder.Encode(data);
  for (std::size_t cut : {1u, 2u, 3u, 17u, 1000u}) {
    const TBytes out = DecodeLZW(TByteView(encoded).substr(0, encoded.size() - cut), NoPredictor(),
                                 true);
    // Cutting one or two bytes only loses the end code.
    if (cut >= 3) {
      EXPECT_LT(out.size(), data.size());
    }
    EXPECT_GT(out.size(), data.size() / 2);
    EXPECT_EQ(out, data.substr(0, out.size())) << "cut " << cut;
  }
}

TEST(FiltersLZW, InvalidCodesDoNotStopDecoding) {
  TBitWriter w;
  w.Put(256, 9);
  w.Put(300, 9);  // no predecessor: skipped
  w.Put(65, 9);
  w.Put(66, 9);
  w.Put(400, 9);  // beyond the table: read as previous + its first byte
  w.Put(257, 9);
  EXPECT_EQ(DecodeLZW(w.Finish(), NoPredictor(), true), "ABBB");
  EXPECT_EQ(DecodeLZW("", NoPredictor(), true), "");
  EXPECT_EQ(DecodeLZW("\x80"s, NoPredictor(), true), "");
}

TEST(FiltersLZW, OutputIsCapped) {
  const TBytes zeros(1u << 20, '\0');
  TLZWTestEncoder encoder;
  encoder.ClearWhenFull = false;
  const TBytes encoded = encoder.Encode(zeros);
  EXPECT_EQ(filters_detail::DecodeLZW(encoded, true, 1000), TBytes(1000, '\0'));
  EXPECT_EQ(filters_detail::DecodeLZW(encoded, true, 1), TBytes(1, '\0'));
  EXPECT_EQ(filters_detail::DecodeLZW(encoded, true, 0), "");
  const TBytes text = SmallAlphabetBytes(50000, 4, 3);
  EXPECT_EQ(filters_detail::DecodeLZW(encoder.Encode(text), true, 12345), text.substr(0, 12345));
}

TEST(FiltersLZW, PngPredictorIsApplied) {
  TPDFLZWParms parms;
  parms.Predictor = 12;
  parms.Columns = 3;
  TLZWTestEncoder encoder;
  const TBytes rows = "\x01\x01\x01\x01\x02\x01\x01\x01"s;  // Sub, then Up
  EXPECT_EQ(DecodeLZW(encoder.Encode(rows), parms, true), "\x01\x02\x03\x02\x03\x04"s);
}

// libtiff writes TIFF LZW, which is PDF LZW with early change; it also does the horizontal
// predictor, so it is an independent check of both.
class TTempFile {
 public:
  TTempFile() {
    char name[] = "/tmp/kestrel_lzw_XXXXXX";
    const int fd = mkstemp(name);
    if (fd >= 0) close(fd);
    path_ = name;
  }
  ~TTempFile() { std::remove(path_.c_str()); }
  const char* Path() const { return path_.c_str(); }

 private:
  std::string path_;
};

// Writes one strip with libtiff and returns its compressed bytes.
TBytes TiffLZWStrip(const TBytes& pixels, int width, int height, int samples, int bits,
                    bool horizontalPredictor) {
  TTempFile file;
  TIFF* out = TIFFOpen(file.Path(), "wb");  // big-endian, as PDF stores 16-bit samples
  if (out == nullptr) return {};
  TIFFSetField(out, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(out, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, samples);
  TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, bits);
  TIFFSetField(out, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(out, TIFFTAG_PHOTOMETRIC, samples == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
  TIFFSetField(out, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
  TIFFSetField(out, TIFFTAG_PREDICTOR, horizontalPredictor ? PREDICTOR_HORIZONTAL : PREDICTOR_NONE);
  TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, height);
  TBytes data = pixels;
  if (bits == 16) {
    // libtiff takes native 16-bit samples; ours are big-endian bytes.
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
      const std::uint16_t v = static_cast<std::uint16_t>(
          (static_cast<unsigned char>(data[i]) << 8) | static_cast<unsigned char>(data[i + 1]));
      std::memcpy(&data[i], &v, 2);
    }
  }
  const bool written = TIFFWriteEncodedStrip(out, 0, data.data(), static_cast<tmsize_t>(data.size())) >= 0;
  TIFFClose(out);
  if (!written) return {};
  TIFF* in = TIFFOpen(file.Path(), "r");
  if (in == nullptr) return {};
  TBytes raw(static_cast<std::size_t>(TIFFRawStripSize(in, 0)), '\0');
  const tmsize_t got = TIFFReadRawStrip(in, 0, raw.data(), static_cast<tmsize_t>(raw.size()));
  TIFFClose(in);
  raw.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return raw;
}

TEST(FiltersLZW, DecodesLibtiffOutput) {
  TIFFSetWarningHandler(nullptr);
  const TBytes pixels = SmallAlphabetBytes(300000, 17, 40);  // forces clear codes
  const TBytes strip = TiffLZWStrip(pixels, 1000, 300, 1, 8, false);
  ASSERT_FALSE(strip.empty());
  EXPECT_EQ(DecodeLZW(strip, NoPredictor(), true), pixels);
}

TEST(FiltersLZW, LibtiffHorizontalPredictorMatches) {
  std::mt19937 rng(2);
  // 8-bit RGB: each component adds the same component of the previous pixel.
  TBytes rgb(3 * 57 * 20, '\0');
  for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<char>(i * 7 + rng() % 5);
  TPDFLZWParms parms;
  parms.Predictor = 2;
  parms.Colors = 3;
  parms.Columns = 57;
  const TBytes rgbStrip = TiffLZWStrip(rgb, 57, 20, 3, 8, true);
  ASSERT_FALSE(rgbStrip.empty());
  EXPECT_EQ(DecodeLZW(rgbStrip, parms, true), rgb);

  // 16-bit gray: differences carry across the two bytes of a sample.
  TBytes gray16(2 * 31 * 9, '\0');
  for (std::size_t i = 0; i < gray16.size(); ++i) gray16[i] = static_cast<char>(rng());
  parms.Colors = 1;
  parms.BitsPerComponent = 16;
  parms.Columns = 31;
  const TBytes grayStrip = TiffLZWStrip(gray16, 31, 9, 1, 16, true);
  ASSERT_FALSE(grayStrip.empty());
  EXPECT_EQ(DecodeLZW(grayStrip, parms, true), gray16);
}

}  // namespace
}  // namespace kestrel
