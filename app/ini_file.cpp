#include "app/ini_file.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "app/text_encoding.h"

namespace plover {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

// Splits at CR LF, LF or a lone CR.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n' && text[i] != '\r') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

}  // namespace

TIniFile TIniFile::Parse(std::string_view bytes) {
  TIniFile ini;
  const std::string text = DecodeIniText(bytes);
  TIniSection* current = nullptr;
  for (std::string_view raw : SplitLines(text)) {
    const std::string_view line = Trim(raw);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const std::size_t close = line.find(']');
      if (close == std::string_view::npos) continue;
      ini.sections_.push_back(TIniSection{std::string(Trim(line.substr(1, close - 1))), {}});
      current = &ini.sections_.back();
      continue;
    }
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos || current == nullptr) continue;
    const std::string_view key = Trim(line.substr(0, eq));
    if (key.empty()) continue;
    current->Entries.push_back(TIniEntry{std::string(key), std::string(Trim(line.substr(eq + 1)))});
  }
  return ini;
}

std::optional<TIniFile> TIniFile::Load(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec || size > kMaxIniFileBytes) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes;
  bytes.resize(static_cast<std::size_t>(size));
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  if (in.bad()) return std::nullopt;
  return Parse(bytes);
}

const TIniSection* TIniFile::FindSection(std::string_view name) const {
  for (const TIniSection& section : sections_)
    if (SameName(section.Name, name)) return &section;
  return nullptr;
}

std::optional<std::string> TIniFile::Find(std::string_view section, std::string_view key) const {
  const TIniSection* found = FindSection(section);
  if (!found) return std::nullopt;
  for (const TIniEntry& entry : found->Entries)
    if (SameName(entry.Key, key)) return entry.Value;
  return std::nullopt;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key, std::string_view fallback) const {
  std::optional<std::string> value = Find(section, key);
  return value ? *value : std::string(fallback);
}

int TIniFile::ReadInteger(std::string_view section, std::string_view key, int fallback) const {
  const std::optional<std::string> value = Find(section, key);
  if (!value || value->empty()) return fallback;
  const char* first = value->data();
  const char* last = first + value->size();
  if (*first == '+') ++first;
  int number = 0;
  const auto [end, ec] = std::from_chars(first, last, number);
  if (ec != std::errc() || end != last) return fallback;
  return number;
}

bool TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  // What cannot be read back identically is refused rather than written mangled.
  if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) return false;
  if (section.find(']') != std::string_view::npos || Trim(section) != section) return false;
  if (key.empty() || key.find('=') != std::string_view::npos || Trim(key) != key || key.front() == ';' ||
      key.front() == '[')
    return false;
  if (Trim(value) != value) return false;
  TIniSection* target = nullptr;
  for (TIniSection& s : sections_)
    if (SameName(s.Name, section)) {
      target = &s;
      break;
    }
  if (!target) {
    sections_.push_back(TIniSection{std::string(section), {}});
    target = &sections_.back();
  }
  for (TIniEntry& entry : target->Entries)
    if (SameName(entry.Key, key)) {
      entry.Value = std::string(value);
      return true;
    }
  target->Entries.push_back(TIniEntry{std::string(key), std::string(value)});
  return true;
}

std::string TIniFile::Serialize() const {
  std::string out;
  for (const TIniSection& section : sections_) {
    out += "[" + section.Name + "]\r\n";
    for (const TIniEntry& entry : section.Entries) out += entry.Key + "=" + entry.Value + "\r\n";
  }
  return out;
}

bool TIniFile::Save(const std::string& path) const {
  const std::string temp = path + ".new";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    const std::string text = Serialize();
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) {
      std::remove(temp.c_str());
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  if (ec) std::remove(temp.c_str());
  return !ec;
}

}  // namespace plover
