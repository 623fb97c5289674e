#include "cli/cli_options.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <limits>

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
    "  --info          print page count, first page size, PDF version and encryption;\n"
    "                  convert nothing\n"
    "  --quiet         print nothing but errors\n"
    "  --version       print the version\n"
    "  --help          show this text\n"
    "\n"
    "Two PDFs of the same name get distinct folders in one run: report, report (2), ...\n"
    "Exit status: 0 when every file completed, 1 when any failed, 2 for bad usage.\n";

namespace {

std::optional<int> ParseInt(const std::string& s) {
  if (s.empty() || s.size() > 9) return std::nullopt;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
  return std::stoi(s);
}

}  // namespace

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
  std::vector<TPageRange> ranges;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = text.find(',', start);
    const std::string part = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    if (part.empty()) return bad("empty entry in the page list \"" + text + "\"");
    const std::size_t dash = part.find('-');
    const std::string first = part.substr(0, dash);
    const std::string last = dash == std::string::npos ? first : part.substr(dash + 1);
    const std::optional<int> a = page(first);
    const std::optional<int> b = page(last);
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

const char* const kOptionNames[] = {"--format", "--scale", "--dpi",   "--password", "--output",
                                    "--pages",  "--info",  "--quiet", "--help",     "--version"};

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

}  // namespace

std::string NearestOption(const std::string& unknown) {
  // "-format" and "format" are near enough too: compare with the dashes put right.
  std::string key = unknown.substr(0, unknown.find('='));
  while (!key.empty() && key.front() == '-') key.erase(key.begin());
  key = "--" + key;
  std::string best;
  std::size_t bestDistance = 3;  // three edits or more is no longer a typo
  for (const char* name : kOptionNames) {
    if (const std::size_t d = EditDistance(key, name); d < bestDistance) {
      bestDistance = d;
      best = name;
    }
  }
  return best;
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
    } else if (a == "--version") {
      o.Version = true;
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
      std::string why;
      auto pages = ParsePageList(*v, &why);
      if (!pages) {
        error = "--pages: " + why;
        return std::nullopt;
      }
      o.Pages = *pages;
    } else if (a.size() > 1 && a[0] == '-' && a != "--") {
      error = "unknown option: " + a;
      if (std::string near = NearestOption(a); !near.empty()) error += " (did you mean " + near + "?)";
      return std::nullopt;
    } else if (a == "--") {
      for (++i; i < args.size(); ++i) o.Files.push_back(args[i]);
    } else {
      o.Files.push_back(a);
    }
  }
  if (!o.Help && !o.Version && o.Files.empty()) {
    error = "no PDF files given";
    return std::nullopt;
  }
  return o;
}

}  // namespace plover
