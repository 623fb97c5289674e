#pragma once
#include <optional>
#include <string>
#include <vector>

namespace plover {

struct TCliOptions {
  int FormatIndex = 1;  // JPEG
  int Dpi = 96;
  std::string Password;
  std::string OutputDir;  // empty: beside each source
  std::vector<int> Pages;
  bool Info = false;
  bool Quiet = false;
  bool Help = false;
  std::vector<std::string> Files;
};

// Parses the command line; on a usage error returns nullopt and sets `error`.
std::optional<TCliOptions> ParseCliOptions(const std::vector<std::string>& args, std::string& error);

// "1-3,7" -> 1 2 3 7; nullopt for malformed lists.
std::optional<std::vector<int>> ParsePageList(const std::string& text);

// Folder for a PDF's images: its name without the extension, beside it or under `outputDir`.
std::string OutputFolderFor(const std::string& pdfPath, const std::string& outputDir);

extern const char* const kUsage;

}  // namespace plover
