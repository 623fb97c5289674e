#include "pixel_compare.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/access/interactive/form_fields.h"
#include "engine/kestrel.h"
#include "engine/output/page_targets.h"
#include "engine/output/raster/png_writer.h"
#include "engine/render/renderer.h"
#include "support/pdf_builder.h"
#include "support/temp_dir.h"

namespace kestrel::testing {

namespace fs = std::filesystem;

namespace {

std::optional<TRgbImage> ReadPpm(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string magic;
  int w = 0, h = 0, maxval = 0;
  in >> magic >> w >> h >> maxval;
  in.get();
  if (magic != "P6" || w <= 0 || h <= 0 || maxval != 255) return std::nullopt;
  TRgbImage img{w, h, std::vector<std::uint8_t>(static_cast<std::size_t>(w) * h * 3)};
  in.read(reinterpret_cast<char*>(img.Rgb.data()), static_cast<std::streamsize>(img.Rgb.size()));
  if (!in) return std::nullopt;
  return img;
}

int RunProgram(const std::vector<std::string>& args) {
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  if (waitpid(pid, &status, 0) < 0) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Dpi(double dpi) {
  std::ostringstream s;
  s << dpi;
  return s.str();
}

// Channel range within two pixels of (x, y).
int LocalContrast(const TRgbImage& img, int x, int y) {
  int worst = 0;
  for (int c = 0; c < 3; ++c) {
    int lo = 255, hi = 0;
    for (int dy = -2; dy <= 2; ++dy) {
      const int yy = y + dy;
      if (yy < 0 || yy >= img.Height) continue;
      for (int dx = -2; dx <= 2; ++dx) {
        const int xx = x + dx;
        if (xx < 0 || xx >= img.Width) continue;
        const int v = img.At(xx, yy)[c];
        lo = std::min(lo, v);
        hi = std::max(hi, v);
      }
    }
    worst = std::max(worst, hi - lo);
  }
  return worst;
}

}  // namespace

std::string TPixelComparison::Summary() const {
  std::ostringstream s;
  if (!SizesMatch) return "picture sizes differ";
  s << "mean diff " << MeanDiff << ", far-off pixels " << FarOffFraction * 100 << "%, flat failures "
    << FlatFailures << " (worst " << WorstFlat << " at " << WorstFlatX << "," << WorstFlatY << ")";
  return s.str();
}

std::string Page(const std::string& content, const std::string& pageEntries,
                 const std::string& resources, const std::map<int, std::string>& objects,
                 const std::map<int, std::pair<std::string, std::string>>& streams) {
  testpdf::PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  b.Object(3, "<< /Type /Page /Parent 2 0 R " + pageEntries + " /Resources " + resources +
                  " /Contents 4 0 R >>");
  b.Stream(4, "", content);
  for (const auto& [num, body] : objects) b.Object(num, body);
  for (const auto& [num, s] : streams) b.Stream(num, s.first, s.second);
  b.TrailerEntries("/Root 1 0 R");
  return b.Build();
}

bool PdftoppmAvailable() { return RunProgram({"pdftoppm", "-v"}) == 0; }

std::optional<TRgbImage> RenderWithPdftoppm(const std::string& pdf, double dpi) {
  testsupport::TempDir dir;
  const std::string in = dir.Write("in.pdf", pdf);
  const std::string prefix = dir.Path() + "/out";
  if (RunProgram({"pdftoppm", "-q", "-cropbox", "-r", Dpi(dpi), "-singlefile", in, prefix}) != 0)
    return std::nullopt;
  return ReadPpm(prefix + ".ppm");
}

std::optional<TRgbImage> RenderWithKestrel(const std::string& pdf, double dpi,
                                           std::string* problem) {
  TSmartPDFLink link(TByteView(pdf), "");
  if (!link.Okay()) return std::nullopt;
  TSmartPDFDocument* doc = link.Document();
  TPDFIndRef* page = doc->FindPage(1);
  if (!page) return std::nullopt;
  TPDFRenderer renderer;
  renderer.Resolution = dpi;
  renderer.PageDictionary = doc->PageDictionary(page);
  renderer.Resolver = [doc](TPDFIndRef* ref) { return doc->ResolveForRender(ref); };
  renderer.OptionalContent = &doc->OptionalContent();
  renderer.AcroForm = doc->Form() ? &doc->Form()->Dictionary() : nullptr;
  renderer.OutputIntents = doc->Catalogue() ? doc->Catalogue()->GetValue("OutputIntents", false) : nullptr;
  std::optional<TRasterImage> bitmap;
  const bool ok = RenderPageBitmap(renderer, bitmap);
  if (problem) *problem = renderer.ErrorText();
  if (!ok || !bitmap) return std::nullopt;
  const TRasterImage& bmp = *bitmap;
  TRgbImage img{bmp.Width(), bmp.Height(),
                std::vector<std::uint8_t>(static_cast<std::size_t>(bmp.Width()) * bmp.Height() * 3)};
  for (int y = 0; y < bmp.Height(); ++y) RowToRGB(bmp.View(), y, &img.Rgb[static_cast<std::size_t>(y) * bmp.Width() * 3]);
  return img;
}

TPixelComparison ComparePixels(const TRgbImage& ours, const TRgbImage& ref,
                               const TPixelTolerance& tol) {
  TPixelComparison r;
  r.SizesMatch = ours.Width == ref.Width && ours.Height == ref.Height;
  if (!r.SizesMatch) return r;
  r.Diff = TRgbImage{ours.Width, ours.Height, std::vector<std::uint8_t>(ours.Rgb.size())};
  double total = 0;
  long farOff = 0;
  for (int y = 0; y < ours.Height; ++y) {
    for (int x = 0; x < ours.Width; ++x) {
      const std::uint8_t* a = ours.At(x, y);
      const std::uint8_t* b = ref.At(x, y);
      int worst = 0;
      for (int c = 0; c < 3; ++c) {
        const int d = std::abs(int(a[c]) - int(b[c]));
        total += d;
        worst = std::max(worst, d);
      }
      if (worst > tol.FarOff) ++farOff;
      bool failing = false;
      if (worst > tol.FlatMax && LocalContrast(ref, x, y) <= tol.EdgeContrast &&
          LocalContrast(ours, x, y) <= tol.EdgeContrast) {
        ++r.FlatFailures;
        failing = true;
        if (worst > r.WorstFlat) {
          r.WorstFlat = worst;
          r.WorstFlatX = x;
          r.WorstFlatY = y;
        }
      }
      std::uint8_t* out = &r.Diff.Rgb[(static_cast<std::size_t>(y) * ours.Width + x) * 3];
      const auto shade = static_cast<std::uint8_t>(255 - worst);
      out[0] = failing ? 255 : shade;
      out[1] = failing ? 0 : shade;
      out[2] = failing ? 0 : shade;
    }
  }
  const double pixels = static_cast<double>(ours.Width) * ours.Height;
  r.MeanDiff = total / (pixels * 3);
  r.FarOffFraction = farOff / pixels;
  r.Passed = r.FlatFailures == 0 && r.MeanDiff < tol.MaxMean &&
             r.FarOffFraction < tol.MaxFarOffFraction;
  return r;
}

std::string WritePng(const TRgbImage& image, const std::string& path) {
  TPixelView view{image.Rgb.data(), image.Width, image.Height, image.Width * 3,
                  TPixelLayout::kRGB24};
  TPNGWriter writer(view);
  std::ofstream(path, std::ios::binary) << writer.WriteTo();
  return path;
}

::testing::AssertionResult MatchesPdftoppm(const std::string& pdf, double dpi,
                                           const std::string& name,
                                           const TPixelTolerance& tolerance) {
  std::string problem;
  std::optional<TRgbImage> ours = RenderWithKestrel(pdf, dpi, &problem);
  if (!ours) return ::testing::AssertionFailure() << name << ": Kestrel rendered nothing: " << problem;
  if (!problem.empty()) return ::testing::AssertionFailure() << name << ": " << problem;
  std::optional<TRgbImage> ref = RenderWithPdftoppm(pdf, dpi);
  if (!ref) return ::testing::AssertionFailure() << name << ": pdftoppm rendered nothing";
  const TPixelComparison cmp = ComparePixels(*ours, *ref, tolerance);
  if (cmp.Passed) return ::testing::AssertionSuccess() << cmp.Summary();
  const fs::path dir = fs::path(::testing::TempDir()) / "plover-pixels";
  fs::create_directories(dir);
  const std::string base = (dir / (name + "-" + Dpi(dpi) + "dpi")).string();
  WritePng(*ours, base + "-kestrel.png");
  WritePng(*ref, base + "-pdftoppm.png");
  if (cmp.SizesMatch) WritePng(cmp.Diff, base + "-diff.png");
  return ::testing::AssertionFailure()
         << name << " at " << dpi << " dpi differs from pdftoppm: " << cmp.Summary()
         << "; pictures in " << base << "-*.png";
}

namespace {

// 3x3 neighbourhood helpers over a mask or picture of the same size.
std::vector<bool> Grown(const std::vector<bool>& mask, int w, int h) {
  std::vector<bool> out(mask.size());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int dy = -1; dy <= 1 && !out[y * w + x]; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          const int nx = x + dx, ny = y + dy;
          if (nx >= 0 && ny >= 0 && nx < w && ny < h && mask[ny * w + nx]) {
            out[y * w + x] = true;
            break;
          }
        }
  return out;
}

bool NearInColour(const TRgbImage& a, const TRgbImage& b, int x, int y, int tol) {
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx) {
      const int nx = std::clamp(x + dx, 0, b.Width - 1), ny = std::clamp(y + dy, 0, b.Height - 1);
      const std::uint8_t *p = a.At(x, y), *q = b.At(nx, ny);
      if (std::abs(p[0] - q[0]) <= tol && std::abs(p[1] - q[1]) <= tol && std::abs(p[2] - q[2]) <= tol) return true;
    }
  return false;
}

}  // namespace

TInkScores InkScores(const TRgbImage& ours, const TRgbImage& ref) {
  constexpr int kInk = 240, kTol = 48;
  const int w = std::min(ours.Width, ref.Width), h = std::min(ours.Height, ref.Height);
  std::vector<bool> inkA(w * h), inkB(w * h), either(w * h);
  long na = 0, nb = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const std::uint8_t *p = ours.At(x, y), *q = ref.At(x, y);
      inkA[y * w + x] = std::min({p[0], p[1], p[2]}) < kInk;
      inkB[y * w + x] = std::min({q[0], q[1], q[2]}) < kInk;
      either[y * w + x] = inkA[y * w + x] || inkB[y * w + x];
      na += inkA[y * w + x];
      nb += inkB[y * w + x];
    }
  if (na == 0 && nb == 0) return {1, 1};
  const std::vector<bool> grownA = Grown(inkA, w, h), grownB = Grown(inkB, w, h), region = Grown(either, w, h);
  long recalled = 0, precise = 0, counted = 0, near = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int i = y * w + x;
      recalled += inkB[i] && grownA[i];
      precise += inkA[i] && grownB[i];
      if (!region[i] || LocalContrast(ours, x, y) > kTol || LocalContrast(ref, x, y) > kTol) continue;
      ++counted;
      near += NearInColour(ours, ref, x, y, kTol);
    }
  const double recall = nb ? double(recalled) / nb : 0, precision = na ? double(precise) / na : 0;
  return {counted ? double(near) / counted : 1.0, std::min(recall, precision)};
}

::testing::AssertionResult ScoresLikePdftoppm(const std::string& pdf, double dpi, const std::string& name,
                                              double minimum) {
  std::string problem;
  std::optional<TRgbImage> ours = RenderWithKestrel(pdf, dpi, &problem);
  std::optional<TRgbImage> ref = RenderWithPdftoppm(pdf, dpi);
  if (!ours || !ref) return ::testing::AssertionFailure() << name << ": no picture " << problem;
  const TInkScores s = InkScores(*ours, *ref);
  if (s.Colour >= minimum && s.Shape >= minimum) return ::testing::AssertionSuccess();
  const std::string base = (fs::path(::testing::TempDir()) / (name + "-" + Dpi(dpi) + "dpi")).string();
  WritePng(*ours, base + "-kestrel.png");
  WritePng(*ref, base + "-pdftoppm.png");
  return ::testing::AssertionFailure() << name << " at " << dpi << " dpi: colour " << s.Colour << ", shape "
                                       << s.Shape << " (below " << minimum << "); pictures in " << base
                                       << "-*.png";
}

}  // namespace kestrel::testing
