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
    EXPECT_TRUE(Render(link, n) == want) << name << " page " << n;
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

// A scanned page (an RGB picture whose stream "Length" is an indirect object) and a page in
// Lab colours whose resources come last in its dictionary.
std::string ScanAndLab() {
  std::string pixels;
  for (int i = 0; i < 16 * 12 * 3; ++i) pixels += static_cast<char>((i * 37 + 10) % 251);
  pixels[0] = '\n';  // data that starts with a line feed tells a lone CR from CR LF
  pixels[1] = '\r';
  testpdf::PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<< /Type /Pages /Kids [3 0 R 6 0 R] /Count 2 >>");
  b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 160 120] /Contents 4 0 R "
              "/Resources << /XObject << /Im1 5 0 R >> >> >>");
  b.Stream(4, "", "q 160 0 0 120 0 0 cm /Im1 Do Q");
  b.Object(5, "<< /Type /XObject /Subtype /Image /Width 16 /Height 12 /ColorSpace /DeviceRGB "
              "/BitsPerComponent 8 /Length 7 0 R >>\nstream\n" + pixels + "\nendstream");
  b.Object(6, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 160 120] /Contents 8 0 R "
              "/Resources << /ColorSpace << /CS0 [/Lab << /WhitePoint [0.9505 1 1.089] >>] >> >> >>");
  b.Object(7, std::to_string(pixels.size()));
  b.Stream(8, "", "/CS0 cs 60 40 -30 sc 20 20 120 80 re f");
  b.TrailerEntries("/Root 1 0 R");
  return b.Build();
}

// The test-side writer of damage: edits of a file built above, each as a real writer or a
// careless transfer leaves it.
std::size_t EntryAt(const std::string& f, int num) {
  const std::size_t table = f.rfind("xref\n0 ");
  return f.find('\n', table + 5) + 1 + 20 * static_cast<std::size_t>(num);
}
long OffsetOf(const std::string& f, int num) { return std::stol(f.substr(EntryAt(f, num), 10)); }
std::string SetOffset(std::string f, int num, long offset) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%010ld", offset);
  f.replace(EntryAt(f, num), 10, digits);
  return f;
}
// Replaces `count` bytes at `at` by `text`, moving the table's offsets and startxref along.
std::string Splice(std::string f, std::size_t at, std::size_t count, const std::string& text) {
  const auto shift = static_cast<long>(text.size()) - static_cast<long>(count);
  for (int n = 1; EntryAt(f, n) + 20 <= f.rfind("trailer"); ++n)
    if (f[EntryAt(f, n) + 17] == 'n' && OffsetOf(f, n) > static_cast<long>(at)) f = SetOffset(f, n, OffsetOf(f, n) + shift);
  const std::size_t sx = f.rfind("startxref\n") + 10;
  f.replace(sx, f.find('\n', sx) - sx, std::to_string(std::stol(f.substr(sx)) + shift));
  return f.replace(at, count, text);
}
std::size_t ObjectAt(const std::string& f, int num) { return static_cast<std::size_t>(OffsetOf(f, num)); }
// The "stream" line end of object `num` replaced.
std::string StreamLine(const std::string& f, int num, const std::string& lineEnd) {
  std::string out = f;
  const std::size_t kw = out.find("stream\n", ObjectAt(out, num)) + 6;
  out.replace(kw, 1, lineEnd);
  return out;
}
std::string LengthValue(const std::string& f, long delta) {
  const std::size_t at = f.find("\n", ObjectAt(f, 7)) + 1;
  const std::string digits = f.substr(at, f.find('\n', at) - at);
  return Splice(f, at, digits.size(), std::to_string(std::stol(digits) + delta));
}
std::string InPageDictionary(const std::string& f, int page, const std::string& from, const std::string& to) {
  return Splice(f, f.find(from, ObjectAt(f, page)), from.size(), to);
}
// The table split in two subsections ("0 5" and "5 N") with the second header unreadable.
std::string BrokenSubsection(const std::string& f) {
  std::string out = f;
  out.insert(EntryAt(out, 5), "5 x4\n");
  const std::size_t header = out.rfind("xref\n0 ") + 5;
  out.replace(header, out.find('\n', header) - header, "0 5");
  return out;
}

const TDamage kSecondRound[] = {
    {"entry points at another object", [](const std::string& f) { return SetOffset(f, 5, OffsetOf(f, 4)); }, false},
    {"entry points into its object", [](const std::string& f) { return SetOffset(f, 5, OffsetOf(f, 5) + 12); }, false},
    {"entry's generation differs",
     [](const std::string& f) { std::string o = f; o.replace(EntryAt(o, 5) + 11, 5, "00001"); return o; }, false},
    {"entry that does not parse",
     [](const std::string& f) { std::string o = f; o.insert(EntryAt(o, 3), "000777777777"); return o; }, false},
    {"subsection that does not parse", BrokenSubsection, false},
    {"stale copy at the entry's offset",
     [](const std::string& f) {
       const std::string stale = "5 0 obj\n<< /Subtype /Image /Length 7 0 R >>\nstream\nshort\nendobj\n";
       const std::size_t at = ObjectAt(f, 4);
       return SetOffset(Splice(f, at, 0, stale), 5, static_cast<long>(at));
     },
     false},
    {"stream then CR", [](const std::string& f) { return StreamLine(f, 4, "\r"); }, false},
    // The page's content, not the picture: picture data that begins with a line feed, after
    // a lone CR or right after the keyword, reads as any reader takes it, with that line feed
    // as the line end.
    {"stream then nothing", [](const std::string& f) { return StreamLine(f, 4, ""); }, false},
    {"stream then spaces", [](const std::string& f) { return StreamLine(f, 5, "  \n"); }, false},
    {"Length short", [](const std::string& f) { return LengthValue(f, -20); }, false},
    {"Length long", [](const std::string& f) { return LengthValue(f, 20); }, false},
    {"Length object missing", [](const std::string& f) { std::string o = f; o.replace(EntryAt(o, 7), 18, "0000000000 65535 f"); return o; }, false},
    {"key that is not a name",
     [](const std::string& f) { return BrokenSubsection(InPageDictionary(f, 6, "/Contents", "0 (junk) /Contents")); }, false},
    {"value missing", [](const std::string& f) { return InPageDictionary(f, 3, "/Contents", "/Rotate ) /Contents"); }, false},
    {"a >> too many", [](const std::string& f) { return InPageDictionary(f, 3, "/MediaBox", ">> /MediaBox"); }, false},
    {"a >> too few", [](const std::string& f) { return InPageDictionary(f, 3, ">> >> >>", ">> >>"); }, false},
};

TEST(XRefRepair, SecondRoundDamageRendersLikeTheSoundFile) {
  const std::string sound = ScanAndLab();
  for (const TDamage& d : kSecondRound) {
    const std::string damaged = d.Apply(sound);
    ASSERT_NE(damaged, sound) << d.Name;
    ExpectLikeSound(sound, damaged, d.Name);
  }
}

TEST(XRefRepair, APageWithAnObjectNowhereInTheFileSaysWhichOne) {
  TKestrel0725 engine;
  auto problemOfPage1 = [&](const std::string& file) {
    TSmartPDFLink* link = engine.OpenDocument(file, "");
    TBytes out;
    EXPECT_EQ(engine.RenderPageToStream(link, engine.FindPage(link, 1), out, 36, kFormatBMP), 1);
    EXPECT_FALSE(out.empty());
    return engine.LastRenderProblem;
  };
  const std::string sound = ScanAndLab();
  EXPECT_EQ(problemOfPage1(sound), "");
  std::string lost = sound;
  lost.replace(ObjectAt(lost, 5) + 2, 5, "0 xyz");  // "5 0 obj" gone: the scan cannot find it
  EXPECT_EQ(problemOfPage1(lost), "object 5 0 R not found");
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
