#include "app/settings_file.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "app/ini_file.h"

namespace plover {

namespace {

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder.push_back('/');
  return folder;
}

}  // namespace

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  return WithSlash(home && *home ? home : "/");
}

std::string ConfigFolder() {
  // The base directory specification asks to ignore a relative XDG_CONFIG_HOME.
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg == '/') return WithSlash(xdg) + "plover/";
  return HomeFolder() + ".config/plover/";
}

TSettings ReadSettings(const std::string& path, const std::string& defaultFolder) {
  TSettings settings;
  settings.OutputFolder = defaultFolder;
  const std::optional<TIniFile> ini = TIniFile::Load(path);
  if (!ini) return settings;
  const int language = ini->ReadInteger(kSettingsSection, "Y", -1);
  settings.Language = language == 0 || language == 1 ? language : -1;
  const std::string folder = ini->ReadString(kSettingsSection, "P", "");
  std::error_code ec;
  if (!folder.empty() && std::filesystem::is_directory(folder, ec)) settings.OutputFolder = folder;
  settings.CustomFolder = ini->ReadInteger(kSettingsSection, "C", 0) == 1;
  const int format = ini->ReadInteger(kSettingsSection, "F", -1);
  settings.FormatIndex = format >= 0 && format < 100 ? format : -1;
  const int dpi = ini->ReadInteger(kSettingsSection, "D", 0);
  settings.Dpi = dpi >= kMinDpi && dpi <= kMaxDpi ? dpi : 0;
  const int quality = ini->ReadInteger(kSettingsSection, "J", 0);
  settings.JpegQuality = quality >= 1 && quality <= 100 ? quality : 0;
  return settings;
}

bool WriteSettings(const std::string& path, const TSettings& settings) {
  TIniFile ini = TIniFile::Load(path).value_or(TIniFile());
  bool ok = ini.WriteString(kSettingsSection, "Y", std::to_string(settings.Language));
  ok = ini.WriteString(kSettingsSection, "P", settings.OutputFolder) && ok;
  ok = ini.WriteString(kSettingsSection, "C", settings.CustomFolder ? "1" : "0") && ok;
  if (settings.FormatIndex >= 0) ok = ini.WriteString(kSettingsSection, "F", std::to_string(settings.FormatIndex)) && ok;
  if (settings.Dpi > 0) ok = ini.WriteString(kSettingsSection, "D", std::to_string(settings.Dpi)) && ok;
  if (settings.JpegQuality > 0) ok = ini.WriteString(kSettingsSection, "J", std::to_string(settings.JpegQuality)) && ok;
  std::error_code ec;
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent, ec);
  return ini.Save(path) && ok;
}

}  // namespace plover
