#pragma once
// INI files of the front-end (settings and language files): sections of key=value lines.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plover {

// Files larger than this are not INI files of ours and are not read.
inline constexpr std::size_t kMaxIniFileBytes = 1 << 20;

struct TIniEntry {
  std::string Key;
  std::string Value;
};

struct TIniSection {
  std::string Name;
  std::vector<TIniEntry> Entries;
};

// An INI document held as UTF-8 text. A line "[name]" opens a section; "key=value" gives a value
// (key before the first "=", both without surrounding blanks); lines starting with ";" and
// lines without "=" are skipped. Section and key names compare without regard to ASCII case;
// the first of several equal sections or keys is the one that counts.
class TIniFile {
 public:
  // Parses file bytes in UTF-8 (with or without byte-order mark) or GBK.
  static TIniFile Parse(std::string_view bytes);
  // Reads a file; nullopt when it is missing, unreadable or larger than kMaxIniFileBytes.
  static std::optional<TIniFile> Load(const std::string& path);

  std::optional<std::string> Find(std::string_view section, std::string_view key) const;
  std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback) const;
  // The value as a decimal integer (optional sign); `fallback` when missing or not a number.
  int ReadInteger(std::string_view section, std::string_view key, int fallback) const;

  // Sets a value, replacing the first equal key or appending it. Returns false, changing
  // nothing, when a name or the value could not be written back as one line.
  bool WriteString(std::string_view section, std::string_view key, std::string_view value);

  // The document as UTF-8 text with CR LF line ends.
  std::string Serialize() const;
  // Writes Serialize() through a temporary file renamed over `path`.
  bool Save(const std::string& path) const;

  const std::vector<TIniSection>& Sections() const { return sections_; }

 private:
  const TIniSection* FindSection(std::string_view name) const;
  std::vector<TIniSection> sections_;
};

}  // namespace plover
