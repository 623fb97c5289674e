#pragma once
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/conversion_job.h"
#include "cli/name_template.h"

namespace plover {

struct TCliOptions {
  int FormatIndex = 1;  // JPEG
  kestrel::TOutputOptions Output;
  int Dpi = 96;
  // Fit each page inside this many pixels (0: no bound on that side), keeping its shape.
  int FitWidth = 0;
  int FitHeight = 0;
  std::string Password;
  std::string OutputDir;  // empty: beside each source
  // One page into exactly this file ("-": standard output) instead of a folder.
  std::string OutputFile;
  TNameTemplate Name;
  std::vector<TPageRange> Pages;
  kestrel::TPageBox Box = kestrel::TPageBox::Crop;
  int JpegQuality = 75;
  bool HideAnnotations = false;
  int Jobs = 0;  // pages converted at once; 0: one per core the process may use
  bool Info = false;
  bool Quiet = false;
  bool Progress = false;
  bool Json = false;
  bool SkipExisting = false;
  bool Help = false;
  bool Version = false;
  // A list of PDF paths, one a line ("-": standard input), read before the conversion.
  std::string FilesFrom;
  std::vector<std::string> Files;  // "-" is standard input
  // Which option set the size ("--scale", "--dpi", "--width/--height"): they exclude each other.
  std::string SizeOption;
};

// One option of the command line. A handler stores the value (the empty string for a flag)
// and returns the reason it refuses it, or an empty string.
struct TCliOptionSpec {
  const char* Name;        // "--format"
  const char* Short;       // "-o" (or an alias such as "--color"), or nullptr
  const char* ValueName;   // "F" in the help text; nullptr for a flag
  std::string (*Apply)(TCliOptions&, const std::string& value);
};

// Every option, in the order of the help text.
std::span<const TCliOptionSpec> CliOptionTable();

// Parses the command line: "--name value", "--name=value", "-o value". On a usage error
// returns nullopt and sets `error`.
std::optional<TCliOptions> ParseCliOptions(const std::vector<std::string>& args, std::string& error);

// "1-3,7,2" -> 1-3 and 7: ascending ranges, overlaps merged, in time linear in the text (a
// range is never spelled out page by page). "5-" runs to the last page, "-3" from the first;
// "odd" and "even" stand alone. nullopt for a bad list, with the reason in `error`.
std::optional<std::vector<TPageRange>> ParsePageList(const std::string& text, std::string* error = nullptr);

// The known option nearest to an unknown one ("--fromat" -> "--format"), or empty.
std::string NearestOption(const std::string& unknown);

// The page files' extension of a format number: the window's captions, then SVG, WEBP, PPM,
// PGM, PBM and PAM from 9 on.
const char* FormatCaption(int formatIndex);

extern const char* const kUsage;

}  // namespace plover
