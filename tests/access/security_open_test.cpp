// Encrypted documents made at test time with qpdf open with their user or owner password,
// and their strings and streams come back as they were before encryption.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/conversion_job.h"
#include "engine/access/crypt_primitives.h"
#include "engine/kestrel.h"
#include "support/pdf_builder.h"
#include "support/temp_dir.h"

using namespace kestrel;

namespace {

bool HaveQpdf() { return std::system("qpdf --version >/dev/null 2>&1") == 0; }

const std::string kContent = "0 0 m 100 50 l S % a content stream to recognise";

std::string Plain() {
  testpdf::PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<< /Type /Pages /Kids [3 0 R 5 0 R] /Count 2 >>");
  b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Contents 4 0 R >>");
  b.Stream(4, "", kContent);
  b.Object(5, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Contents 4 0 R >>");
  b.Object(6, "<< /Title (Secret title) >>");
  b.TrailerEntries("/Root 1 0 R /Info 6 0 R");
  return b.Build();
}

struct Variant {
  const char* Name;
  const char* Args;  // qpdf --encrypt arguments after the passwords
  const char* Kind;  // what --info calls it
};

const Variant kVariants[] = {
    {"rc4-40", "40 --", "RC4-40"},
    {"rc4-128", "128 --use-aes=n --", "RC4-128"},
    {"rc4-128-v4", "128 --use-aes=n --force-V4 --", "RC4-128"},
    {"aes-128", "128 --use-aes=y --", "AES-128"},
    {"aes-256-r6", "256 --", "AES-256"},
    {"aes-256-r5", "256 --force-R5 --", "AES-256"},
};

std::string Encrypt(const testsupport::TempDir& dir, const Variant& v, const std::string& user,
                    const std::string& owner, const std::string& extra = "") {
  std::string in = dir.Write("plain.pdf", Plain());
  std::string out = dir.Path() + "/" + v.Name + ".pdf";
  std::string cmd = "qpdf --allow-weak-crypto " + extra + " --encrypt '" + user + "' '" + owner + "' " + v.Args +
                    " " + in + " " + out + " 2>/dev/null";
  if (std::system(cmd.c_str()) != 0) return "";
  return plover::ReadWholeFile(out);
}

void ExpectDecrypted(TKestrel& engine, TSmartPDFLink* h) {
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(engine.GetPageCount(h), 2);
  TPDFIndRef* page = engine.FindPage(h, 2);
  ASSERT_NE(page, nullptr);
  auto* dict = h->Document()->PageDictionary(page);
  ASSERT_NE(dict, nullptr);
  auto* contents = As<TPDFStream>(dict->GetValue("Contents"));
  ASSERT_NE(contents, nullptr);
  EXPECT_EQ(contents->Decode(), kContent);
  auto* info = h->Document()->InfoDictionary();
  ASSERT_NE(info, nullptr);
  auto* title = As<TPDFString>(info->GetValue("Title"));
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->AsUnicode(), "Secret title");
}

}  // namespace

TEST(SecurityOpen, UserOwnerWrongAndEmptyPasswords) {
  if (!HaveQpdf()) GTEST_SKIP() << "qpdf not installed";
  testsupport::TempDir dir;
  for (const Variant& v : kVariants) {
    SCOPED_TRACE(v.Name);
    std::string file = Encrypt(dir, v, "user pw", "owner pw");
    ASSERT_FALSE(file.empty());
    {
      TKestrel0725 engine;
      ExpectDecrypted(engine, engine.OpenDocument(file, "user pw"));
    }
    {
      TKestrel0725 engine;
      ExpectDecrypted(engine, engine.OpenDocument(file, "owner pw"));
    }
    {
      TKestrel0725 engine;
      EXPECT_EQ(engine.OpenDocument(file, "wrong"), nullptr);
      EXPECT_EQ(engine.LastErrorCode, kErrorBadPassword);
      EXPECT_EQ(engine.OpenDocument(file, ""), nullptr);
    }
    TSmartPDFLink link(file, "user pw");
    ASSERT_TRUE(link.Okay());
    EXPECT_EQ(link.Info()->Describe(), v.Kind);
  }
}

TEST(SecurityOpen, EmptyUserPasswordOpensWithoutTyping) {
  if (!HaveQpdf()) GTEST_SKIP() << "qpdf not installed";
  testsupport::TempDir dir;
  for (const Variant& v : kVariants) {
    SCOPED_TRACE(v.Name);
    std::string file = Encrypt(dir, v, "", "only owner");
    ASSERT_FALSE(file.empty());
    TKestrel0725 engine;
    ExpectDecrypted(engine, engine.OpenDocument(file, ""));
    TKestrel0725 again;
    ExpectDecrypted(again, again.OpenDocument(file, "only owner"));
  }
}

TEST(SecurityOpen, AnEncryptEntryThatIsNoDictionaryIsReadAsPlain) {
  // A damaged encryption dictionary says nothing about a method: the file opens as it stands.
  testpdf::PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Contents 4 0 R >>");
  b.Stream(4, "", kContent);
  b.Object(5, "E< /Filter /Standard /V 5 /R 6 >>");
  b.TrailerEntries("/Root 1 0 R /Encrypt 5 0 R");
  const std::string file = b.Build();
  TKestrel0725 engine;
  TSmartPDFLink* h = engine.OpenDocument(file, "");
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(engine.GetPageCount(h), 1);
  auto* dict = h->Document()->PageDictionary(engine.FindPage(h, 1));
  ASSERT_NE(dict, nullptr);
  auto* contents = As<TPDFStream>(dict->GetValue("Contents"));
  ASSERT_NE(contents, nullptr);
  EXPECT_EQ(contents->Decode(), kContent);
}

TEST(SecurityOpen, EncryptedObjectStreams) {
  if (!HaveQpdf()) GTEST_SKIP() << "qpdf not installed";
  testsupport::TempDir dir;
  for (const Variant& v : {kVariants[1], kVariants[3], kVariants[4]}) {
    SCOPED_TRACE(v.Name);
    std::string file = Encrypt(dir, v, "u", "o", "--object-streams=generate");
    ASSERT_FALSE(file.empty());
    TKestrel0725 engine;
    TSmartPDFLink* h = engine.OpenDocument(file, "u");
    ExpectDecrypted(engine, h);
    EXPECT_TRUE(h->Reader()->HasXRefStream());
  }
}

TEST(SecurityOpen, EncryptedPagesRenderLikeTheOriginal) {
  if (!HaveQpdf()) GTEST_SKIP() << "qpdf not installed";
  testsupport::TempDir dir;
  const std::string plain = Plain();
  TKestrel0725 reference;
  TSmartPDFLink* ph = reference.OpenDocument(plain, "");
  ASSERT_NE(ph, nullptr);
  TBytes expected;
  ASSERT_EQ(reference.RenderPageToStream(ph, reference.FindPage(ph, 1), expected, 72, 5), 1);
  ASSERT_FALSE(expected.empty());
  for (const Variant& v : kVariants) {
    SCOPED_TRACE(v.Name);
    std::string file = Encrypt(dir, v, "u", "o");
    ASSERT_FALSE(file.empty());
    TKestrel0725 engine;
    TSmartPDFLink* h = engine.OpenDocument(file, "o");
    ASSERT_NE(h, nullptr);
    TBytes page;
    ASSERT_EQ(engine.RenderPageToStream(h, engine.FindPage(h, 1), page, 72, 5), 1);
    EXPECT_EQ(page, expected);
  }
}

TEST(SecurityPrimitives, AES128BlockCipherRoundTrip) {
  const TBytes key(16, '\x2b');
  const TBytes iv(16, '\x01');
  const TBytes data = "sixteen byte blk" + std::string("another block 16");
  TKestrelAES128 aes(key);
  TBytes sealed = aes.EncryptCBC(iv, data);
  EXPECT_EQ(sealed.size(), data.size());
  EXPECT_NE(sealed, data);
  EXPECT_EQ(aes.DecryptCBC(iv, sealed), data);
  EXPECT_TRUE(TKestrelAES128(TBytes(5, 'k')).EncryptCBC(iv, data).empty());
}
