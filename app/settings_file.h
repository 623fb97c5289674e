#pragma once
// The settings file plover.ini (section "set"): interface language, output folder, folder choice.
#include <string>

namespace plover {

inline constexpr const char* kSettingsFileName = "plover.ini";
inline constexpr const char* kSettingsSection = "set";
// The resolutions the window offers, in dots per inch.
inline constexpr int kMinDpi = 1;
inline constexpr int kMaxDpi = 2400;

struct TSettings {
  // 0 Simplified Chinese, 1 English, -1 not chosen yet.
  int Language = -1;
  // The chosen output folder.
  std::string OutputFolder;
  // True when "Specify the path" was selected last.
  bool CustomFolder = false;
  // The image format (a position of the format list) and resolution chosen last; -1 and 0
  // when none is stored.
  int FormatIndex = -1;
  int Dpi = 0;
  // JPEG quality chosen last, 1 to 100; 0 when none is stored.
  int JpegQuality = 0;
};

// The folder of the settings and language files: $XDG_CONFIG_HOME/plover/, else
// ~/.config/plover/; always ends in "/".
std::string ConfigFolder();
// The user's home folder ending in "/": the default output folder.
std::string HomeFolder();

// Reads the settings. Missing keys take the defaults; a language other than 0 and 1 counts as
// not chosen; a stored output folder that is not an existing folder gives `defaultFolder`.
TSettings ReadSettings(const std::string& path, const std::string& defaultFolder);

// Writes the keys, keeping anything else in the file; creates the file's folder.
bool WriteSettings(const std::string& path, const TSettings& settings);

}  // namespace plover
