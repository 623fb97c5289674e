#pragma once
#include <optional>
#include <string>
#include <vector>

#include "app/conversion_job.h"

namespace plover {

struct TCliOptions {
  int FormatIndex = 1;  // JPEG
  int Dpi = 96;
  std::string Password;
  std::string OutputDir;  // empty: beside each source
  std::vector<TPageRange> Pages;
  bool Info = false;
  bool Quiet = false;
  bool Help = false;
  bool Version = false;
  std::vector<std::string> Files;
};

// Parses the command line; on a usage error returns nullopt and sets `error`.
std::optional<TCliOptions> ParseCliOptions(const std::vector<std::string>& args, std::string& error);

// "1-3,7,2" -> 1-3 and 7: ascending ranges, overlaps merged, in time linear in the text (a
// range is never spelled out page by page). nullopt for a bad list, with the reason in `error`.
std::optional<std::vector<TPageRange>> ParsePageList(const std::string& text, std::string* error = nullptr);

// The known option nearest to an unknown one ("--fromat" -> "--format"), or empty.
std::string NearestOption(const std::string& unknown);

extern const char* const kUsage;

}  // namespace plover
