#include "app/language_files.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>

#include "app/text_encoding.h"

namespace plover {

std::string LanguageFileBytes(int index) {
  const std::string_view text = BuiltInLanguageText(index);
  std::string crlf;
  crlf.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\n') crlf.push_back('\r');
    crlf.push_back(c);
  }
  // The built-in texts are all GBK characters; a failure here is a broken build resource.
  std::optional<std::string> gbk = Utf8ToGbk(crlf);
  return gbk ? *gbk : crlf;
}

bool WriteLanguageFiles(const std::string& languageFolder) {
  std::error_code ec;
  std::filesystem::create_directory(languageFolder, ec);
  bool allWritten = true;
  for (int i = 0; i < 2; ++i) {
    const std::filesystem::path path = std::filesystem::path(languageFolder) / kLanguageFileNames[i];
    const std::string bytes = LanguageFileBytes(i);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) allWritten = false;
  }
  return allWritten;
}

}  // namespace plover
