#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/ini_file.h"
#include "app/settings_file.h"
#include "support/temp_dir.h"

namespace {

using plover::ReadSettings;
using plover::TSettings;
using plover::WriteSettings;

TEST(SettingsFile, DefaultsWhenMissing) {
  testsupport::TempDir dir;
  const TSettings s = ReadSettings(dir.Path() + "/plover.ini", "/home/someone/");
  EXPECT_EQ(s.Language, -1);
  EXPECT_EQ(s.OutputFolder, "/home/someone/");
  EXPECT_FALSE(s.CustomFolder);
}

TEST(SettingsFile, ReadsTheThreeKeys) {
  testsupport::TempDir dir;
  const std::string path = dir.Write("plover.ini", "[set]\r\nY=1\r\nP=" + dir.Path() + "\r\nC=1\r\n");
  const TSettings s = ReadSettings(path, "/default/");
  EXPECT_EQ(s.Language, 1);
  EXPECT_EQ(s.OutputFolder, dir.Path());
  EXPECT_TRUE(s.CustomFolder);
  // A folder that has gone and a language without a table fall back.
  dir.Write("plover.ini", "[set]\nY=7\nP=" + dir.Path() + "/gone\nC=0\n");
  const TSettings t = ReadSettings(path, "/default/");
  EXPECT_EQ(t.Language, -1);
  EXPECT_EQ(t.OutputFolder, "/default/");
  EXPECT_FALSE(t.CustomFolder);
}

TEST(SettingsFile, WritesAllKeysTogetherAndKeepsOthers) {
  testsupport::TempDir dir;
  const std::string path = dir.Path() + "/sub/plover.ini";
  ASSERT_TRUE(WriteSettings(path, TSettings{0, dir.Path(), true}));
  std::optional<plover::TIniFile> ini = plover::TIniFile::Load(path);
  ASSERT_TRUE(ini.has_value());
  EXPECT_EQ(ini->ReadString("set", "Y", ""), "0");
  EXPECT_EQ(ini->ReadString("set", "P", ""), dir.Path());
  EXPECT_EQ(ini->ReadString("set", "C", ""), "1");
  std::ofstream(path, std::ios::app) << "[extra]\r\nkeep=1\r\n";
  ASSERT_TRUE(WriteSettings(path, TSettings{1, dir.Path(), false, 5, 150}));
  ini = plover::TIniFile::Load(path);
  EXPECT_EQ(ini->ReadString("set", "Y", ""), "1");
  EXPECT_EQ(ini->ReadString("set", "C", ""), "0");
  EXPECT_EQ(ini->ReadString("extra", "keep", ""), "1");
  const TSettings back = ReadSettings(path, "/x/");
  EXPECT_EQ(back.Language, 1);
  EXPECT_EQ(back.OutputFolder, dir.Path());
  EXPECT_EQ(back.FormatIndex, 5);
  EXPECT_EQ(back.Dpi, 150);
  // A resolution out of range is not taken.
  dir.Write("sub/plover.ini", "[set]\r\nD=99999\r\nF=-4\r\n");
  EXPECT_EQ(ReadSettings(path, "/x/").Dpi, 0);
  EXPECT_EQ(ReadSettings(path, "/x/").FormatIndex, -1);
}

TEST(SettingsFile, ConfigFolderFollowsXdg) {
  const char* old = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = old ? old : "";
  ::setenv("XDG_CONFIG_HOME", "/tmp/cfg", 1);
  EXPECT_EQ(plover::ConfigFolder(), "/tmp/cfg/plover/");
  ::setenv("XDG_CONFIG_HOME", "relative", 1);
  EXPECT_EQ(plover::ConfigFolder(), plover::HomeFolder() + ".config/plover/");
  if (old) {
    ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  } else {
    ::unsetenv("XDG_CONFIG_HOME");
  }
}

}  // namespace
