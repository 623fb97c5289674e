#pragma once
// Page file names from a template: "{name}-{page:04}.{ext}" gives "report-0007.png".
#include <optional>
#include <string>
#include <vector>

namespace plover {

class TNameTemplate {
 public:
  // The default, "{page}.{EXT}": 1.JPEG, 2.JPEG, ...
  TNameTemplate();
  // Fields: {page}, {page:N} (zero padded to N digits), {name} (the PDF's name without its
  // extension), {ext} and {EXT} (the format in lower and upper case); "{{" and "}}" are
  // braces. nullopt with the reason for an unknown field, a lone brace, or a "/".
  static std::optional<TNameTemplate> Parse(const std::string& text, std::string& error);

  std::string Expand(int page, const std::string& name, const std::string& extension) const;
  // The page a file name stands for under this template, or nullopt when it is none of its names.
  std::optional<int> PageOf(const std::string& fileName, const std::string& name, const std::string& extension) const;
  // Whether pages get names of their own (the template has a {page} field).
  bool NamesPages() const;
  const std::string& Text() const { return text_; }

 private:
  enum class TKind { Text, Page, Name, Ext, UpperExt };
  struct TPart {
    TKind Kind;
    std::string Text;  // literal text
    int Width = 0;     // zero padding of {page:N}
  };
  std::string text_;
  std::vector<TPart> parts_;
};

}  // namespace plover
