#pragma once
// Renders a PDF page with Kestrel and with poppler's pdftoppm and compares the pixels.
//
// Tolerance. Two anti-aliasing rasterisers never agree exactly at the edges of shapes: the
// coverage of a pixel that an edge crosses is estimated differently (Cairo computes exact
// area coverage, poppler's Splash samples a 4x4 grid), so an edge pixel can differ by a few
// levels, and a half-covered pixel of a hairline by up to about half the contrast. What must
// agree is everything else: the colour of every area, where the shapes are, and which pixels
// they cover. Hence:
//   - a pixel is an edge pixel when, in either picture, its 5x5 neighbourhood spans more than
//     `EdgeContrast` levels in some channel (coverage differences reach a pixel beyond the
//     edge, and anti-aliasing of a faint sliver is a few levels); everywhere else (flat areas) no channel may differ
//     by more than `FlatMax` levels (colour conversions round differently by a level or two);
//   - over the whole page the mean absolute difference per channel stays below `MaxMean`
//     levels (anti-aliasing noise spread over the page is far below that, a misplaced or
//     miscoloured shape is not);
//   - fewer than `MaxFarOffFraction` of the pixels differ by more than `FarOff` levels (edge
//     pixels that one side counts in and the other out; a shifted shape makes many more).
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kestrel::testing {

struct TRgbImage {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint8_t> Rgb;  // rows top-down, 3 bytes a pixel

  const std::uint8_t* At(int x, int y) const {
    return Rgb.data() + (static_cast<std::size_t>(y) * Width + x) * 3;
  }
};

struct TPixelTolerance {
  int EdgeContrast = 16;
  int FlatMax = 12;
  double MaxMean = 2.0;
  int FarOff = 64;
  double MaxFarOffFraction = 0.01;
};

struct TPixelComparison {
  bool SizesMatch = false;
  double MeanDiff = 0;
  double FarOffFraction = 0;
  long FlatFailures = 0;  // flat pixels beyond FlatMax
  int WorstFlat = 0;      // largest channel difference at a flat pixel
  int WorstFlatX = -1, WorstFlatY = -1;
  TRgbImage Diff;  // white where equal, darker with the difference, red at failing pixels
  bool Passed = false;
  std::string Summary() const;
};

bool PdftoppmAvailable();

// A one-page document: `content` on a page with `pageEntries` (MediaBox and more), `resources`
// and further objects and streams (dictionary entries, data) numbered from 10.
std::string Page(const std::string& content,
                 const std::string& pageEntries = "/MediaBox [0 0 200 200]",
                 const std::string& resources = "<< >>",
                 const std::map<int, std::string>& objects = {},
                 const std::map<int, std::pair<std::string, std::string>>& streams = {});

// The first page at `dpi` through pdftoppm (anti-aliased, as it renders by default).
std::optional<TRgbImage> RenderWithPdftoppm(const std::string& pdf, double dpi);
// The first page at `dpi` through the Kestrel renderer's page bitmap. `problem` receives the
// renderer's error text.
std::optional<TRgbImage> RenderWithKestrel(const std::string& pdf, double dpi,
                                           std::string* problem = nullptr);

TPixelComparison ComparePixels(const TRgbImage& ours, const TRgbImage& reference,
                               const TPixelTolerance& tolerance);

// The corpus fidelity scores of `ours` against `reference`, counted where the ink is (a pixel
// any channel of which is below 240): shape is the smaller of ink recall and precision within
// one pixel; colour the share of ink pixels away from anti-aliased edges whose colour is within
// 48 levels of the reference at the same place or one pixel away.
struct TInkScores {
  double Colour = 0;
  double Shape = 0;
};
TInkScores InkScores(const TRgbImage& ours, const TRgbImage& reference);

// Renders with both and asserts both ink scores reach `minimum` (pictures written on failure).
::testing::AssertionResult ScoresLikePdftoppm(const std::string& pdf, double dpi, const std::string& name,
                                              double minimum);

// Writes an image as PNG; returns the path.
std::string WritePng(const TRgbImage& image, const std::string& path);

// Renders with both and compares. On failure our picture, the reference and the diff image are
// written to the test temporary folder and named in the message.
::testing::AssertionResult MatchesPdftoppm(const std::string& pdf, double dpi,
                                           const std::string& name,
                                           const TPixelTolerance& tolerance = {});

}  // namespace kestrel::testing
