// Opens every PDF of the shared developer corpus (skipped when it is absent) and checks the
// page count against qpdf's, as recorded in the corpus manifest.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/conversion_job.h"
#include "engine/kestrel.h"

namespace {

struct Row {
  std::string File, Pages, Encryption, Password, Features;
};

std::vector<Row> ReadManifest(const std::string& dir) {
  std::vector<Row> rows;
  std::ifstream in(dir + "/MANIFEST.tsv");
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::vector<std::string> cells;
    std::stringstream ss(line);
    std::string cell;
    while (std::getline(ss, cell, '\t')) cells.push_back(cell);
    cells.resize(9);
    rows.push_back({cells[0], cells[3], cells[4], cells[5], cells[7]});
  }
  return rows;
}

// The user password of a manifest row ("user=abc owner=def"), empty when none is given.
std::string UserPassword(const std::string& cell) {
  auto at = cell.find("user=");
  if (at == std::string::npos) return "";
  std::string pw = cell.substr(at + 5, cell.find(' ', at) - at - 5);
  return pw == "(empty)" ? "" : pw;
}

}  // namespace

TEST(Corpus, PageCountsAgreeWithQpdfOnCleanFiles) {
  const std::string dir = PLOVER_CORPUS_DIR;
  if (!std::filesystem::exists(dir + "/MANIFEST.tsv")) GTEST_SKIP() << "corpus not present";
  int checked = 0;
  for (const Row& row : ReadManifest(dir)) {
    std::string bytes = plover::ReadWholeFile(dir + "/" + row.File);
    kestrel::TKestrel0725 engine;
    kestrel::TSmartPDFLink* h = engine.OpenDocument(bytes, UserPassword(row.Password));
    const int count = engine.GetPageCount(h);
    // Walking every page must be safe on every file, damaged ones included.
    for (int n = 1; n <= count && n <= 2000; ++n) engine.FindPage(h, n);
    const bool clean = row.Features.find("qpdf --check OK") != std::string::npos;
    // Encrypted files need the security handler; the pages of huge declared counts do not fit.
    if (!clean || row.Encryption != "none" || row.Pages.size() > 9) continue;
    EXPECT_EQ(std::to_string(count), row.Pages) << row.File;
    ++checked;
  }
  EXPECT_GT(checked, 50);
}
