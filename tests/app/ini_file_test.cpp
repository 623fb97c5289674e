#include <gtest/gtest.h>

#include <filesystem>

#include "app/ini_file.h"
#include "app/text_encoding.h"
#include "support/temp_dir.h"

namespace {

using plover::TIniFile;

TEST(IniFile, ReadsSectionsKeysAndValues) {
  const TIniFile ini = TIniFile::Parse(
      "; comment\r\n"
      "orphan=before any section\r\n"
      "[Lge]\r\n"
      "  Form.Button.Caption  =  Convert now  \r\n"
      "Form.Empty=\r\n"
      "\t \r\n"
      "no equals sign here\r\n"
      "=no key\r\n"
      "Form.Eq=a=b\n"
      "[ Meg ]\r"
      "T2=Please add files!\n");
  EXPECT_EQ(ini.Find("Lge", "Form.Button.Caption"), std::optional<std::string>("Convert now"));
  EXPECT_EQ(ini.Find("Lge", "Form.Empty"), std::optional<std::string>(""));
  EXPECT_EQ(ini.ReadString("Lge", "Form.Eq", "x"), "a=b");
  EXPECT_EQ(ini.ReadString("Meg", "T2", ""), "Please add files!");
  EXPECT_EQ(ini.ReadString("Lge", "orphan", "none"), "none");
  EXPECT_EQ(ini.ReadString("Lge", "", "none"), "none");
  EXPECT_EQ(ini.ReadString("Lge", "missing", "fallback"), "fallback");
  ASSERT_EQ(ini.Sections().size(), 2u);
  EXPECT_EQ(ini.Sections()[0].Entries.size(), 3u);
}

TEST(IniFile, NamesIgnoreCaseAndTheFirstOneCounts) {
  const TIniFile ini = TIniFile::Parse("[SET]\nY=1\ny=0\n[set]\nP=/second\n");
  EXPECT_EQ(ini.ReadString("set", "y", ""), "1");
  EXPECT_EQ(ini.ReadString("Set", "Y", ""), "1");
  // A second section of the same name is not searched.
  EXPECT_EQ(ini.ReadString("set", "P", "none"), "none");
}

TEST(IniFile, ReadsIntegersStrictly) {
  const TIniFile ini = TIniFile::Parse("[set]\na=12\nb=-1\nc=+3\nd=1x\ne=\nf=99999999999\ng= 7 \n");
  EXPECT_EQ(ini.ReadInteger("set", "a", 5), 12);
  EXPECT_EQ(ini.ReadInteger("set", "b", 5), -1);
  EXPECT_EQ(ini.ReadInteger("set", "c", 5), 3);
  EXPECT_EQ(ini.ReadInteger("set", "d", 5), 5);
  EXPECT_EQ(ini.ReadInteger("set", "e", 5), 5);
  EXPECT_EQ(ini.ReadInteger("set", "f", 5), 5);
  EXPECT_EQ(ini.ReadInteger("set", "g", 5), 7);
  EXPECT_EQ(ini.ReadInteger("set", "missing", 5), 5);
}

TEST(IniFile, GbkAndUtf8FilesReadAlike) {
  const std::string utf8 = "[Lge]\r\nF.ActRun.Caption=\xE8\xBD\xAC\xE6\x8D\xA2\r\n";  // 转换
  const std::optional<std::string> gbk = plover::Utf8ToGbk(utf8);
  ASSERT_TRUE(gbk.has_value());
  const std::string expected = "\xE8\xBD\xAC\xE6\x8D\xA2";
  EXPECT_EQ(TIniFile::Parse(utf8).ReadString("Lge", "F.ActRun.Caption", ""), expected);
  EXPECT_EQ(TIniFile::Parse(*gbk).ReadString("Lge", "F.ActRun.Caption", ""), expected);
  EXPECT_EQ(TIniFile::Parse("\xEF\xBB\xBF" + utf8).ReadString("lge", "f.actrun.caption", ""), expected);
}

TEST(IniFile, WritesWhatReadsBackAndRefusesTheRest) {
  TIniFile ini = TIniFile::Parse("[set]\nY=0\n[other]\nkeep=me\n");
  EXPECT_TRUE(ini.WriteString("SET", "y", "1"));
  EXPECT_TRUE(ini.WriteString("set", "P", "/home/u/out put=x"));
  EXPECT_TRUE(ini.WriteString("new", "k", ""));
  EXPECT_FALSE(ini.WriteString("set", "P", "/a\nb"));
  EXPECT_FALSE(ini.WriteString("set", "P", " padded"));
  EXPECT_FALSE(ini.WriteString("set", "a=b", "v"));
  EXPECT_FALSE(ini.WriteString("set", "", "v"));
  EXPECT_FALSE(ini.WriteString("set", ";k", "v"));
  EXPECT_FALSE(ini.WriteString("se]t", "k", "v"));
  const std::string text = ini.Serialize();
  EXPECT_EQ(text, "[set]\r\nY=1\r\nP=/home/u/out put=x\r\n[other]\r\nkeep=me\r\n[new]\r\nk=\r\n");
  const TIniFile again = TIniFile::Parse(text);
  EXPECT_EQ(again.ReadString("set", "P", ""), "/home/u/out put=x");
  EXPECT_EQ(again.ReadString("other", "keep", ""), "me");
}

TEST(IniFile, SavesAndLoadsFiles) {
  testsupport::TempDir dir;
  const std::string path = dir.Path() + "/plover.ini";
  EXPECT_FALSE(TIniFile::Load(path).has_value());
  TIniFile ini;
  ASSERT_TRUE(ini.WriteString("set", "P", "/tmp"));
  ASSERT_TRUE(ini.Save(path));
  EXPECT_FALSE(std::filesystem::exists(path + ".new"));
  const std::optional<TIniFile> loaded = TIniFile::Load(path);
  ASSERT_TRUE(loaded.has_value());
  EXPECT_EQ(loaded->ReadString("set", "P", ""), "/tmp");
  // A folder is not an INI file, a huge file is not read, a missing folder cannot be saved to.
  EXPECT_FALSE(TIniFile::Load(dir.Path()).has_value());
  dir.Write("big.ini", "[set]\nY=1\n" + std::string(plover::kMaxIniFileBytes, ';'));
  EXPECT_FALSE(TIniFile::Load(dir.Path() + "/big.ini").has_value());
  EXPECT_FALSE(ini.Save(dir.Path() + "/missing/plover.ini"));
}

}  // namespace
