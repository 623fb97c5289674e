#include "cli/cli_options.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <iterator>
#include <limits>
#include <utility>

#include "app/conversion_job.h"
#include "app/parallel_convert.h"

namespace plover {

const char* const kUsage =
    "Usage: plover-cli [options] FILE.pdf...\n"
    "Turns every page of each PDF into an image file: FOLDER/1.JPEG, FOLDER/2.JPEG, ...\n"
    "where FOLDER is named after the PDF (beside it, or under --output). FILE \"-\" is\n"
    "standard input. Options take their value as \"--format png\" or \"--format=png\".\n"
    "\n"
    "Output:\n"
    "  --format F        bmp, jpeg, wmf, emf, eps, png, gif, tiff, svg, webp, ppm,\n"
    "                    pgm, pbm or pam (default jpeg)\n"
    "  --output DIR      put each PDF's folder under DIR instead of beside the PDF\n"
    "  --name TEMPLATE   page file names (default {page}.{EXT}); fields {page},\n"
    "                    {page:03} (zero padded), {name} (the PDF's name), {ext}, {EXT}\n"
    "  --output-file F   write the one page asked for to exactly F (\"-\": standard output)\n"
    "  --jpeg-quality N  JPEG quality 1 to 100 (default 75)\n"
    "  --webp-quality N  lossy WebP at quality 0 to 100 (default lossless)\n"
    "  --tiff-compression C  deflate, lzw, packbits, none or g4 (mono) (default deflate)\n"
    "  --colour C        rgb, gray or mono (dithered) pages (default rgb; also --color)\n"
    "  --transparent     leave the background transparent (png, tiff, webp, pam, svg)\n"
    "  --skip-existing   keep page files that are already there, convert only the others\n"
    "\n"
    "Pages and size:\n"
    "  --pages LIST      pages to convert: 1-3,7  5-  -3  odd  even (default: all)\n"
    "  --scale N         25 to 500 in steps of 25 (percent; 100 is 96 dpi; default 100)\n"
    "  --dpi N           resolution in dots per inch (1 to 2400) instead of --scale\n"
    "  --width W         fit each page within W pixels wide, keeping its shape\n"
    "  --height H        fit each page within H pixels high (with --width: within both)\n"
    "  --box B           page box shown: media, crop, bleed, trim or art (default crop)\n"
    "  --hide-annotations  draw the page without its annotations\n"
    "  --password PW     open password of encrypted PDFs (user or owner)\n"
    "\n"
    "Input and reporting:\n"
    "  --files-from LIST read PDF paths from LIST, one a line (\"-\": standard input)\n"
    "  --jobs N          convert N pages at once (default: one per core available)\n"
    "  --info            print page count, first page size, PDF version and encryption;\n"
    "                    convert nothing\n"
    "  --json            one JSON object per PDF on standard output, instead of text\n"
    "  --progress        one line per page on standard error (a bar on a terminal)\n"
    "  --quiet           print nothing but errors\n"
    "  --version         print the version\n"
    "  --help            show this text\n"
    "\n"
    "Two PDFs of the same name get distinct folders in one run: report, report (2), ...\n"
    "Exit status: 0 when every file completed, 1 when any failed, 2 for bad usage,\n"
    "130 or 143 when interrupted.\n";

namespace {

// Formats past the window's list, with their numbers (8 is the window's EMF+ recording,
// which the command line does not offer).
constexpr std::pair<const char*, int> kMoreFormats[] = {{"SVG", 9}, {"WEBP", 10}, {"PPM", 11},
                                                        {"PGM", 12}, {"PBM", 13}, {"PAM", 14}};

std::optional<int> ParseInt(const std::string& s) {
  if (s.empty() || s.size() > 9) return std::nullopt;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
  return std::stoi(s);
}

}  // namespace

const char* FormatCaption(int formatIndex) {
  if (formatIndex >= 0 && formatIndex < static_cast<int>(std::size(kFormatCaptions)))
    return kFormatCaptions[formatIndex];
  for (const auto& [caption, number] : kMoreFormats)
    if (number == formatIndex) return caption;
  return "";
}

std::optional<std::vector<TPageRange>> ParsePageList(const std::string& text, std::string* error) {
  auto bad = [&](const std::string& why) -> std::optional<std::vector<TPageRange>> {
    if (error) *error = why;
    return std::nullopt;
  };
  auto page = [](const std::string& s) -> std::optional<int> {
    if (s.empty() || s.size() > 10) return std::nullopt;
    long long v = 0;
    for (char c : s) {
      if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
      v = v * 10 + (c - '0');
    }
    if (v > std::numeric_limits<int>::max()) return std::nullopt;
    return static_cast<int>(v);
  };
  if (text == "odd") return std::vector<TPageRange>{{1, kLastPage, 2}};
  if (text == "even") return std::vector<TPageRange>{{2, kLastPage, 2}};
  std::vector<TPageRange> ranges;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = text.find(',', start);
    const std::string part = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    if (part.empty()) return bad("empty entry in the page list \"" + text + "\"");
    if (part == "odd" || part == "even") return bad(part + " stands alone in a page list");
    const std::size_t dash = part.find('-');
    const std::string first = part.substr(0, dash);
    const std::string last = dash == std::string::npos ? first : part.substr(dash + 1);
    if (first.empty() && last.empty()) return bad("\"" + part + "\" is not a page range");
    // "-3" starts at the first page, "5-" ends at the last.
    const std::optional<int> a = first.empty() ? 1 : page(first);
    const std::optional<int> b = last.empty() ? kLastPage : page(last);
    if (!a) return bad("\"" + first + "\" is not a page number");
    if (!b) return bad("\"" + last + "\" is not a page number");
    if (*a == 0 || *b == 0) return bad("page 0 does not exist: pages count from 1");
    if (*b < *a) return bad("range " + part + " runs backwards");
    ranges.push_back({*a, *b});
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  std::sort(ranges.begin(), ranges.end(), [](const TPageRange& x, const TPageRange& y) { return x.First < y.First; });
  std::vector<TPageRange> merged;
  for (const TPageRange& r : ranges) {
    if (!merged.empty() && std::int64_t{r.First} <= std::int64_t{merged.back().Last} + 1)
      merged.back().Last = std::max(merged.back().Last, r.Last);
    else
      merged.push_back(r);
  }
  return merged;
}

namespace {

// The options that set the page size exclude each other, except --width with --height.
std::string ClaimSize(TCliOptions& o, const std::string& option) {
  auto group = [](const std::string& name) { return name == "--height" ? std::string("--width") : name; };
  if (!o.SizeOption.empty() && group(o.SizeOption) != group(option))
    return o.SizeOption + " and " + option + " both set the page size: give one of them";
  o.SizeOption = option;
  return {};
}

std::string ParseFormat(TCliOptions& o, const std::string& v) {
  std::string upper = v;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper == "JPG") upper = "JPEG";
  if (upper == "TIF") upper = "TIFF";
  auto it = std::find_if(std::begin(kFormatCaptions), std::end(kFormatCaptions),
                         [&](const char* c) { return upper == c; });
  auto more = std::find_if(std::begin(kMoreFormats), std::end(kMoreFormats),
                           [&](const auto& f) { return upper == f.first; });
  if (it != std::end(kFormatCaptions))
    o.FormatIndex = static_cast<int>(it - std::begin(kFormatCaptions));
  else if (more != std::end(kMoreFormats))
    o.FormatIndex = more->second;
  else
    return "unknown format: " + v;
  return {};
}

std::string ParseScale(TCliOptions& o, const std::string& v) {
  auto n = ParseInt(v);
  if (!n || *n < 25 || *n > 500 || *n % 25 != 0) return "--scale takes 25 to 500 in steps of 25";
  o.Dpi = DpiForScaleIndex(*n / 25 - 1);
  return ClaimSize(o, "--scale");
}

std::string ParseDpi(TCliOptions& o, const std::string& v) {
  auto n = ParseInt(v);
  if (!n || *n < 1 || *n > 2400) return "--dpi takes 1 to 2400";
  o.Dpi = *n;
  return ClaimSize(o, "--dpi");
}

// Pixel bounds as large as the largest --dpi gives for a big page.
constexpr int kMaxFitPixels = 100000;

std::string ParseWidth(TCliOptions& o, const std::string& v) {
  auto n = ParseInt(v);
  if (!n || *n < 1 || *n > kMaxFitPixels) return "--width takes 1 to 100000 pixels";
  o.FitWidth = *n;
  return ClaimSize(o, "--width");
}

std::string ParseHeight(TCliOptions& o, const std::string& v) {
  auto n = ParseInt(v);
  if (!n || *n < 1 || *n > kMaxFitPixels) return "--height takes 1 to 100000 pixels";
  o.FitHeight = *n;
  return ClaimSize(o, "--height");
}

std::string ParsePages(TCliOptions& o, const std::string& v) {
  std::string why;
  auto pages = ParsePageList(v, &why);
  if (!pages) return "--pages: " + why;
  o.Pages = *pages;
  return {};
}

std::string ParseName(TCliOptions& o, const std::string& v) {
  std::string why;
  auto name = TNameTemplate::Parse(v, why);
  if (!name) return "--name: " + why;
  o.Name = *name;
  return {};
}

std::string ParseBox(TCliOptions& o, const std::string& v) {
  static constexpr std::pair<const char*, kestrel::TPageBox> kBoxes[] = {
      {"media", kestrel::TPageBox::Media}, {"crop", kestrel::TPageBox::Crop}, {"bleed", kestrel::TPageBox::Bleed},
      {"trim", kestrel::TPageBox::Trim},   {"art", kestrel::TPageBox::Art}};
  for (const auto& [name, box] : kBoxes)
    if (v == name) {
      o.Box = box;
      return {};
    }
  return "--box takes media, crop, bleed, trim or art";
}

std::string ParseJpegQuality(TCliOptions& o, const std::string& v) {
  auto n = ParseInt(v);
  if (!n || *n < 1 || *n > 100) return "--jpeg-quality takes 1 to 100";
  o.JpegQuality = *n;
  return {};
}

std::string ParseWebPQuality(TCliOptions& o, const std::string& v) {
  auto n = ParseInt(v);
  if (!n || *n > 100) return "--webp-quality takes 0 to 100";
  o.Output.WebPQuality = *n;
  return {};
}

std::string ParseTIFFCompression(TCliOptions& o, const std::string& v) {
  using kestrel::TTIFFCompression;
  static constexpr std::pair<const char*, TTIFFCompression> kNames[] = {
      {"deflate", TTIFFCompression::kDeflate}, {"lzw", TTIFFCompression::kLZW},
      {"packbits", TTIFFCompression::kPackBits}, {"none", TTIFFCompression::kNone},
      {"g4", TTIFFCompression::kG4}};
  for (const auto& [name, compression] : kNames)
    if (v == name) {
      o.Output.TIFFCompression = compression;
      return {};
    }
  return "--tiff-compression takes deflate, lzw, packbits, none or g4";
}

std::string ParseColour(TCliOptions& o, const std::string& v) {
  using kestrel::TColourMode;
  if (v == "rgb") o.Output.Colour = TColourMode::kRGB;
  else if (v == "gray" || v == "grey") o.Output.Colour = TColourMode::kGray;
  else if (v == "mono") o.Output.Colour = TColourMode::kMono;
  else return "--colour takes rgb, gray or mono";
  return {};
}

std::string ParseJobs(TCliOptions& o, const std::string& v) {
  auto n = ParseInt(v);
  if (!n || *n < 1 || *n > kMaxJobs) return "--jobs takes 1 to " + std::to_string(kMaxJobs);
  o.Jobs = *n;
  return {};
}

std::string NotEmpty(const std::string& v, const char* option) {
  return v.empty() ? std::string(option) + " needs a value" : std::string();
}

const TCliOptionSpec kOptions[] = {
    {"--format", nullptr, "F", ParseFormat},
    {"--output", "-o", "DIR", [](TCliOptions& o, const std::string& v) { return (o.OutputDir = v, NotEmpty(v, "--output")); }},
    {"--name", nullptr, "TEMPLATE", ParseName},
    {"--output-file", nullptr, "FILE",
     [](TCliOptions& o, const std::string& v) { return (o.OutputFile = v, NotEmpty(v, "--output-file")); }},
    {"--jpeg-quality", nullptr, "N", ParseJpegQuality},
    {"--webp-quality", nullptr, "N", ParseWebPQuality},
    {"--tiff-compression", nullptr, "C", ParseTIFFCompression},
    {"--colour", "--color", "C", ParseColour},
    {"--transparent", nullptr, nullptr, [](TCliOptions& o, const std::string&) { return (o.Output.Transparent = true, std::string()); }},
    {"--skip-existing", nullptr, nullptr, [](TCliOptions& o, const std::string&) { return (o.SkipExisting = true, std::string()); }},
    {"--pages", nullptr, "LIST", ParsePages},
    {"--scale", nullptr, "N", ParseScale},
    {"--dpi", nullptr, "N", ParseDpi},
    {"--width", nullptr, "W", ParseWidth},
    {"--height", nullptr, "H", ParseHeight},
    {"--box", nullptr, "B", ParseBox},
    {"--hide-annotations", nullptr, nullptr,
     [](TCliOptions& o, const std::string&) { return (o.HideAnnotations = true, std::string()); }},
    {"--password", nullptr, "PW", [](TCliOptions& o, const std::string& v) { return (o.Password = v, std::string()); }},
    {"--files-from", nullptr, "LIST",
     [](TCliOptions& o, const std::string& v) { return (o.FilesFrom = v, NotEmpty(v, "--files-from")); }},
    {"--jobs", "-j", "N", ParseJobs},
    {"--info", nullptr, nullptr, [](TCliOptions& o, const std::string&) { return (o.Info = true, std::string()); }},
    {"--json", nullptr, nullptr, [](TCliOptions& o, const std::string&) { return (o.Json = true, std::string()); }},
    {"--progress", nullptr, nullptr, [](TCliOptions& o, const std::string&) { return (o.Progress = true, std::string()); }},
    {"--quiet", "-q", nullptr, [](TCliOptions& o, const std::string&) { return (o.Quiet = true, std::string()); }},
    {"--version", nullptr, nullptr, [](TCliOptions& o, const std::string&) { return (o.Version = true, std::string()); }},
    {"--help", "-h", nullptr, [](TCliOptions& o, const std::string&) { return (o.Help = true, std::string()); }},
};

std::size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

bool OnePage(const std::vector<TPageRange>& pages) {
  return pages.size() == 1 && pages.front().First == pages.front().Last;
}

// Rules between options, checked once all are read.
std::string CheckCombination(const TCliOptions& o) {
  if (o.Help || o.Version) return {};
  if (o.Files.empty() && o.FilesFrom.empty()) return "no PDF files given";
  const auto stdinUses = std::count(o.Files.begin(), o.Files.end(), "-") + (o.FilesFrom == "-" ? 1 : 0);
  if (stdinUses > 1) return "standard input can be read only once (\"-\" is given twice)";
  if (!o.OutputFile.empty()) {
    if (!o.OutputDir.empty()) return "--output-file and --output exclude each other";
    if (o.Name.Text() != TNameTemplate().Text()) return "--output-file and --name exclude each other";
    if (o.Files.size() != 1 || !o.FilesFrom.empty()) return "--output-file takes one PDF file";
    if (!o.Pages.empty() && !OnePage(o.Pages)) return "--output-file takes one page: give it with --pages N";
    if (o.OutputFile == "-" && o.Json) return "--output-file - and --json both write to standard output";
  }
  if (!o.Name.NamesPages() && !OnePage(o.Pages))
    return "--name needs a {page} field, unless --pages names one page";
  return {};
}

}  // namespace

std::span<const TCliOptionSpec> CliOptionTable() { return kOptions; }

std::string NearestOption(const std::string& unknown) {
  // "-format" and "format" are near enough too: compare with the dashes put right.
  std::string key = unknown.substr(0, unknown.find('='));
  while (!key.empty() && key.front() == '-') key.erase(key.begin());
  key = "--" + key;
  std::string best;
  std::size_t bestDistance = 3;  // three edits or more is no longer a typo
  for (const TCliOptionSpec& option : kOptions) {
    if (const std::size_t d = EditDistance(key, option.Name); d < bestDistance) {
      bestDistance = d;
      best = option.Name;
    }
  }
  return best;
}

std::optional<TCliOptions> ParseCliOptions(const std::vector<std::string>& args, std::string& error) {
  TCliOptions o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--") {
      for (++i; i < args.size(); ++i) o.Files.push_back(args[i]);
      break;
    }
    if (a.size() < 2 || a[0] != '-') {  // "-" alone is standard input
      o.Files.push_back(a);
      continue;
    }
    const std::size_t equals = a.starts_with("--") ? a.find('=') : std::string::npos;
    const std::string name = a.substr(0, equals);
    const TCliOptionSpec* spec = nullptr;
    for (const TCliOptionSpec& option : kOptions)
      if (name == option.Name || (option.Short && name == option.Short)) spec = &option;
    if (!spec) {
      error = "unknown option: " + a;
      if (std::string near = NearestOption(a); !near.empty()) error += " (did you mean " + near + "?)";
      return std::nullopt;
    }
    std::string value;
    if (!spec->ValueName) {
      if (equals != std::string::npos) {
        error = std::string(spec->Name) + " takes no value";
        return std::nullopt;
      }
    } else if (equals != std::string::npos) {
      value = a.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      error = std::string(spec->Name) + " needs a value";
      return std::nullopt;
    }
    if (std::string why = spec->Apply(o, value); !why.empty()) {
      error = why;
      return std::nullopt;
    }
  }
  if (std::string why = CheckCombination(o); !why.empty()) {
    error = why;
    return std::nullopt;
  }
  return o;
}

}  // namespace plover
