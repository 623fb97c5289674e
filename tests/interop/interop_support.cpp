#include "interop_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

#include "engine/access/document.h"
#include "engine/images/dct_image.h"
#include "engine/kestrel.h"
#include "engine/output/page_output.h"
#include "support/png_decoder.h"
#include "support/temp_dir.h"

namespace kestrel::interop {

int RunProgram(const std::vector<std::string>& args, std::string* output, int timeoutSeconds) {
  if (args.empty()) return -1;
  testsupport::TempDir dir;
  const std::string outPath = dir.Path() + "/stdout";
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    setpgid(0, 0);
    const int devnull = open("/dev/null", O_RDWR);
    const int out = output ? open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600) : devnull;
    dup2(devnull, 0);
    dup2(out, 1);
    dup2(devnull, 2);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0) return -1;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(-pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (output) {
    std::ifstream in(outPath, std::ios::binary);
    output->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveProgram(const std::string& name) {
  return RunProgram({"sh", "-c", "command -v " + name}) == 0;
}

TBytes ConvertFirstPage(const std::string& pdf, int format, double dpi, std::string* problem,
                        const TOutputOptions& options) {
  TSmartPDFLink link(TByteView(pdf), "");
  if (!link.Okay()) return {};
  TSmartPDFDocument* doc = link.Document();
  TPDFIndRef* page = doc->FindPage(1);
  if (!page) return {};
  std::string text;
  TBytes out;
  RenderPageToStream(*doc, *page, static_cast<TOutputFormat>(format), text, out, TGDIPlusSettings{}, 75, dpi,
                     nullptr, {}, options);
  if (problem) *problem = text;
  return out;
}

namespace {

TRgbImage FromDecoded(const TDecodedImage& img) {
  TRgbImage out{img.Width, img.Height,
                std::vector<std::uint8_t>(static_cast<std::size_t>(img.Width) * img.Height * 3)};
  const int n = img.Components;
  for (std::size_t i = 0; i < static_cast<std::size_t>(img.Width) * img.Height; ++i) {
    const auto* s = reinterpret_cast<const std::uint8_t*>(img.Pixels.data()) + i * n;
    std::uint8_t rgb[3];
    if (n == 1 || n == 2) {
      rgb[0] = rgb[1] = rgb[2] = s[0];
    } else {
      rgb[0] = s[0], rgb[1] = s[1], rgb[2] = s[2];
    }
    const int alpha = n == 4 && img.HasAlpha ? s[3] : 255;
    for (int c = 0; c < 3; ++c)
      out.Rgb[i * 3 + c] = static_cast<std::uint8_t>((rgb[c] * alpha + 255 * (255 - alpha)) / 255);
  }
  return out;
}

}  // namespace

std::optional<TRgbImage> LoadPng(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const TDecodedImage img = DecodePNG(TByteView(bytes));
  if (img.Width <= 0 || img.Height <= 0 || img.Empty()) return std::nullopt;
  return FromDecoded(img);
}

std::optional<TRgbImage> LoadWithImageMagick(const std::string& path) {
  testsupport::TempDir dir;
  const std::string png = dir.Path() + "/read.png";
  if (RunProgram({"convert", path, "-background", "white", "-flatten", "PNG24:" + png}) != 0)
    return std::nullopt;
  return LoadPng(png);
}

TRgbImage Resample(const TRgbImage& image, int width, int height) {
  TRgbImage out{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 3)};
  if (image.Width <= 0 || image.Height <= 0) return out;
  for (int y = 0; y < height; ++y) {
    const int y0 = static_cast<int>(static_cast<long long>(y) * image.Height / height);
    const int y1 = std::max(y0 + 1, static_cast<int>(static_cast<long long>(y + 1) * image.Height / height));
    for (int x = 0; x < width; ++x) {
      const int x0 = static_cast<int>(static_cast<long long>(x) * image.Width / width);
      const int x1 = std::max(x0 + 1, static_cast<int>(static_cast<long long>(x + 1) * image.Width / width));
      long sum[3] = {0, 0, 0};
      for (int sy = y0; sy < y1; ++sy)
        for (int sx = x0; sx < x1; ++sx)
          for (int c = 0; c < 3; ++c) sum[c] += image.At(sx, sy)[c];
      const long n = static_cast<long>(y1 - y0) * (x1 - x0);
      for (int c = 0; c < 3; ++c)
        out.Rgb[(static_cast<std::size_t>(y) * width + x) * 3 + c] = static_cast<std::uint8_t>(sum[c] / n);
    }
  }
  return out;
}

}  // namespace kestrel::interop
