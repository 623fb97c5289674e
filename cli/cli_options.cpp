#include "cli/cli_options.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "app/conversion_job.h"

namespace plover {

const char* const kUsage =
    "Usage: plover-cli [options] FILE.pdf...\n"
    "Turns every page of each PDF into an image file: FOLDER/1.JPEG, FOLDER/2.JPEG, ...\n"
    "where FOLDER is named after the PDF (beside it, or under --output).\n"
    "\n"
    "Options:\n"
    "  --format F      bmp, jpeg, wmf, emf, eps, png, gif or tiff (default jpeg)\n"
    "  --scale N       25 to 500 in steps of 25 (percent; 100 is 96 dpi; default 100)\n"
    "  --dpi N         resolution in dots per inch (1 to 2400) instead of --scale\n"
    "  --password PW   open password of encrypted PDFs\n"
    "  --output DIR    put each PDF's folder under DIR instead of beside the PDF\n"
    "  --pages LIST    pages to convert, e.g. 1-3,7 (default: all)\n"
    "  --info          print page count, PDF version and encryption; convert nothing\n"
    "  --quiet         print nothing but errors\n"
    "  --help          show this text\n"
    "\n"
    "Exit status: 0 when every file completed, 1 when any failed, 2 for bad usage.\n";

namespace {

std::optional<int> ParseInt(const std::string& s) {
  if (s.empty() || s.size() > 9) return std::nullopt;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
  return std::stoi(s);
}

}  // namespace

std::optional<std::vector<int>> ParsePageList(const std::string& text) {
  std::vector<int> pages;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t comma = text.find(',', start);
    std::string part = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    std::size_t dash = part.find('-');
    std::optional<int> a = ParseInt(part.substr(0, dash));
    std::optional<int> b = dash == std::string::npos ? a : ParseInt(part.substr(dash + 1));
    if (!a || !b || *a < 1 || *b < *a || *b - *a > 1000000) return std::nullopt;
    for (int n = *a; n <= *b; ++n)
      if (std::find(pages.begin(), pages.end(), n) == pages.end()) pages.push_back(n);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return pages;
}

std::optional<TCliOptions> ParseCliOptions(const std::vector<std::string>& args, std::string& error) {
  TCliOptions o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](const char* name) -> std::optional<std::string> {
      if (i + 1 >= args.size()) {
        error = std::string(name) + " needs a value";
        return std::nullopt;
      }
      return args[++i];
    };
    if (a == "--help" || a == "-h") {
      o.Help = true;
    } else if (a == "--info") {
      o.Info = true;
    } else if (a == "--quiet" || a == "-q") {
      o.Quiet = true;
    } else if (a == "--format") {
      auto v = value("--format");
      if (!v) return std::nullopt;
      std::string upper = *v;
      for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      if (upper == "JPG") upper = "JPEG";
      if (upper == "TIF") upper = "TIFF";
      auto it = std::find_if(std::begin(kFormatCaptions), std::end(kFormatCaptions),
                             [&](const char* c) { return upper == c; });
      if (it == std::end(kFormatCaptions)) {
        error = "unknown format: " + *v;
        return std::nullopt;
      }
      o.FormatIndex = static_cast<int>(it - std::begin(kFormatCaptions));
    } else if (a == "--scale") {
      auto v = value("--scale");
      if (!v) return std::nullopt;
      auto n = ParseInt(*v);
      if (!n || *n < 25 || *n > 500 || *n % 25 != 0) {
        error = "--scale takes 25 to 500 in steps of 25";
        return std::nullopt;
      }
      o.Dpi = DpiForScaleIndex(*n / 25 - 1);
    } else if (a == "--dpi") {
      auto v = value("--dpi");
      if (!v) return std::nullopt;
      auto n = ParseInt(*v);
      if (!n || *n < 1 || *n > 2400) {
        error = "--dpi takes 1 to 2400";
        return std::nullopt;
      }
      o.Dpi = *n;
    } else if (a == "--password") {
      auto v = value("--password");
      if (!v) return std::nullopt;
      o.Password = *v;
    } else if (a == "--output" || a == "-o") {
      auto v = value("--output");
      if (!v) return std::nullopt;
      o.OutputDir = *v;
    } else if (a == "--pages") {
      auto v = value("--pages");
      if (!v) return std::nullopt;
      auto pages = ParsePageList(*v);
      if (!pages) {
        error = "bad page list: " + *v;
        return std::nullopt;
      }
      o.Pages = *pages;
    } else if (a.size() > 1 && a[0] == '-' && a != "--") {
      error = "unknown option: " + a;
      return std::nullopt;
    } else if (a == "--") {
      for (++i; i < args.size(); ++i) o.Files.push_back(args[i]);
    } else {
      o.Files.push_back(a);
    }
  }
  if (!o.Help && o.Files.empty()) {
    error = "no PDF files given";
    return std::nullopt;
  }
  return o;
}

std::string OutputFolderFor(const std::string& pdfPath, const std::string& outputDir) {
  std::filesystem::path source(pdfPath);
  std::filesystem::path name = source.filename();
  std::string stem = name.string();
  // report.final.pdf -> report.final: only the last extension goes.
  if (auto dot = stem.rfind('.'); dot != std::string::npos && dot > 0) stem.resize(dot);
  std::filesystem::path base = outputDir.empty() ? source.parent_path() : std::filesystem::path(outputDir);
  return (base / stem).string();
}

}  // namespace plover
