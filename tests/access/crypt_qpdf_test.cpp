// The security handler against qpdf in both directions: files qpdf encrypts are opened and
// decrypted here, and files encrypted here are opened and decrypted by qpdf.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/access/crypt_builder.h"
#include "engine/access/crypt_standard_handler.h"
#include "tests/access/crypt_test_support.h"

namespace kestrel {
namespace {

using namespace crypt_test;

struct TQpdfCase {
  const char* Name;
  const char* User;
  const char* Owner;
  const char* Options;  // between --encrypt U O and --
};

const TQpdfCase kQpdfCases[] = {
    {"RC4-40", "u", "o", "40"},
    {"RC4-128", "u", "o", "128"},
    {"V4-RC4", "u", "o", "128 --force-V4"},
    {"V4-AES128", "u", "o", "128 --use-aes=y"},
    {"V4-AES128-cleartext-metadata", "u", "o", "128 --use-aes=y --cleartext-metadata"},
    {"AES256-R5", "u", "o", "256 --force-R5"},
    {"AES256-R6", "u", "o", "256"},
    {"RC4-128-owner-only", "", "o", "128"},
    {"AES256-R6-owner-only", "", "o", "256"},
    {"RC4-40-long-passwords", "a user password longer than 32 bytes",
     "an owner password longer than 32 bytes", "40"},
    {"AES256-R6-utf8", "p\xC3\xA4sswort", "\xE5\xAF\x86\xE7\xA0\x81", "256"},
    // qpdf stores these in PDFDocEncoding; the handler takes them as typed (UTF-8).
    {"RC4-128-non-ascii", "p\xC3\xA4sswort", "\xE2\x82\xAC-owner", "128"},
};

class CryptQpdfReads : public ::testing::TestWithParam<TQpdfCase> {};

TEST_P(CryptQpdfReads, KeysPasswordsAndDecryptedObjectsAgreeWithQpdf) {
  if (!HaveQpdf()) GTEST_SKIP() << "qpdf is not installed";
  const TQpdfCase& c = GetParam();
  TTempDir dir;
  const std::string plain = dir.File("plain.pdf");
  const std::string sealed = dir.File("sealed.pdf");
  WriteFile(plain, WritePDF(PlainObjects("(" + std::string(kTitle) + ")", kContent),
                            "/Root 1 0 R /Info 5 0 R"));
  const TRun made = RunCommand(
      "qpdf --object-streams=disable --compress-streams=n --allow-weak-crypto"
      " --encrypt " +
      Quote(c.User) + " " + Quote(c.Owner) + " " + c.Options + " -- " + Quote(plain) + " " +
      Quote(sealed));
  ASSERT_EQ(made.Status, 0) << made.Output;

  const TParsedFile file = ParseFile(ReadFile(sealed));
  const TSmartPDFEncryption rec = RecordOf(file);
  const auto qpdfKey = QpdfFileKey(sealed, c.User);
  ASSERT_TRUE(qpdfKey.has_value());

  TSmartPDFCrypt crypt(rec);
  ASSERT_TRUE(crypt.IsSupported());
  EXPECT_FALSE(crypt.ApplyPassword("wrong"));
  EXPECT_FALSE(crypt.HasKey());
  EXPECT_EQ(crypt.ApplyPassword(""), std::string(c.User).empty());
  ASSERT_TRUE(crypt.CheckUserPassword(c.User));
  EXPECT_EQ(Hex(crypt.FileKey()), Hex(*qpdfKey));
  EXPECT_TRUE(crypt.PermsValid());

  // The title string and the content stream decrypt to what went in.
  const int info = file.RefAfter(file.Trailer, "/Info");
  const std::string infoBody = file.Body(info);
  const auto title = ValueAfter(infoBody, "/Title");
  ASSERT_TRUE(title.has_value());
  EXPECT_EQ(crypt.DecryptString(ParseString(*title).value_or(""), info, 0), kTitle);
  int contents = 0;
  for (const auto& [num, body] : file.Objects)
    if (body.find("/MediaBox") != std::string::npos) contents = file.RefAfter(body, "/Contents");
  ASSERT_NE(contents, 0);
  EXPECT_EQ(crypt.DecryptStream(file.StreamData(contents), contents, 0), kContent);

  // The owner password alone yields the same file key.
  TSmartPDFCrypt byOwner(rec);
  EXPECT_FALSE(byOwner.CheckUserPassword(c.Owner));
  ASSERT_TRUE(byOwner.ApplyPassword(c.Owner));
  EXPECT_TRUE(byOwner.OwnerPasswordMatched());
  EXPECT_EQ(Hex(byOwner.FileKey()), Hex(*qpdfKey));
}

INSTANTIATE_TEST_SUITE_P(Variants, CryptQpdfReads, ::testing::ValuesIn(kQpdfCases),
                         [](const auto& info) {
                           std::string n = info.param.Name;
                           for (char& ch : n)
                             if (ch == '-') ch = '_';
                           return n;
                         });

struct TWriteCase {
  const char* Name;
  int32_t V, R, LengthBits;
  TCryptMethod Method;
  bool EncryptMetadata;
};

const TWriteCase kWriteCases[] = {
    {"RC4-40", 1, 2, 40, TCryptMethod::RC4, true},
    {"RC4-R3-40", 2, 3, 40, TCryptMethod::RC4, true},
    {"RC4-R3-64", 2, 3, 64, TCryptMethod::RC4, true},
    {"RC4-R3-96", 2, 3, 96, TCryptMethod::RC4, true},
    {"RC4-R3-128", 2, 3, 128, TCryptMethod::RC4, true},
    {"V4-RC4", 4, 4, 128, TCryptMethod::RC4, true},
    {"V4-AES128", 4, 4, 128, TCryptMethod::AESV2, true},
    {"V4-AES128-cleartext-metadata", 4, 4, 128, TCryptMethod::AESV2, false},
    {"AES256-R5", 5, 5, 256, TCryptMethod::AESV3, true},
    {"AES256-R6", 5, 6, 256, TCryptMethod::AESV3, true},
};

std::string CFMName(TCryptMethod m) {
  switch (m) {
    case TCryptMethod::RC4: return "V2";
    case TCryptMethod::AESV2: return "AESV2";
    case TCryptMethod::AESV3: return "AESV3";
    default: return "None";
  }
}

std::string EncryptDictionary(const TSmartPDFEncryption& rec) {
  std::string d = "<< /Filter /Standard /V " + std::to_string(rec.V) + " /R " +
                  std::to_string(rec.R) + " /Length " + std::to_string(rec.LengthBits) + " /P " +
                  std::to_string(rec.P) + " /O <" + Hex(rec.O) + "> /U <" + Hex(rec.U) + ">";
  if (rec.R >= 5)
    d += " /OE <" + Hex(rec.OE) + "> /UE <" + Hex(rec.UE) + "> /Perms <" + Hex(rec.Perms) + ">";
  if (rec.V >= 4) {
    d += " /CF << /StdCF << /AuthEvent /DocOpen /CFM /" + CFMName(rec.StreamMethod) + " /Length " +
         std::to_string(rec.LengthBits / 8) + " >> >> /StmF /StdCF /StrF /StdCF";
  }
  if (!rec.EncryptMetadata) d += " /EncryptMetadata false";
  return d + " >>";
}

const TBytes kBoundarySalts = Unhex(
    "5c00000000000000"
    "8900000000000000"
    "0100000000000000"
    "0200000000000000");

class CryptQpdfWrites : public ::testing::TestWithParam<TWriteCase> {};

TEST_P(CryptQpdfWrites, QpdfOpensAndDecryptsWhatWeEncrypt) {
  if (!HaveQpdf()) GTEST_SKIP() << "qpdf is not installed";
  const TWriteCase& c = GetParam();
  TStandardEncryptionSetup setup;
  setup.V = c.V;
  setup.R = c.R;
  setup.LengthBits = c.LengthBits;
  setup.Method = c.Method;
  setup.EncryptMetadata = c.EncryptMetadata;
  setup.UserPassword = "user";
  setup.OwnerPassword = "owner";
  setup.FileID0 = Unhex("5a5b5c5d000102030405060708090a0b");
  setup.P = -1340;
  // R 6: salts whose hashes for the password "user" end exactly at the round-count boundary
  // (see CryptHandler.R6HashRoundBoundaries), so an off-by-one there cannot go unnoticed.
  setup.Salts = kBoundarySalts;
  setup.FileKey = TBytes(32, '\x5c');
  const TSmartPDFEncryption rec = BuildStandardEncryption(setup);
  TSmartPDFCrypt crypt(rec);
  ASSERT_TRUE(crypt.CheckUserPassword("user"));

  std::vector<std::string> objects = PlainObjects(
      "<" + Hex(crypt.EncryptString(kTitle, 5, 0)) + ">", crypt.EncryptStream(kContent, 4, 0));
  objects.push_back(EncryptDictionary(rec));
  const std::string id = Hex(setup.FileID0);
  TTempDir dir;
  const std::string sealed = dir.File("ours.pdf");
  WriteFile(sealed, WritePDF(objects, "/Root 1 0 R /Info 5 0 R /Encrypt 6 0 R /ID [<" + id + "> <" +
                                          id + ">]"));

  EXPECT_EQ(Hex(QpdfFileKey(sealed, "user").value_or("no key")), Hex(crypt.FileKey()));
  // For R 3 keys under 128 bits qpdf hashes only the first n bytes in the owner key's extra
  // MD5 rounds, where ISO 32000 hashes the whole digest (which is what we write), so qpdf
  // cannot match such an owner password. Reading accepts both (see CryptHandler tests).
  const bool ownerReadingsDiffer = c.R >= 3 && c.R <= 4 && c.LengthBits < 128;
  if (ownerReadingsDiffer)
    EXPECT_FALSE(QpdfFileKey(sealed, "owner").has_value());
  else
    EXPECT_EQ(Hex(QpdfFileKey(sealed, "owner").value_or("no key")), Hex(crypt.FileKey()));
  EXPECT_FALSE(QpdfFileKey(sealed, "guess").has_value());

  const TRun info = RunCommand("qpdf --password=user --show-object=5 " + Quote(sealed));
  EXPECT_NE(info.Output.find(std::string("(") + kTitle + ")"), std::string::npos) << info.Output;
  const TRun content =
      RunCommand("qpdf --password=user --show-object=4 --filtered-stream-data " + Quote(sealed));
  EXPECT_EQ(content.Output, kContent);
}

INSTANTIATE_TEST_SUITE_P(Variants, CryptQpdfWrites, ::testing::ValuesIn(kWriteCases),
                         [](const auto& info) {
                           std::string n = info.param.Name;
                           for (char& ch : n)
                             if (ch == '-') ch = '_';
                           return n;
                         });

}  // namespace
}  // namespace kestrel
