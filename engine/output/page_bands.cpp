#include "engine/output/page_bands.h"

#include <algorithm>
#include <optional>

#include "engine/graphics/graphics_limits.h"
#include "engine/graphics/raster_image.h"
#include "engine/output/page_targets.h"
#include "engine/output/raster/raster_encoder.h"
#include "engine/render/renderer.h"

namespace kestrel {

namespace {

// The page's rows, drawn a band at a time when the encoder asks for a row outside the band
// held. Encoders read rows in order (BMP from the bottom up), so each band is drawn once.
class TBandedPage final : public TRowSource {
 public:
  TBandedPage(const std::function<bool(TPDFRenderer&)>& prepare, TRasterImage band, std::string& notes)
      : prepare_(prepare), band_(std::move(band)), notes_(notes) {}

  const std::uint8_t* Row(int y) override {
    const int top = y / band_.Height() * band_.Height();
    if (top != top_) Draw(top);
    return band_.Row(y - top);
  }

  TPixelView View(int height) {
    TPixelView view = band_.View();
    view.Height = height;
    view.Rows = this;
    return view;
  }

 private:
  void Draw(int top) {
    top_ = top;
    band_.Fill(0xFFFFFF);
    TPDFRenderer renderer;
    if (!prepare_(renderer)) return Note("the page object could not be read");
    renderer.BandTop = top;
    renderer.BandHeight = band_.Height();
    if (!DrawPageOnBitmap(renderer, band_)) return Note("Page not rendered: the canvas could not be attached");
    const std::string text = renderer.ErrorText();
    for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
      // A "\r\n" stays within a line: it separates an error from its position.
      end = start;
      while (end < text.size() && (text[end] != '\n' || (end > 0 && text[end - 1] == '\r'))) ++end;
      Note(text.substr(start, end - start));
    }
  }

  void Note(const std::string& line) {
    if (line.empty()) return;
    for (std::size_t at = 0; (at = notes_.find(line, at)) != std::string::npos; at += line.size()) {
      const bool whole = (at == 0 || notes_[at - 1] == '\n') &&
                         (at + line.size() == notes_.size() || notes_[at + line.size()] == '\n');
      if (whole) return;
    }
    if (!notes_.empty()) notes_ += '\n';
    notes_ += line;
  }

  const std::function<bool(TPDFRenderer&)>& prepare_;
  TRasterImage band_;
  std::string& notes_;
  int top_ = -1;
};

}  // namespace

bool DrawsInBands(std::int64_t width, std::int64_t height, TOutputFormat format, const TOutputOptions& options) {
  const bool streams = (format == kFormatBMP || format == kFormatJPEG || format == kFormatPNG || format == kFormatTIFF) &&
                       PictureColour(format, options) == TColourMode::kRGB &&
                       !(options.Transparent && CarriesAlpha(format, options));
  return streams && width > 0 && height > 0 && width <= limits::kMaxPageSide && height <= limits::kMaxPageSide &&
         width * height > limits::kMaxPagePixels;
}

void EncodePageInBands(const std::function<bool(TPDFRenderer&)>& prepare, std::int64_t width, std::int64_t height,
                       int bandRows, double dpi, TOutputFormat format, int jpegQuality,
                       const TOutputOptions& options, TByteSink& out, std::string& problem) {
  const std::int64_t bandHeight = std::clamp<std::int64_t>(bandRows, 1, height);
  std::optional<TRasterImage> band = TRasterImage::Create(width, bandHeight, dpi);
  if (!band) {
    problem = "Page not rendered: the page bitmap could not be created";
    return;
  }
  TBandedPage page(prepare, std::move(*band), problem);
  if (!EncodeRaster(page.View(static_cast<int>(height)), dpi, format, jpegQuality, options, out)) {
    out.Discard();
    if (!problem.empty()) problem += "\r\n";
    problem += "the page bitmap could not be encoded";
  }
}

}  // namespace kestrel
