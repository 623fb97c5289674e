#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/ini_file.h"
#include "app/language_files.h"
#include "app/text_encoding.h"
#include "support/temp_dir.h"

namespace {

using plover::TIniFile;

std::vector<std::string> Keys(const TIniFile& ini, const char* section) {
  std::vector<std::string> keys;
  for (const auto& s : ini.Sections())
    if (s.Name == section)
      for (const auto& e : s.Entries) keys.push_back(e.Key);
  return keys;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(LanguageFiles, BothLanguagesCarryTheSameKeys) {
  const TIniFile zh = TIniFile::Parse(plover::BuiltInLanguageText(0));
  const TIniFile en = TIniFile::Parse(plover::BuiltInLanguageText(1));
  const std::vector<std::string> keys = Keys(zh, "Lge");
  EXPECT_EQ(keys, Keys(en, "Lge"));
  EXPECT_EQ(keys.size(), 56u);
  EXPECT_EQ(keys.front(), "FrmConvertImage.RBsame.Caption");
  EXPECT_EQ(Keys(zh, "Meg"), (std::vector<std::string>{"T0", "T1", "T2", "T3", "T4", "T5", "T6"}));
  EXPECT_EQ(Keys(en, "Meg"), Keys(zh, "Meg"));
  for (const std::string& key : keys) {
    EXPECT_FALSE(zh.ReadString("Lge", key, "").empty()) << key;
    EXPECT_FALSE(en.ReadString("Lge", key, "").empty()) << key;
  }
}

TEST(LanguageFiles, TextsOfTheTables) {
  const TIniFile zh = TIniFile::Parse(plover::BuiltInLanguageText(0));
  const TIniFile en = TIniFile::Parse(plover::BuiltInLanguageText(1));
  EXPECT_EQ(en.ReadString("Lge", "FrmConvertImage.ActRun.Caption", ""), "Convert");
  EXPECT_EQ(zh.ReadString("Lge", "FrmConvertImage.ActRun.Caption", ""), "\xE8\xBD\xAC\xE6\x8D\xA2");
  EXPECT_EQ(en.ReadString("Lge", "FrmConvertImage.PassPanel.Hint", ""),
            "Click \"Show / Hide\" open password input box");
  EXPECT_EQ(en.ReadString("Lge", "FrmConvertImage.Label1.Caption", ""), "Enter it before adding files");
  EXPECT_EQ(zh.ReadString("Lge", "FrmConvertImage.ActHelp.Caption", ""), "\xE5\xB8\xAE  \xE5\x8A\xA9");
  EXPECT_EQ(en.ReadString("Lge", "FrmConvertImage.VTS.Columns6", ""), "Note");
  EXPECT_EQ(en.ReadString("Lge", "FrmAbout.LabMail.Caption", ""), "E-mail:");
  EXPECT_EQ(en.ReadString("Meg", "T2", ""), "Please add files!");
  EXPECT_EQ(en.ReadString("Meg", "T3", ""), "Please tick the check boxes of the files to convert!");
  EXPECT_EQ(zh.ReadString("Meg", "T2", ""), "\xE8\xAF\xB7\xE6\xB7\xBB\xE5\x8A\xA0\xE6\x96\x87\xE4\xBB\xB6\xEF\xBC\x81");
}

TEST(LanguageFiles, FileBytesAreGbkWithCrLf) {
  const std::string en = plover::LanguageFileBytes(1);
  const std::string zh = plover::LanguageFileBytes(0);
  // English is ASCII apart from the full-width exclamation mark of T4.
  std::string nonAscii;
  for (char c : en)
    if (static_cast<unsigned char>(c) >= 0x80) nonAscii.push_back(c);
  EXPECT_EQ(nonAscii, "\xA3\xA1");
  EXPECT_FALSE(plover::IsValidUtf8(zh));
  EXPECT_NE(zh.find("\xD7\xAA\xBB\xBB"), std::string::npos);  // 转换 in GBK
  for (const std::string* bytes : {&en, &zh}) {
    for (std::size_t i = 0; i < bytes->size(); ++i) {
      if ((*bytes)[i] == '\n') {
        ASSERT_TRUE(i > 0 && (*bytes)[i - 1] == '\r') << i;
      }
    }
    EXPECT_EQ(bytes->substr(bytes->size() - 2), "\r\n");
  }
  EXPECT_EQ(plover::GbkToUtf8(zh).size(), plover::BuiltInLanguageText(0).size() +
                                              static_cast<std::size_t>(std::count(zh.begin(), zh.end(), '\n')));
}

TEST(LanguageFiles, WritesBothFilesAndReplacesOldOnes) {
  testsupport::TempDir dir;
  const std::string folder = dir.Path() + "/Language6/";
  ASSERT_TRUE(plover::WriteLanguageFiles(folder));
  EXPECT_EQ(ReadFile(folder + "zh-cn.dyy"), plover::LanguageFileBytes(0));
  EXPECT_EQ(ReadFile(folder + "en-us.dyy"), plover::LanguageFileBytes(1));
  std::ofstream(folder + "en-us.dyy") << "[Lge]\nFrmConvertImage.ActRun.Caption=Go\n";
  std::filesystem::remove(folder + "zh-cn.dyy");
  ASSERT_TRUE(plover::WriteLanguageFiles(folder));
  EXPECT_EQ(ReadFile(folder + "en-us.dyy"), plover::LanguageFileBytes(1));
  const std::optional<TIniFile> zh = TIniFile::Load(folder + "zh-cn.dyy");
  ASSERT_TRUE(zh.has_value());
  EXPECT_EQ(zh->ReadString("Lge", "FrmConvertImage.ActRun.Caption", ""), "\xE8\xBD\xAC\xE6\x8D\xA2");
  // Only the last level is created.
  EXPECT_FALSE(plover::WriteLanguageFiles(dir.Path() + "/no/such/Language6/"));
  EXPECT_FALSE(std::filesystem::exists(dir.Path() + "/no"));
}

}  // namespace
