// Damaged files open by rebuilding their cross-reference data from a scan: each way of damage
// below is applied to a file made here, which must then render exactly like the sound file.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "engine/kestrel.h"
#include "engine/output/page_output.h"
#include "support/pdf_builder.h"
#include "tests/access/crypt_test_support.h"

namespace kestrel {
namespace {

using crypt_test::Quote;
using crypt_test::RunCommand;

const char* const kPage1 = "1 0 0 rg 10 10 80 30 re f";
const char* const kPage2 = "0 0 1 rg 50 20 100 60 re f";

std::string TwoPages(bool xrefStream) {
  testpdf::PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<< /Type /Pages /Kids [3 0 R 5 0 R] /Count 2 >>");
  b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Contents 4 0 R >>");
  b.Stream(4, "", kPage1);
  b.Object(5, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Contents 6 0 R >>");
  b.Stream(6, "", kPage2);
  b.TrailerEntries("/Root 1 0 R");
  if (xrefStream) b.XRefStream().Compressed(7, {1, 2, 3, 5});
  return b.Build();
}

// Page `n` as BMP bytes, or empty.
std::string Render(TSmartPDFLink& link, int n) {
  TPDFIndRef* page = link.Document()->FindPage(n);
  if (!page) return {};
  std::string problem;
  TBytes out;
  RenderPageToStream(*link.Document(), *page, kFormatBMP, problem, out, TGDIPlusSettings{}, 75, 36);
  return out;
}

void ExpectLikeSound(const std::string& sound, const std::string& damaged, const char* name,
                     const std::string& password = "") {
  TSmartPDFLink good(TByteView(sound), password);
  ASSERT_TRUE(good.Okay()) << name;
  EXPECT_FALSE(good.Repaired()) << name;
  EXPECT_FALSE(good.Reader()->Scanned()) << name << ": a sound file is never scanned";
  TSmartPDFLink link(TByteView(damaged), password);
  ASSERT_TRUE(link.Okay()) << name << ": " << link.OpenProblemText();
  ASSERT_EQ(link.Document()->GetPageCount(), good.Document()->GetPageCount()) << name;
  for (int n = 1; n <= good.Document()->GetPageCount(); ++n) {
    const std::string want = Render(good, n);
    ASSERT_FALSE(want.empty()) << name;
    EXPECT_EQ(Render(link, n), want) << name << " page " << n;
  }
}

std::string Replace(std::string s, const std::string& from, const std::string& to, bool last = true) {
  const std::size_t at = last ? s.rfind(from) : s.find(from);
  if (at != std::string::npos) s.replace(at, from.size(), to);
  return s;
}

struct TDamage {
  const char* Name;
  std::function<std::string(const std::string&)> Apply;
  bool Rebuilt;  // the table is rebuilt (else one object is repaired on its own)
};

const TDamage kDamages[] = {
    {"no startxref", [](const std::string& f) { return Replace(f, "startxref", "startxxxx"); }, true},
    {"startxref off the table",
     [](const std::string& f) {
       const std::size_t at = f.rfind("startxref\n") + 10;
       return f.substr(0, at) + "77" + f.substr(at);
     },
     true},
    {"table cut off", [](const std::string& f) { return f.substr(0, f.rfind("\nxref") + 20); }, true},
    {"no table, no trailer",
     [](const std::string& f) {
       const std::size_t xref = f.rfind("\nxref");
       return f.substr(0, f.rfind("endobj", xref) + 6) + "\n%%EOF\n";
     },
     true},
    {"offsets miss every object",
     [](const std::string& f) {
       const std::size_t body = f.find("1 0 obj");
       return f.substr(0, body) + "% 12 bytes\n" + f.substr(body);
     },
     false},
    {"Prev chain broken",
     [](const std::string& f) {
       std::string u = testpdf::PdfBuilder::AppendUpdate(f, {{8, "(eight)"}}, "/Root 1 0 R");
       const std::size_t prev = u.rfind("/Prev ") + 6;
       return u.substr(0, prev) + "9" + u.substr(prev);
     },
     true},
    {"catalogue does not resolve", [](const std::string& f) { return Replace(f, "/Root 1 0 R", "/Root 9 0 R"); },
     true},
};

TEST(XRefRepair, EveryDamageOfAClassicFileRendersLikeTheSoundFile) {
  const std::string sound = TwoPages(false);
  for (const TDamage& d : kDamages) {
    const std::string damaged = d.Apply(sound);
    ASSERT_NE(damaged, sound) << d.Name;
    ExpectLikeSound(sound, damaged, d.Name);
    TSmartPDFLink link(TByteView(damaged), "");
    EXPECT_EQ(link.Repaired(), d.Rebuilt) << d.Name;
    if (d.Rebuilt) EXPECT_FALSE(link.RepairReason().empty()) << d.Name;
  }
}

TEST(XRefRepair, ObjectStreamsFoundByTheScanAreIndexed) {
  const std::string sound = TwoPages(true);
  ExpectLikeSound(sound, Replace(sound, "startxref", "startxxxx"), "xref stream, no startxref");
  // Without the cross-reference stream itself: only the scan knows the object stream.
  const std::size_t xref = sound.rfind(" 0 obj", sound.rfind("/XRef"));
  ExpectLikeSound(sound, sound.substr(0, sound.rfind('\n', xref)) + "\n%%EOF\n", "xref stream lost");
}

TEST(XRefRepair, QpdfObjectStreamAndEncryptedFilesWithABrokenStartxref) {
  if (!crypt_test::HaveQpdf()) GTEST_SKIP() << "qpdf is not installed";
  crypt_test::TTempDir dir;
  crypt_test::WriteFile(dir.File("plain.pdf"), TwoPages(false));
  auto qpdf = [&](const std::string& options, const std::string& out) {
    const auto run = RunCommand("qpdf " + options + " " + Quote(dir.File("plain.pdf")) + " " +
                                Quote(dir.File(out)));
    EXPECT_EQ(run.Status, 0) << run.Output;
    return crypt_test::ReadFile(dir.File(out));
  };
  auto breakStart = [](const std::string& f) { return Replace(f, "startxref", "startxxxx"); };
  const std::string packed = qpdf("--object-streams=generate", "packed.pdf");
  ExpectLikeSound(packed, breakStart(packed), "qpdf object streams");
  const std::string sealed = qpdf("--encrypt user owner 128 --use-aes=y --", "sealed.pdf");
  ExpectLikeSound(sealed, breakStart(sealed), "encrypted", "user");
  const std::string both = qpdf("--object-streams=generate --encrypt user owner 256 --", "both.pdf");
  ExpectLikeSound(both, breakStart(both), "encrypted object streams", "user");
  TSmartPDFLink wrong(TByteView(breakStart(both)), "nope");
  EXPECT_EQ(wrong.OpenProblem(), "BadPassword");
  EXPECT_EQ(wrong.OpenProblemText(), "wrong password");
}

TEST(XRefRepair, FilesWithoutObjectsStillFailWithTheirReason) {
  TKestrel0725 engine;
  const std::string garbage = "%PDF-1.4\n" + std::string(1 << 20, 'x') + "\nstartxref\n5\n%%EOF\n";
  EXPECT_EQ(engine.OpenDocument(garbage, ""), nullptr);
  EXPECT_EQ(engine.LastErrorCode, kErrorBadStructure);
  EXPECT_NE(engine.LastErrorText.find("cross-reference"), std::string::npos) << engine.LastErrorText;
}

}  // namespace
}  // namespace kestrel
