// Opens a generated PDF with a balanced page tree and looks up every page.
// Usage: bench_find_page [PAGES] [FANOUT] [--write FILE]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "engine/kestrel.h"
#include "support/pdf_builder.h"

int main(int argc, char** argv) {
  const int pages = argc > 1 ? std::atoi(argv[1]) : 10000;
  const int fanout = argc > 2 ? std::atoi(argv[2]) : 10;
  const std::string file = testpdf::BalancedTreeDocument(pages, fanout);
  if (argc > 4 && std::string(argv[3]) == "--write") std::ofstream(argv[4], std::ios::binary) << file;

  using Clock = std::chrono::steady_clock;
  auto t0 = Clock::now();
  kestrel::TKestrel0725 engine;
  kestrel::TSmartPDFLink* handle = engine.OpenDocument(file, "");
  const int count = engine.GetPageCount(handle);
  auto t1 = Clock::now();
  int found = 0;
  for (int n = 1; n <= count; ++n) found += engine.FindPage(handle, n) != nullptr;
  auto t2 = Clock::now();
  auto ms = [](auto d) { return std::chrono::duration<double, std::milli>(d).count(); };
  std::printf("pages %d (fanout %d, %zu bytes): open+count %.1f ms, FindPage for every page %.1f ms, found %d\n",
              count, fanout, file.size(), ms(t1 - t0), ms(t2 - t1), found);
  return found == count ? 0 : 1;
}
