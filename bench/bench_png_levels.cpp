// Size and speed of the PNG encoder's compression choices on real pages: each page is drawn
// once, then encoded by zlib row by row (today's streaming path) and by libdeflate over the
// whole filtered image, at several levels. Times are CPU time of this thread.
// Usage: bench_png_levels [--dpi N] [--pages N] FILE.pdf...
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/kestrel.h"
#include "engine/output/raster/png_writer.h"

namespace {

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  int dpi = 150, maxPages = 20;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--dpi" && i + 1 < argc) dpi = std::atoi(argv[++i]);
    else if (a == "--pages" && i + 1 < argc) maxPages = std::atoi(argv[++i]);
    else files.push_back(a);
  }
  if (files.empty()) {
    std::fprintf(stderr, "usage: bench_png_levels [--dpi N] [--pages N] FILE.pdf...\n");
    return 2;
  }
  std::vector<kestrel::TRasterImage> pages;
  for (const std::string& path : files) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    kestrel::TKestrel0725 engine;
    kestrel::TSmartPDFLink* link = engine.OpenDocument(bytes, "");
    const int count = engine.GetPageCount(link);
    for (int n = 1; link && n <= count && n <= maxPages; ++n)
      if (auto* ref = engine.FindPage(link, n))
        if (auto image = engine.RenderPageToBitmap(link, ref, dpi)) pages.push_back(std::move(*image));
  }
  std::printf("%zu pages of %zu files at %d dpi\n", pages.size(), files.size(), dpi);
  struct TChoice {
    const char* Name;
    int Level;
    bool Whole;
  };
  // The first is the encoder before libdeflate: the others are compared with it.
  const TChoice choices[] = {{"zlib 2 (before)", 2, false}, {"zlib 1", 1, false},       {"zlib 4", 4, false},
                             {"zlib 6", 6, false},          {"libdeflate 1", 1, true}, {"libdeflate 3", 3, true},
                             {"libdeflate 4", 4, true},     {"libdeflate 5", 5, true}, {"libdeflate 6", 6, true},
                             {"libdeflate 9", 9, true}};
  double baseBytes = 0, baseSeconds = 0;
  for (const TChoice& c : choices) {
    double bytes = 0;
    const double start = CpuSeconds();
    for (const kestrel::TRasterImage& page : pages) {
      kestrel::TPNGWriter writer(page);
      writer.SetResolution(dpi);
      writer.SetCompression(c.Level, kestrel::TPNGFilter::kAdaptive);
      writer.SetWholeImageLimit(c.Whole ? kestrel::TPNGWriter::kWholeImageLimit : 0);
      bytes += static_cast<double>(writer.WriteTo().size());
    }
    const double seconds = CpuSeconds() - start;
    if (baseBytes == 0) {
      baseBytes = bytes;
      baseSeconds = seconds;
    }
    std::printf("%-20s %12.0f bytes (%.3fx) %8.3f s CPU (%.2fx)\n", c.Name, bytes, bytes / baseBytes, seconds,
                seconds / baseSeconds);
  }
  return 0;
}
