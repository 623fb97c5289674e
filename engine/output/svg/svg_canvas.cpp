#include "engine/output/svg/svg_canvas.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <string_view>
#include <unordered_set>

#include "engine/images/dct_encoder.h"
#include "engine/output/raster/png_writer.h"

namespace kestrel {

namespace {

// Device coordinates are written with two decimals: a hundredth of a pixel. Values beyond
// ten million pixels are held there, so that no renderer meets numbers it cannot take.
constexpr double kMaxCoord = 1e7;

void AppendNumber(std::string& out, double v) {
  if (!std::isfinite(v)) v = 0;
  v = std::clamp(v, -kMaxCoord, kMaxCoord);
  char buf[32];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 2);
  if (ec != std::errc()) return;
  std::string_view s(buf, static_cast<std::size_t>(end - buf));
  while (s.back() == '0') s.remove_suffix(1);
  if (s.back() == '.') s.remove_suffix(1);
  if (s == "-0") s = "0";
  out += s;
}

// A matrix coefficient: nine significant digits, so that a picture of many pixels drawn into a
// small place keeps its (small) scale.
void AppendCoefficient(std::string& out, double v) {
  char buf[32];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, std::isfinite(v) ? v : 0.0,
                                 std::chars_format::general, 9);
  if (ec == std::errc()) out.append(buf, end);
}

std::string Number(double v) {
  std::string s;
  AppendNumber(s, v);
  return s;
}

std::string ColourText(TPackedColor c) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string s = "#";
  for (std::uint8_t v : {PackedRed(c), PackedGreen(c), PackedBlue(c)}) {
    s += kHex[v >> 4];
    s += kHex[v & 15];
  }
  return s;
}

std::string Opacity(const char* name, double alpha) {
  if (!(alpha < 1)) return "";
  return std::string(" ") + name + "=\"" + Number(std::clamp(alpha, 0.0, 1.0)) + "\"";
}

std::string Base64(std::string_view data) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((data.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 2 < data.size(); i += 3) {
    const std::uint32_t v = std::uint32_t(std::uint8_t(data[i])) << 16 |
                            std::uint32_t(std::uint8_t(data[i + 1])) << 8 | std::uint8_t(data[i + 2]);
    for (int shift = 18; shift >= 0; shift -= 6) out += kDigits[(v >> shift) & 63];
  }
  if (i < data.size()) {
    std::uint32_t v = std::uint32_t(std::uint8_t(data[i])) << 16;
    if (i + 1 < data.size()) v |= std::uint32_t(std::uint8_t(data[i + 1])) << 8;
    out += kDigits[(v >> 18) & 63];
    out += kDigits[(v >> 12) & 63];
    out += i + 1 < data.size() ? kDigits[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

}  // namespace

TSVGCanvas::TSVGCanvas(double width, double height, double widthPt, double heightPt,
                       bool transparent)
    : width_(width), height_(height) {
  bodies_.emplace_back();
  std::string& head = Body().Text;
  head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
         "version=\"1.1\" width=\"" + Number(widthPt) + "pt\" height=\"" + Number(heightPt) +
         "pt\" viewBox=\"0 0 " + Number(width) + " " + Number(height) + "\">\n";
  // The head is moved in front of the definitions by Finish.
  if (!transparent)
    head += "<rect width=\"" + Number(width) + "\" height=\"" + Number(height) +
            "\" fill=\"#ffffff\"/>\n";
}

bool TSVGCanvas::Room() const {
  std::size_t bytes = defs_.size();
  for (const TBody& b : bodies_) bytes += b.Text.size();
  return bytes <= MaxBytes;
}

// Paths ---------------------------------------------------------------------------------------

void TSVGCanvas::BeginPath() {
  path_.clear();
  hasPoint_ = false;
}

void TSVGCanvas::MoveTo(double x, double y) {
  path_ += 'M';
  AppendNumber(path_, x);
  path_ += ' ';
  AppendNumber(path_, y);
  startX_ = lastX_ = x;
  startY_ = lastY_ = y;
  hasPoint_ = true;
}

void TSVGCanvas::LineTo(double x, double y) {
  if (!hasPoint_) return MoveTo(x, y);
  path_ += 'L';
  AppendNumber(path_, x);
  path_ += ' ';
  AppendNumber(path_, y);
  lastX_ = x;
  lastY_ = y;
}

void TSVGCanvas::CurveTo(double x1, double y1, double x2, double y2, double x3, double y3) {
  if (!hasPoint_) MoveTo(x1, y1);
  path_ += 'C';
  for (double v : {x1, y1, x2, y2, x3}) {
    AppendNumber(path_, v);
    path_ += ' ';
  }
  AppendNumber(path_, y3);
  lastX_ = x3;
  lastY_ = y3;
}

void TSVGCanvas::QuadTo(double x1, double y1, double x2, double y2) {
  const double x0 = hasPoint_ ? lastX_ : x1, y0 = hasPoint_ ? lastY_ : y1;
  CurveTo(x0 + 2.0 / 3.0 * (x1 - x0), y0 + 2.0 / 3.0 * (y1 - y0), x2 + 2.0 / 3.0 * (x1 - x2),
          y2 + 2.0 / 3.0 * (y1 - y2), x2, y2);
}

void TSVGCanvas::ClosePath() {
  if (!hasPoint_) return;
  path_ += 'Z';
  lastX_ = startX_;
  lastY_ = startY_;
}

void TSVGCanvas::SetFillRule(int rule) {
  if (rule == kFillRuleNonZero) evenOdd_ = false;
  if (rule == kFillRuleEvenOdd) evenOdd_ = true;
}

void TSVGCanvas::SetDash(const TGPDashArray& dashes, double phase) {
  dashes_ = dashes;
  dashPhase_ = phase;
}

std::string TSVGCanvas::StrokeAttributes() const {
  // A width of zero is the thinnest line the device shows: one pixel.
  const double width = lineWidth_ > 0 && std::isfinite(lineWidth_) ? lineWidth_ : 1;
  std::string s = " stroke=\"" + ColourText(strokeColor_) + "\" stroke-width=\"" + Number(width) + "\"";
  s += Opacity("stroke-opacity", strokeAlpha_);
  static constexpr const char* kCaps[] = {"butt", "round", "square"};
  static constexpr const char* kJoins[] = {"miter", "round", "bevel"};
  if (cap_ != TLineCap::Butt) s += std::string(" stroke-linecap=\"") + kCaps[int(cap_)] + "\"";
  if (join_ != TLineJoin::Miter) s += std::string(" stroke-linejoin=\"") + kJoins[int(join_)] + "\"";
  // SVG renderers want a miter limit of at least 1.
  if (join_ == TLineJoin::Miter && miterLimit_ != 4)
    s += " stroke-miterlimit=\"" + Number(std::isfinite(miterLimit_) ? std::max(1.0, miterLimit_) : 10) + "\"";
  // Dashes are in line widths; an array of zeros only (or with a negative entry) is solid.
  double total = 0;
  bool valid = true;
  for (float d : dashes_) {
    if (!std::isfinite(d) || d < 0) valid = false;
    else total += d;
  }
  if (!dashes_.empty() && valid && total > 0) {
    s += " stroke-dasharray=\"";
    for (std::size_t i = 0; i < dashes_.size(); ++i) {
      if (i) s += ',';
      AppendNumber(s, dashes_[i] * width);
    }
    s += "\"";
    if (dashPhase_ != 0) s += " stroke-dashoffset=\"" + Number(dashPhase_ * width) + "\"";
  }
  return s;
}

void TSVGCanvas::Paint(bool fill, bool stroke) {
  if (!path_.empty() && Room()) {
    SyncClip();
    std::string& out = Body().Text;
    out += "<path d=\"" + path_ + "\"";
    if (fill) {
      out += " fill=\"" + ColourText(fillColor_) + "\"";
      out += Opacity("fill-opacity", fillAlpha_);
      if (evenOdd_) out += " fill-rule=\"evenodd\"";
    } else {
      out += " fill=\"none\"";
    }
    if (stroke) out += StrokeAttributes();
    out += "/>\n";
  } else if (!path_.empty()) {
    ++dropped_;
  }
  TakeClip();
}

void TSVGCanvas::StrokePath() { Paint(false, true); }
void TSVGCanvas::FillPath() { Paint(true, false); }
void TSVGCanvas::FillStrokePath() { Paint(true, true); }

// Clips ---------------------------------------------------------------------------------------

void TSVGCanvas::TakeClip() {
  if (clipRule_ == 0) return;
  const int rule = clipRule_;
  clipRule_ = 0;
  const int id = ++nextId_;
  // An empty path clips everything away.
  defs_ += "<clipPath id=\"c" + std::to_string(id) + "\"><path d=\"" +
           (path_.empty() ? std::string("M0 0Z") : path_) + "\"" +
           (rule == kFillRuleEvenOdd ? " clip-rule=\"evenodd\"" : "") + "/></clipPath>\n";
  clips_.push_back(id);
}

void TSVGCanvas::EndPath() {
  TakeClip();
  BeginPath();
}

TClipHandle TSVGCanvas::SaveClip() {
  snapshots_.push_back(clips_);
  return static_cast<TClipHandle>(snapshots_.size());
}

void TSVGCanvas::RestoreClip(TClipHandle handle) {
  if (handle == 0 || handle > snapshots_.size()) return;
  clips_ = snapshots_[handle - 1];
}

void TSVGCanvas::CloseClips() {
  for (TBody& body = Body(); !body.OpenClips.empty(); body.OpenClips.pop_back()) body.Text += "</g>\n";
}

void TSVGCanvas::SyncClip() {
  TBody& body = Body();
  std::size_t same = 0;
  while (same < body.OpenClips.size() && same < clips_.size() && body.OpenClips[same] == clips_[same])
    ++same;
  while (body.OpenClips.size() > same) {
    body.Text += "</g>\n";
    body.OpenClips.pop_back();
  }
  for (std::size_t i = same; i < clips_.size(); ++i) {
    body.Text += "<g clip-path=\"url(#c" + std::to_string(clips_[i]) + ")\">\n";
    body.OpenClips.push_back(clips_[i]);
  }
}

// Glyphs --------------------------------------------------------------------------------------

void TSVGCanvas::FillGlyph(const TGlyphKey& key, const TGlyphOutlineSource& outline) {
  if (!Room()) {
    ++dropped_;
    return;
  }
  const TPDFMatrix& m = key.Matrix;
  if (!std::isfinite(m.e) || !std::isfinite(m.f)) return;
  // One definition per glyph and size: the outline mapped by the matrix's linear part, placed
  // at the origin by <use>.
  auto k = std::make_tuple(key.Font, std::string(key.Glyph), m.a, m.b, m.c, m.d);
  auto found = glyphs_.find(k);
  if (found == glyphs_.end()) {
    const std::string saved = std::move(path_);
    const bool savedPoint = hasPoint_;
    BeginPath();
    outline.AddOutline(*this, TPDFMatrix{m.a, m.b, m.c, m.d, 0, 0});
    const int id = ++nextId_;
    defs_ += "<path id=\"g" + std::to_string(id) + "\" d=\"" + path_ + "\"/>\n";
    path_ = saved;
    hasPoint_ = savedPoint;
    found = glyphs_.emplace(std::move(k), id).first;
  }
  SyncClip();
  std::string& out = Body().Text;
  out += "<use xlink:href=\"#g" + std::to_string(found->second) + "\" x=\"";
  AppendNumber(out, m.e);
  out += "\" y=\"";
  AppendNumber(out, m.f);
  out += "\" fill=\"" + ColourText(fillColor_) + "\"" + Opacity("fill-opacity", fillAlpha_) + "/>\n";
}

// Pictures ------------------------------------------------------------------------------------

std::string TSVGCanvas::PictureData(const TCanvasBitmap& bitmap, bool& hasPixels) {
  const std::size_t n = std::size_t(bitmap.Width) * std::size_t(bitmap.Height);
  hasPixels = false;
  std::string rgb(n * 3, '\0'), alpha(n, '\xFF');
  bool opaque = true;
  std::unordered_set<std::uint32_t> colours;
  for (std::size_t i = 0; i < n; ++i) {
    TArgbPixel p = bitmap.Pixels[i];
    if (bitmap.ColorKey && bitmap.ColorKey->Hides(p)) p &= 0x00FFFFFFu;
    rgb[3 * i] = static_cast<char>(p >> 16);
    rgb[3 * i + 1] = static_cast<char>(p >> 8);
    rgb[3 * i + 2] = static_cast<char>(p);
    alpha[i] = static_cast<char>(p >> 24);
    if ((p >> 24) != 0) hasPixels = true;
    if ((p >> 24) != 0xFF) opaque = false;
    if (colours.size() <= 256) colours.insert(p & 0xFFFFFFu);
  }
  const TPixelView view{reinterpret_cast<const std::uint8_t*>(rgb.data()), bitmap.Width,
                        bitmap.Height, std::ptrdiff_t(bitmap.Width) * 3, TPixelLayout::kRGB24};
  // Photographs (opaque, many colours, not tiny) as JPEG at quality 90; the rest as PNG.
  if (opaque && colours.size() > 256 && n >= 4096) {
    const TBytes jpeg = EncodeJPEG(view, 90);
    if (!jpeg.empty()) return "data:image/jpeg;base64," + Base64(jpeg);
  }
  TPNGWriter png(view);
  const TPixelView alphaView{reinterpret_cast<const std::uint8_t*>(alpha.data()), bitmap.Width,
                             bitmap.Height, bitmap.Width, TPixelLayout::kGray8};
  if (!opaque) png.SetAlphaMask(alphaView, false);
  return "data:image/png;base64," + Base64(png.WriteTo());
}

void TSVGCanvas::DrawBitmap(const TCanvasBitmap& bitmap, double x1, double y1, double x2,
                            double y2, double x3, double y3, TImageSampling sampling) {
  if (bitmap.Width <= 0 || bitmap.Height <= 0 ||
      bitmap.Pixels.size() < std::size_t(bitmap.Width) * std::size_t(bitmap.Height))
    return;
  for (double v : {x1, y1, x2, y2, x3, y3})
    if (!std::isfinite(v) || std::fabs(v) > kMaxCoord) return;
  const double w = bitmap.Width, h = bitmap.Height;
  const double a = (x2 - x1) / w, b = (y2 - y1) / w, c = (x3 - x1) / h, d = (y3 - y1) / h;
  // A picture drawn into a line or a point shows nothing, and renderers refuse the matrix.
  if (!(std::fabs(a * d - b * c) > 1e-12)) return;
  if (!Room()) {
    ++dropped_;
    return;
  }
  // The same picture drawn again (a tiled pattern, a logo on every page part) is embedded once.
  std::size_t hash = std::hash<std::string_view>{}(std::string_view(
      reinterpret_cast<const char*>(bitmap.Pixels.data()), bitmap.Pixels.size() * sizeof(TArgbPixel)));
  if (bitmap.ColorKey) {
    for (int c = 0; c < 3; ++c) hash = hash * 31 + bitmap.ColorKey->Low[c] * 257 + bitmap.ColorKey->High[c];
  }
  const auto key = std::make_tuple(std::uint64_t(hash), bitmap.Width, bitmap.Height);
  auto found = pictures_.find(key);
  if (found == pictures_.end()) {
    bool hasPixels = false;
    const std::string data = PictureData(bitmap, hasPixels);
    const int id = hasPixels ? ++nextId_ : 0;
    if (id != 0)
      defs_ += "<image id=\"i" + std::to_string(id) + "\" width=\"" + std::to_string(bitmap.Width) +
               "\" height=\"" + std::to_string(bitmap.Height) +
               "\" preserveAspectRatio=\"none\" xlink:href=\"" + data + "\"/>\n";
    found = pictures_.emplace(key, id).first;
  }
  if (found->second == 0) return;  // nothing to see
  SyncClip();
  std::string& out = Body().Text;
  out += "<use xlink:href=\"#i" + std::to_string(found->second) + "\" transform=\"matrix(";
  for (double v : {a, b, c, d}) {
    AppendCoefficient(out, v);
    out += ' ';
  }
  AppendNumber(out, x1);
  out += ' ';
  AppendNumber(out, y1);
  out += ")\"";
  if (sampling == TImageSampling::Nearest) out += " style=\"image-rendering:optimizeSpeed\"";
  out += "/>\n";
}

// Layers --------------------------------------------------------------------------------------

bool TSVGCanvas::BeginLayer(std::optional<TPackedColor> backdrop) {
  // Clip groups never span a layer's start or end: the layer's drawing opens its own.
  CloseClips();
  TBody layer;
  layer.Mask = pendingMask_;
  pendingMask_ = 0;
  if (backdrop)
    layer.Text = "<rect width=\"" + Number(width_) + "\" height=\"" + Number(height_) +
                 "\" fill=\"" + ColourText(*backdrop) + "\"/>\n";
  bodies_.push_back(std::move(layer));
  return true;
}

void TSVGCanvas::EndLayerAsMask(bool luminosity, const std::vector<std::uint8_t>& transfer) {
  if (bodies_.size() < 2) return;
  CloseClips();
  TBody layer = std::move(bodies_.back());
  bodies_.pop_back();
  // The mask's value goes to the alpha channel (luminosity or opacity), through the transfer
  // table, and the colour is made white: the mask's luminance is then that value in every
  // renderer, whichever colour space it computes luminance in.
  const int filter = ++nextId_;
  defs_ += "<filter id=\"f" + std::to_string(filter) +
           "\" filterUnits=\"userSpaceOnUse\" x=\"0\" y=\"0\" width=\"" + Number(width_) +
           "\" height=\"" + Number(height_) + "\" color-interpolation-filters=\"sRGB\">";
  if (luminosity) defs_ += "<feColorMatrix type=\"luminanceToAlpha\"/>";
  if (transfer.size() == 256) {
    defs_ += "<feComponentTransfer><feFuncA type=\"discrete\" tableValues=\"";
    for (std::size_t i = 0; i < 256; ++i) {
      if (i) defs_ += ' ';
      AppendNumber(defs_, transfer[i] / 255.0);
    }
    defs_ += "\"/></feComponentTransfer>";
  }
  defs_ += "<feColorMatrix type=\"matrix\" values=\"0 0 0 0 1 0 0 0 0 1 0 0 0 0 1 0 0 0 1 0\"/></filter>\n";
  const int mask = ++nextId_;
  defs_ += "<mask id=\"m" + std::to_string(mask) + "\" maskUnits=\"userSpaceOnUse\" x=\"0\" y=\"0\" width=\"" +
           Number(width_) + "\" height=\"" + Number(height_) + "\"><g filter=\"url(#f" +
           std::to_string(filter) + ")\">\n" + layer.Text + "</g></mask>\n";
  pendingMask_ = mask;
}

void TSVGCanvas::EndLayer() {
  if (bodies_.size() < 2) return;
  CloseClips();
  TBody layer = std::move(bodies_.back());
  bodies_.pop_back();
  std::string& out = Body().Text;
  out += layer.Mask ? "<g mask=\"url(#m" + std::to_string(layer.Mask) + ")\">\n" : "<g>\n";
  out += layer.Text;
  out += "</g>\n";
}

TBytes TSVGCanvas::Finish() {
  while (bodies_.size() > 1) EndLayer();
  CloseClips();
  std::string& page = Body().Text;
  // The head (up to the end of the <svg> start tag) comes before the definitions.
  const std::size_t head = page.find(">\n", page.find("<svg")) + 2;
  TBytes out = page.substr(0, head);
  if (!defs_.empty()) out += "<defs>\n" + defs_ + "</defs>\n";
  out.append(page, head);
  out += "</svg>\n";
  return out;
}

}  // namespace kestrel
