#include "engine/output/eps/eps_export.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>

#include "engine/output/gif/stucki_ditherer.h"
#include "engine/graphics/format_decimal.h"
#include "engine/syntax/filters.h"

namespace kestrel {

namespace {

// Coordinates and matrix entries beyond this mean nothing on a page, and larger numbers risk
// PostScript's limits.
constexpr double kLargestNumber = 1e9;
// Pixels of one embedded picture: its text stays within a few hundred MB.
constexpr std::uint64_t kMaxImagePixels = TPDFEPSExport::kMaxPicturePixels;

const char* const kProlog[] = {
    "%%KestrelLibrary-Start",
    "/c { curveto } def",
    "/cm { concat } def",
    "/cp { currentpoint } def",
    "/f { fill } def",
    "/f* { eofill } def",
    "/h { closepath } def",
    "/j { setlinejoin } def",
    "/J { setlinecap } def",
    "/l { lineto } def",
    "/m { moveto } def",
    "/M { setmiterlimit } def",
    "/n { newpath } def",
    "/q { gsave } def",
    "/Q { grestore } def",
    "/s { stroke } def",
    "/w { setlinewidth } def",
    "/W { clip } def",
    "/W* { eoclip } def",
    "%%KestrelLibrary-End",
};

// Half to even, saturated to what a bounding box can hold.
long long RoundBox(double v) {
  if (!std::isfinite(v)) return 0;
  v = std::clamp(v, -kLargestNumber, kLargestNumber);
  return static_cast<long long>(std::nearbyint(v));
}

// The identifier as part of a PostScript name: characters that would end or change the name
// are written as #xx.
std::string NameSafe(std::string_view id) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char ch : id) {
    const auto u = static_cast<unsigned char>(ch);
    if (std::isalnum(u) || ch == '.' || ch == '_' || ch == '-') {
      out += ch;
    } else {
      out += '#';
      out += kHex[u >> 4];
      out += kHex[u & 15];
    }
  }
  return out;
}

bool UsableBitmap(const TCanvasBitmap& b) {
  if (b.Width <= 0 || b.Height <= 0) return false;
  const std::uint64_t pixels = std::uint64_t(b.Width) * std::uint64_t(b.Height);
  return pixels <= kMaxImagePixels && b.Pixels.size() >= pixels;
}

std::uint8_t Red(std::uint32_t p) { return (p >> 16) & 0xFF; }
std::uint8_t Green(std::uint32_t p) { return (p >> 8) & 0xFF; }
std::uint8_t Blue(std::uint32_t p) { return p & 0xFF; }
std::uint8_t Alpha(std::uint32_t p) { return p >> 24; }

bool InKey(const TCanvasColorKey& key, std::uint32_t p) {
  const std::uint8_t v[3] = {Red(p), Green(p), Blue(p)};
  for (int i = 0; i < 3; ++i)
    if (v[i] < key.Low[i] || v[i] > key.High[i]) return false;
  return true;
}

// The picture's own transparency (alpha, colour key) as a mask picture; none when it is opaque.
std::optional<TCanvasBitmap> OwnMask(const TCanvasBitmap& b) {
  const std::size_t n = std::size_t(b.Width) * std::size_t(b.Height);
  bool any = false;
  for (std::size_t i = 0; i < n && !any; ++i)
    any = Alpha(b.Pixels[i]) != 0xFF || (b.ColorKey && InKey(*b.ColorKey, b.Pixels[i]));
  if (!any) return std::nullopt;
  TCanvasBitmap mask{b.Width, b.Height, std::vector<std::uint32_t>(n), std::nullopt};
  for (std::size_t i = 0; i < n; ++i) {
    std::uint32_t a = Alpha(b.Pixels[i]);
    if (b.ColorKey && InKey(*b.ColorKey, b.Pixels[i])) a = 0;
    mask.Pixels[i] = 0xFF000000u | (a << 16) | (a << 8) | a;
  }
  return mask;
}

// Red, green, blue bytes of every pixel, rows top to bottom.
TBytes RgbSamples(const TCanvasBitmap& b) {
  const std::size_t n = std::size_t(b.Width) * std::size_t(b.Height);
  TBytes out(n * 3, '\0');
  for (std::size_t i = 0; i < n; ++i) {
    out[3 * i] = static_cast<char>(Red(b.Pixels[i]));
    out[3 * i + 1] = static_cast<char>(Green(b.Pixels[i]));
    out[3 * i + 2] = static_cast<char>(Blue(b.Pixels[i]));
  }
  return out;
}

// One bit a pixel, leftmost pixel in the high bit, rows padded to whole bytes: 1 where the
// dithered mask is white (shown), 0 where it is black (hidden). The mask dictionary's Decode
// [1 0] turns that around into PostScript's convention (1 masks out).
TBytes MaskBits(const TCanvasBitmap& mask) {
  const TBytes rgb = RgbSamples(mask);
  const std::vector<std::uint8_t> mono = DitherToMonochrome(
      mask.Width, mask.Height,
      std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(rgb.data()), rgb.size()));
  const std::size_t rowBytes = (std::size_t(mask.Width) + 7) / 8;
  TBytes out(rowBytes * std::size_t(mask.Height), '\0');
  if (mono.size() != std::size_t(mask.Width) * std::size_t(mask.Height)) return out;
  for (int y = 0; y < mask.Height; ++y) {
    for (int x = 0; x < mask.Width; ++x) {
      if (mono[std::size_t(y) * std::size_t(mask.Width) + std::size_t(x)] == 0) continue;
      auto& byte = out[std::size_t(y) * rowBytes + std::size_t(x) / 8];
      byte = static_cast<char>(static_cast<std::uint8_t>(byte) | (0x80u >> (x % 8)));
    }
  }
  return out;
}

}  // namespace

void TPDFEPSExport::StartDocument(double llx, double lly, double urx, double ury) {
  lines_.clear();
  embedded_.clear();
  customColors_.clear();
  colorStack_.clear();
  lastColor_.reset();
  clipRule_ = 0;
  bytes_ = 0;
  openLevels_ = 0;
  currentX_ = currentY_ = 0;
  AddLine("%!PS-Adobe-3.0 EPSF-3.0");
  AddLine("%%BoundingBox: " + std::to_string(RoundBox(llx)) + " " + std::to_string(RoundBox(lly)) +
          " " + std::to_string(RoundBox(urx)) + " " + std::to_string(RoundBox(ury)));
  AddLine("%%Creator: (Kestrel Library DVer)");
  AddLine("%%DocumentProcessColors: (Cyan) (Magenta) (Yellow) (Black)");
  AddLine("%%EndComments");
  for (const char* line : kProlog) AddLine(line);
}

void TPDFEPSExport::AddLine(std::string text) {
  if (!text.empty() && text.back() == ' ') text.pop_back();
  Append(std::move(text));
}

bool TPDFEPSExport::Append(std::string text, bool check) {
  if (check && Full()) return false;
  bytes_ += text.size() + 2;
  lines_.push_back(std::move(text));
  return true;
}

void TPDFEPSExport::SetColor(const std::string& text) {
  if (text.empty()) return;
  if (text.find("findcmykcustomcolor") != std::string::npos) {
    // One entry per colorant: the same colour at another tint is not another custom colour.
    const std::size_t close = text.find(')');
    const std::string colorant = text.substr(0, close == std::string::npos ? text.size() : close + 1);
    if (std::find(customColors_.begin(), customColors_.end(), colorant) == customColors_.end())
      customColors_.push_back(colorant);
  }
  if (lastColor_ && *lastColor_ == text) return;
  AddLine(text);
  lastColor_ = text;
}

void TPDFEPSExport::SaveState() {
  if (Append("q")) ++openLevels_;
  colorStack_.push_back(lastColor_);
}

void TPDFEPSExport::RestoreState() {
  if (Append("Q") && openLevels_ > 0) --openLevels_;
  if (colorStack_.empty()) return;
  lastColor_ = std::move(colorStack_.back());
  colorStack_.pop_back();
}

TClipHandle TPDFEPSExport::SaveClip() {
  SaveState();
  return static_cast<TClipHandle>(colorStack_.size());
}

void TPDFEPSExport::RestoreClip(TClipHandle handle) {
  // Levels opened after the snapshot and never closed (a form's unbalanced q) close with it.
  while (handle > 0 && colorStack_.size() >= handle) RestoreState();
}

void TPDFEPSExport::EndPath() {
  if (clipRule_ == 0) return;
  AddLine(clipRule_ == kFillRuleEvenOdd ? "W*" : "W");
  AddLine("n");
  clipRule_ = 0;
}

void TPDFEPSExport::BeginPath() {
  AddLine("n");
  clipRule_ = 0;
  hasPoint_ = false;
}

void TPDFEPSExport::MoveTo(double x, double y) {
  AddLine(EPSLine({x, y}, "m"));
  currentX_ = x, currentY_ = y;
  hasPoint_ = true;
}

// PostScript stops with an error on a segment without a current point; such a segment
// starts the subpath instead, as the raster canvas takes it.
void TPDFEPSExport::LineTo(double x, double y) {
  if (!hasPoint_) return MoveTo(x, y);
  AddLine(EPSLine({x, y}, "l"));
  currentX_ = x, currentY_ = y;
}

void TPDFEPSExport::CurveTo(double x1, double y1, double x2, double y2, double x3, double y3) {
  if (!hasPoint_) MoveTo(x1, y1);
  AddLine(EPSLine({x1, y1, x2, y2, x3, y3}, "c"));
  currentX_ = x3, currentY_ = y3;
}

void TPDFEPSExport::QuadTo(double x1, double y1, double x2, double y2) {
  if (!hasPoint_) MoveTo(x1, y1);
  // The cubic with the same shape: controls two thirds of the way to the quadratic's control.
  const double c1x = currentX_ + (x1 - currentX_) * 2 / 3, c1y = currentY_ + (y1 - currentY_) * 2 / 3;
  const double c2x = x1 + (x2 - x1) / 3, c2y = y1 + (y2 - y1) / 3;
  CurveTo(c1x, c1y, c2x, c2y, x2, y2);
}

void TPDFEPSExport::ClosePath() {
  if (hasPoint_) AddLine("h");
}
void TPDFEPSExport::StrokePath() { AddLine("s"); }
void TPDFEPSExport::FillPath() { AddLine("f"); }

void TPDFEPSExport::FillStrokePath() {
  // The fill would consume the path: it runs inside q … Q so the stroke still has it.
  SaveState();
  AddLine("f");
  RestoreState();
  AddLine("s");
}

void TPDFEPSExport::EmbedImage(const TCanvasBitmap& bitmap, const TCanvasBitmap* mask,
                               const std::string& id) {
  // All or nothing past the size limit: a data header without its data would make
  // PostScript read the following lines as image data.
  auto Put = [this](std::string line) { Append(std::move(line), false); };
  auto addData = [&Put](const TBytes& samples, const std::string& name) {
    Put("currentfile /ASCII85Decode filter /FlateDecode filter");
    Put("/ReusableStreamDecode filter");
    Put(EncodeASCII85(DeflateBytes(samples)));
    Put("/" + name + " exch def");
  };
  if (mask) addData(MaskBits(*mask), "maskstreamfor" + id);
  addData(RgbSamples(bitmap), "datastreamfor" + id);

  const std::string w = std::to_string(bitmap.Width), h = std::to_string(bitmap.Height);
  Put("/ImageDataDictionaryfor" + id + " 8 dict def");
  Put("ImageDataDictionaryfor" + id + " begin");
  Put("/ImageType 1 def");
  Put("/Width " + w + " def");
  Put("/Height " + h + " def");
  Put("/BitsPerComponent 8 def");
  Put("/DataSource datastreamfor" + id + " def");
  Put("/MultipleDataSources false def");
  Put("/ImageMatrix [ " + w + " 0 0 -" + h + " 0 " + h + " ] def");
  Put("/Decode [ 0 1 0 1 0 1 ] def");
  Put("end");
  if (!mask) return;
  const std::string mw = std::to_string(mask->Width), mh = std::to_string(mask->Height);
  Put("/ImageMaskDictionaryfor" + id + " 8 dict def");
  Put("ImageMaskDictionaryfor" + id + " begin");
  Put("/ImageType 1 def");
  Put("/Width " + mw + " def");
  Put("/Height " + mh + " def");
  Put("/BitsPerComponent 1 def");
  Put("/DataSource maskstreamfor" + id + " def");
  Put("/MultipleDataSources false def");
  Put("/ImageMatrix [ " + mw + " 0 0 -" + mh + " 0 " + mh + " ] def");
  Put("/Decode [ 1 0 ] def");
  Put("end");
  Put("/MaskedImageDictionaryfor" + id + " 7 dict def");
  Put("MaskedImageDictionaryfor" + id + " begin");
  Put("/ImageType 3 def");
  Put("/InterleaveType 3 def");
  Put("/MaskDict ImageMaskDictionaryfor" + id + " def");
  Put("/DataDict ImageDataDictionaryfor" + id + " def");
  Put("end");
}

void TPDFEPSExport::DrawImage(const TCanvasBitmap& bitmap, const TCanvasBitmap* mask,
                              std::string_view identifier) {
  if (!UsableBitmap(bitmap) || Full()) return;
  std::optional<TCanvasBitmap> own;
  if (mask && !UsableBitmap(*mask)) mask = nullptr;
  if (!mask && (own = OwnMask(bitmap))) mask = &*own;
  // A picture drawn again under the same identifier is drawn as it was embedded, with or
  // without its mask.
  const std::string id = NameSafe(identifier);
  bool masked = mask != nullptr;
  const std::string tag = (masked ? "M" : "U") + id;
  if (std::find(embedded_.begin(), embedded_.end(), "M" + id) != embedded_.end()) {
    masked = true;
  } else if (std::find(embedded_.begin(), embedded_.end(), "U" + id) != embedded_.end()) {
    masked = false;
  } else {
    embedded_.push_back(tag);
    EmbedImage(bitmap, mask, id);
  }
  // The colour space is part of the graphics state: set it for every drawing, inside q … Q so
  // that the colour in force afterwards is the one before.
  SaveState();
  AddLine("/DeviceRGB setcolorspace");
  if (masked) {
    AddLine("maskstreamfor" + id + " resetfile");
    AddLine("datastreamfor" + id + " resetfile");
    AddLine("MaskedImageDictionaryfor" + id + " image");
  } else {
    AddLine("datastreamfor" + id + " resetfile");
    AddLine("ImageDataDictionaryfor" + id + " image");
  }
  RestoreState();
}

void TPDFEPSExport::FinishDocument() {
  // Every q written gets its Q, also when the buffer filled up in between.
  colorStack_.clear();
  for (; openLevels_ > 0; --openLevels_) Append("Q", false);
  const auto end = std::find(lines_.begin(), lines_.end(), "%%EndComments");
  if (end != lines_.end()) {
    std::vector<std::string> comments;
    for (std::size_t i = 0; i < customColors_.size(); ++i) {
      const std::string& text = customColors_[i];
      const std::size_t open = text.find('('), close = text.find(')');
      if (open == std::string::npos || close == std::string::npos || close < open) continue;
      comments.push_back((comments.empty() ? "%%DocumentCustomColors: " : "%%+ ") +
                         text.substr(open, close - open + 1));
    }
    const std::size_t names = comments.size();
    for (const std::string& text : customColors_) {
      const std::size_t open = text.find('('), close = text.find(')');
      if (open == std::string::npos || close == std::string::npos || close < open) continue;
      comments.push_back((comments.size() == names ? "%%CMYKCustomColor: " : "%%+ ") +
                         text.substr(0, close + 1));
    }
    for (const std::string& line : comments) bytes_ += line.size() + 2;
    lines_.insert(end, comments.begin(), comments.end());
  }
  Append("%%EOF", false);
}

void TPDFEPSExport::WriteTo(TBytes& out) const {
  for (const std::string& line : lines_) {
    out += line;
    out += "\r\n";
  }
}

}  // namespace kestrel
