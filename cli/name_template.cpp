#include "cli/name_template.h"

#include <cctype>

namespace plover {

namespace {

// Widths beyond this only make names too long for a file system.
constexpr int kMaxPageWidth = 32;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

TNameTemplate::TNameTemplate()
    : text_("{page}.{EXT}"), parts_{{TKind::Page, {}, 0}, {TKind::Text, ".", 0}, {TKind::UpperExt, {}, 0}} {}

std::optional<TNameTemplate> TNameTemplate::Parse(const std::string& text, std::string& error) {
  TNameTemplate t;
  t.text_ = text;
  t.parts_.clear();
  auto literal = [&](char c) {
    if (t.parts_.empty() || t.parts_.back().Kind != TKind::Text) t.parts_.push_back({TKind::Text, {}, 0});
    t.parts_.back().Text.push_back(c);
  };
  if (text.empty()) {
    error = "the name template is empty";
    return std::nullopt;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '/') {
      error = "a page file name cannot hold \"/\"";
      return std::nullopt;
    }
    if (c == '}') {
      if (i + 1 < text.size() && text[i + 1] == '}') {
        literal('}');
        ++i;
        continue;
      }
      error = "a lone \"}\" (write \"}}\" for a brace)";
      return std::nullopt;
    }
    if (c != '{') {
      literal(c);
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == '{') {
      literal('{');
      ++i;
      continue;
    }
    const std::size_t close = text.find('}', i);
    if (close == std::string::npos) {
      error = "\"{\" without \"}\" (write \"{{\" for a brace)";
      return std::nullopt;
    }
    const std::string field = text.substr(i + 1, close - i - 1);
    i = close;
    if (field == "name") {
      t.parts_.push_back({TKind::Name, {}, 0});
    } else if (field == "ext") {
      t.parts_.push_back({TKind::Ext, {}, 0});
    } else if (field == "EXT") {
      t.parts_.push_back({TKind::UpperExt, {}, 0});
    } else if (field == "page") {
      t.parts_.push_back({TKind::Page, {}, 0});
    } else if (field.starts_with("page:") && field.size() > 5 && field.size() <= 7 &&
               field.find_first_not_of("0123456789", 5) == std::string::npos &&
               std::stoi(field.substr(5)) <= kMaxPageWidth) {
      t.parts_.push_back({TKind::Page, {}, std::stoi(field.substr(5))});
    } else {
      error = "unknown field {" + field + "}: the fields are {page}, {page:03}, {name}, {ext} and {EXT}";
      return std::nullopt;
    }
  }
  return t;
}

std::string TNameTemplate::Expand(int page, const std::string& name, const std::string& extension) const {
  std::string out;
  for (const TPart& p : parts_) {
    switch (p.Kind) {
      case TKind::Text: out += p.Text; break;
      case TKind::Name: out += name; break;
      case TKind::Ext: out += Lower(extension); break;
      case TKind::UpperExt: out += Upper(extension); break;
      case TKind::Page: {
        const std::string digits = std::to_string(page);
        if (static_cast<int>(digits.size()) < p.Width) out.append(p.Width - digits.size(), '0');
        out += digits;
        break;
      }
    }
  }
  return out;
}

std::optional<int> TNameTemplate::PageOf(const std::string& fileName, const std::string& name,
                                         const std::string& extension) const {
  // Walk the name part by part; the first run of digits where a {page} stands gives the page,
  // and expanding that page again must give the whole name back.
  std::size_t at = 0;
  std::optional<int> page;
  for (const TPart& p : parts_) {
    if (p.Kind != TKind::Page) {
      const std::string fixed = p.Kind == TKind::Text ? p.Text
                          : p.Kind == TKind::Name ? name
                          : p.Kind == TKind::Ext  ? Lower(extension)
                                                  : Upper(extension);
      if (fileName.compare(at, fixed.size(), fixed) != 0) return std::nullopt;
      at += fixed.size();
      continue;
    }
    std::size_t end = at;
    while (end < fileName.size() && end - at < 10 && std::isdigit(static_cast<unsigned char>(fileName[end]))) ++end;
    if (end == at) return std::nullopt;
    const long long value = std::stoll(fileName.substr(at, end - at));
    if (value < 1 || value > 2147483647LL) return std::nullopt;
    if (!page) page = static_cast<int>(value);
    at = end;
  }
  if (!page || at != fileName.size() || Expand(*page, name, extension) != fileName) return std::nullopt;
  return page;
}

bool TNameTemplate::NamesPages() const {
  for (const TPart& p : parts_)
    if (p.Kind == TKind::Page) return true;
  return false;
}

}  // namespace plover
