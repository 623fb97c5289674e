// The option parser, the page-name template and the escaping of printed names.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <functional>
#include <iterator>

#include "cli/cli_options.h"
#include "cli/name_template.h"
#include "cli/printable.h"

using namespace plover;

namespace {

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::size_t start = 0;
  while (start <= line.size()) {
    const std::size_t space = line.find(' ', start);
    words.push_back(line.substr(start, space == std::string::npos ? std::string::npos : space - start));
    if (space == std::string::npos) break;
    start = space + 1;
  }
  return words;
}

// Whether `word` stands in `text` as a whole option name ("--name" is not in "--name-x").
bool Mentions(const std::string& text, const std::string& word) {
  for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
    const char next = at + word.size() < text.size() ? text[at + word.size()] : ' ';
    if (!std::isalnum(static_cast<unsigned char>(next)) && next != '-' && next != '\\') return true;
  }
  return false;
}

}  // namespace

TEST(CliOptions, EveryOptionInBothSpellings) {
  struct TCase {
    const char* Line;
    std::function<bool(const TCliOptions&)> Holds;
  };
  const TCase cases[] = {
      {"--format=png a.pdf", [](auto& o) { return o.FormatIndex == 5; }},
      {"--name {name}-{page:04}.{ext} a.pdf", [](auto& o) { return o.Name.Expand(7, "r", "PNG") == "r-0007.png"; }},
      {"--output-file=x.png --pages=3 a.pdf", [](auto& o) { return o.OutputFile == "x.png" && o.Pages.size() == 1; }},
      {"--output-file - a.pdf", [](auto& o) { return o.OutputFile == "-"; }},
      {"--jpeg-quality=90 a.pdf", [](auto& o) { return o.JpegQuality == 90; }},
      {"a.pdf", [](auto& o) { return o.JpegQuality == 75 && o.Dpi == 96 && o.FormatIndex == 1 && o.Box == kestrel::TPageBox::Crop; }},
      {"--skip-existing --json --progress --hide-annotations a.pdf",
       [](auto& o) { return o.SkipExisting && o.Json && o.Progress && o.HideAnnotations; }},
      {"--width 800 --height=600 a.pdf", [](auto& o) { return o.FitWidth == 800 && o.FitHeight == 600; }},
      {"--dpi 300 --dpi 150 a.pdf", [](auto& o) { return o.Dpi == 150; }},  // the same option: the last wins
      {"--box=trim a.pdf", [](auto& o) { return o.Box == kestrel::TPageBox::Trim; }},
      {"--box media a.pdf", [](auto& o) { return o.Box == kestrel::TPageBox::Media; }},
      {"--files-from=list.txt", [](auto& o) { return o.FilesFrom == "list.txt" && o.Files.empty(); }},
      {"--password= -", [](auto& o) { return o.Password.empty() && o.Files == std::vector<std::string>{"-"}; }},
      {"-o out -q -- --odd.pdf", [](auto& o) { return o.OutputDir == "out" && o.Quiet && o.Files[0] == "--odd.pdf"; }},
      {"--name=page.{ext} --pages 4 a.pdf", [](auto& o) { return !o.Name.NamesPages(); }},
  };
  for (const TCase& c : cases) {
    std::string error;
    auto o = ParseCliOptions(Words(c.Line), error);
    ASSERT_TRUE(o) << c.Line << ": " << error;
    EXPECT_TRUE(c.Holds(*o)) << c.Line;
  }
}

TEST(CliOptions, UsageErrorsSayWhy) {
  const std::pair<const char*, const char*> cases[] = {
      {"--dpi 300 --scale 200 a.pdf", "--dpi and --scale both set the page size: give one of them"},
      {"--width 10 --dpi 72 a.pdf", "--width and --dpi both set the page size: give one of them"},
      {"--width 0 a.pdf", "--width takes 1 to 100000 pixels"},
      {"--jpeg-quality=0 a.pdf", "--jpeg-quality takes 1 to 100"},
      {"--jpeg-quality 101 a.pdf", "--jpeg-quality takes 1 to 100"},
      {"--box=page a.pdf", "--box takes media, crop, bleed, trim or art"},
      {"--json=yes a.pdf", "--json takes no value"},
      {"a.pdf --format", "--format needs a value"},
      {"--format= a.pdf", "unknown format: "},
      {"--pages odd,2 a.pdf", "--pages: odd stands alone in a page list"},
      {"--pages - a.pdf", "--pages: \"-\" is not a page range"},
      {"--name {page}/x a.pdf", "--name: a page file name cannot hold \"/\""},
      {"--name {pages}.png a.pdf", "--name: unknown field {pages}: the fields are {page}, {page:03}, {name}, {ext} and {EXT}"},
      {"--name x.png a.pdf", "--name needs a {page} field, unless --pages names one page"},
      {"--output-file x.png a.pdf b.pdf", "--output-file takes one PDF file"},
      {"--output-file x.png --pages 1-2 a.pdf", "--output-file takes one page: give it with --pages N"},
      {"--output-file x.png --output o a.pdf", "--output-file and --output exclude each other"},
      {"--output-file - --json a.pdf", "--output-file - and --json both write to standard output"},
      {"--files-from - -", "standard input can be read only once (\"-\" is given twice)"},
      {"--quiet", "no PDF files given"},
      {"--dip=300 a.pdf", "unknown option: --dip=300 (did you mean --dpi?)"},
  };
  for (const auto& [line, why] : cases) {
    std::string error;
    EXPECT_FALSE(ParseCliOptions(Words(line), error)) << line;
    EXPECT_EQ(error, why) << line;
  }
}

TEST(CliOptions, PageListForms) {
  using R = std::vector<TPageRange>;
  EXPECT_EQ(*ParsePageList("2-"), (R{{2, kLastPage}}));
  EXPECT_EQ(*ParsePageList("-3,9"), (R{{1, 3}, {9, 9}}));
  EXPECT_EQ(*ParsePageList("5-,1-6"), (R{{1, kLastPage}}));
  EXPECT_EQ(*ParsePageList("odd"), (R{{1, kLastPage, 2}}));
  EXPECT_EQ(*ParsePageList("even"), (R{{2, kLastPage, 2}}));
}

TEST(NameTemplate, FieldsBracesAndReadingNamesBack) {
  const std::tuple<const char*, int, const char*> cases[] = {
      {"{page}.{EXT}", 7, "7.PNG"},
      {"{name}-{page:03}.{ext}", 7, "rep-007.png"},
      {"{page:2}", 123, "123"},
      {"{{{page}}}_{name}", 4, "{4}_rep"},
  };
  for (const auto& [text, page, name] : cases) {
    std::string error;
    auto t = TNameTemplate::Parse(text, error);
    ASSERT_TRUE(t) << text << ": " << error;
    EXPECT_EQ(t->Expand(page, "rep", "PNG"), name);
    EXPECT_EQ(t->PageOf(name, "rep", "PNG"), page) << text;
  }
  std::string error;
  auto padded = TNameTemplate::Parse("p{page:03}.{ext}", error);
  EXPECT_EQ(padded->PageOf("p7.png", "rep", "PNG"), std::nullopt);  // not a name this template writes
  EXPECT_EQ(padded->PageOf("p007.jpeg", "rep", "PNG"), std::nullopt);
  EXPECT_EQ(padded->PageOf("p000.png", "rep", "PNG"), std::nullopt);
  for (const char* bad : {"", "{", "}", "{page", "{page:}", "{page:99}", "{page:x}", "a/b"})
    EXPECT_FALSE(TNameTemplate::Parse(bad, error)) << bad;
}

TEST(Printable, ControlCharactersAreEscaped) {
  EXPECT_EQ(Printable("a\nb\tc\x1b[31m\x7f"), "a\\nb\\tc\\x1b[31m\\x7f");
  EXPECT_EQ(Printable("caf\xC3\xA9 \xC2\x9B"), "caf\xC3\xA9 \\xc2\\x9b");  // é stays, the C1 CSI does not
  EXPECT_EQ(JsonString("a\"\\\n\x01\xC3\xA9\xFF"), "\"a\\\"\\\\\\n\\u0001\xC3\xA9\\ufffd\"");
}

TEST(CliOptions, HelpManPageAndCompletionNameEveryOption) {
  auto read = [](const char* name) {
    std::ifstream in(std::string(PLOVER_SOURCE_DIR) + "/cli/" + name);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  const std::string manPage = read("plover-cli.1"), completion = read("plover-cli.bash-completion");
  ASSERT_FALSE(manPage.empty());
  ASSERT_FALSE(completion.empty());
  for (const TCliOptionSpec& option : CliOptionTable()) {
    std::string roff;  // "--skip-existing" is written "\-\-skip\-existing" in the man page
    for (char c : std::string(option.Name)) roff += c == '-' ? std::string("\\-") : std::string(1, c);
    EXPECT_TRUE(Mentions(kUsage, option.Name)) << option.Name;
    EXPECT_TRUE(Mentions(manPage, roff)) << option.Name;
    EXPECT_TRUE(Mentions(completion, option.Name)) << option.Name;
  }
}
