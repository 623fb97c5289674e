#include "engine/output/page_bands.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "engine/graphics/graphics_limits.h"
#include "engine/graphics/raster_image.h"
#include "engine/output/page_targets.h"
#include "engine/output/raster/page_picture.h"
#include "engine/output/raster/raster_encoder.h"
#include "engine/render/renderer.h"

namespace kestrel {

namespace {

// The page's rows, drawn a band at a time when the encoder asks for a row outside the band
// held, and made into the picture's colour, gray or mono samples and opacities there. Encoders
// read rows in order (BMP from the bottom up), so each band is drawn once; mono pages are
// diffused from the top down and are therefore only read so.
class TBandedPicture {
 public:
  TBandedPicture(const std::function<bool(TPDFRenderer&)>& prepare, TRasterImage onWhite,
                 std::optional<TRasterImage> onBlack, int height, TColourMode colour, std::string& notes)
      : prepare_(prepare),
        onWhite_(std::move(onWhite)),
        onBlack_(std::move(onBlack)),
        height_(height),
        colour_(colour),
        notes_(notes),
        mono_(onWhite_.Width()),
        rows_(*this, false),
        alpha_(*this, true) {
    const std::size_t bandBytes = std::size_t(onWhite_.Width()) * std::size_t(onWhite_.Height());
    if (colour_ != TColourMode::kRGB) gray_.resize(bandBytes);
    if (onBlack_) opacity_.resize(bandBytes);
  }

  // The picture the encoders read.
  TPagePicture Picture() {
    const int width = onWhite_.Width();
    TPixelView rows = onWhite_.View();
    if (colour_ != TColourMode::kRGB) rows = {gray_.data(), width, height_, width, TPixelLayout::kGray8};
    rows.Height = height_;
    rows.Rows = &rows_;
    TPixelView alpha{opacity_.empty() ? nullptr : opacity_.data(), width, height_, width, TPixelLayout::kGray8};
    if (alpha.Data) alpha.Rows = &alpha_;
    return TPagePicture(rows, alpha, onWhite_.Dpi(), colour_);
  }

 private:
  class TRows final : public TRowSource {
   public:
    TRows(TBandedPicture& page, bool alpha) : page_(page), alpha_(alpha) {}
    const std::uint8_t* Row(int y) override { return page_.Row(y, alpha_); }

   private:
    TBandedPicture& page_;
    bool alpha_;
  };

  const std::uint8_t* Row(int y, bool alpha) {
    const int bandHeight = onWhite_.Height();
    const int top = y / bandHeight * bandHeight;
    if (top != top_) Make(top);
    const std::size_t at = std::size_t(y - top) * std::size_t(onWhite_.Width());
    if (alpha) return opacity_.data() + at;
    return colour_ == TColourMode::kRGB ? onWhite_.Row(y - top) : gray_.data() + at;
  }

  void Make(int top) {
    top_ = top;
    Draw(onWhite_, 0xFFFFFF, true);
    // The page drawn on black meets the same problems as on white: they are said once.
    if (onBlack_) Draw(*onBlack_, 0x000000, false);
    const int width = onWhite_.Width();
    const int rows = std::min(onWhite_.Height(), height_ - top);
    for (int y = 0; y < rows; ++y) {
      const std::size_t at = std::size_t(y) * std::size_t(width);
      if (onBlack_) UnblendRow(onWhite_, *onBlack_, y, opacity_.data() + at);
      if (colour_ == TColourMode::kRGB) continue;
      GrayRow(onWhite_.View(), y, gray_.data() + at);
      if (colour_ == TColourMode::kMono) mono_.Diffuse(gray_.data() + at);
    }
  }

  void Draw(TRasterImage& band, TRgbPixel background, bool noted) {
    band.Fill(background);
    TPDFRenderer renderer;
    if (!prepare_(renderer)) return Note("the page object could not be read", noted);
    renderer.BandTop = top_;
    renderer.BandHeight = band.Height();
    if (!DrawPageOnBitmap(renderer, band)) return Note("Page not rendered: the canvas could not be attached", noted);
    const std::string text = renderer.ErrorText();
    for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
      // A "\r\n" stays within a line: it separates an error from its position.
      end = start;
      while (end < text.size() && (text[end] != '\n' || (end > 0 && text[end - 1] == '\r'))) ++end;
      Note(text.substr(start, end - start), noted);
    }
  }

  void Note(const std::string& line, bool noted) {
    if (line.empty() || !noted) return;
    for (std::size_t at = 0; (at = notes_.find(line, at)) != std::string::npos; at += line.size()) {
      const bool whole = (at == 0 || notes_[at - 1] == '\n') &&
                         (at + line.size() == notes_.size() || notes_[at + line.size()] == '\n');
      if (whole) return;
    }
    if (!notes_.empty()) notes_ += '\n';
    notes_ += line;
  }

  const std::function<bool(TPDFRenderer&)>& prepare_;
  TRasterImage onWhite_;
  std::optional<TRasterImage> onBlack_;
  int height_;
  TColourMode colour_;
  std::string& notes_;
  std::vector<std::uint8_t> gray_;     // the band's gray or mono samples
  std::vector<std::uint8_t> opacity_;  // the band's opacities
  TMonoDiffuser mono_;
  TRows rows_;
  TRows alpha_;
  int top_ = -1;
};

}  // namespace

bool DrawsInBands(std::int64_t width, std::int64_t height, TOutputFormat format, const TOutputOptions& options) {
  // GIF chooses its colours from the whole page and WebP encodes the whole page at once; BMP
  // keeps its rows bottom up while a mono page is diffused from the top down.
  const bool streams = format == kFormatBMP || format == kFormatJPEG || format == kFormatPNG || format == kFormatTIFF ||
                       format == kFormatPPM || format == kFormatPGM || format == kFormatPBM || format == kFormatPAM;
  const bool rowsInOrder = !(format == kFormatBMP && PictureColour(format, options) == TColourMode::kMono);
  return streams && rowsInOrder && width > 0 && height > 0 && width <= limits::kMaxPageSide &&
         height <= limits::kMaxPageSide && width * height > limits::kMaxPagePixels;
}

std::string WhyNotInBands(std::int64_t width, std::int64_t height, TOutputFormat format,
                          const TOutputOptions& options) {
  if (DrawsInBands(width, height, format, options) || width <= 0 || height <= 0 ||
      width > limits::kMaxPageSide || height > limits::kMaxPageSide || width * height <= limits::kMaxPagePixels)
    return {};
  if (format == kFormatBMP)
    return " (BMP keeps its rows bottom up while mono pages are dithered from the top: PNG, TIFF and PBM mono pages this "
           "large are drawn in bands)";
  if (format != kFormatGIF && format != kFormatWebP) return {};
  return std::string(" (") + (format == kFormatGIF ? "GIF" : "WebP") +
         " pages are made from the whole page at once: PNG, TIFF, JPEG, BMP and PNM pages this large are drawn in "
         "bands)";
}

void EncodePageInBands(const std::function<bool(TPDFRenderer&)>& prepare, std::int64_t width, std::int64_t height,
                       int bandRows, double dpi, TOutputFormat format, int jpegQuality,
                       const TOutputOptions& options, TByteSink& out, std::string& problem) {
  const std::int64_t bandHeight = std::clamp<std::int64_t>(bandRows, 1, height);
  std::optional<TRasterImage> band = TRasterImage::Create(width, bandHeight, dpi);
  // A transparent background is found by drawing each band a second time, on black.
  std::optional<TRasterImage> onBlack;
  const bool transparent = options.Transparent && CarriesAlpha(format, options);
  if (transparent) onBlack = TRasterImage::Create(width, bandHeight, dpi, 0x000000);
  if (!band || (transparent && !onBlack)) {
    problem = "Page not rendered: the page bitmap could not be created";
    return;
  }
  TBandedPicture page(prepare, std::move(*band), std::move(onBlack), static_cast<int>(height),
                      PictureColour(format, options), problem);
  if (!EncodeRaster(page.Picture(), format, jpegQuality, options, out)) {
    out.Discard();
    if (!problem.empty()) problem += "\r\n";
    problem += "the page bitmap could not be encoded";
  }
}

}  // namespace kestrel
