#pragma once
// Fuzz harness body for the INI reader of the settings and language files, shared by the
// libFuzzer target and the seed-replay test.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "app/ini_file.h"
#include "app/language_files.h"

namespace fuzzharness {

inline std::string LowerAscii(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// Parses bytes as an INI file, looks up keys, writes every entry into a fresh document, and
// checks that the written text reads back to the same values.
inline void IniRoundTrip(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const plover::TIniFile ini = plover::TIniFile::Parse(bytes);
  ini.ReadString(plover::kTextSection, "FrmConvertImage.ActRun.Caption", "");
  ini.ReadInteger("set", "Y", -1);
  plover::TIniFile copy;
  std::set<std::string> seen;
  for (const plover::TIniSection& section : ini.Sections()) {
    // Only the first section of a name is searched; its every key must be found.
    const bool first = seen.insert(LowerAscii(section.Name)).second;
    for (const plover::TIniEntry& entry : section.Entries) {
      if (first && !ini.Find(section.Name, entry.Key).has_value()) __builtin_trap();
      if (!copy.WriteString(section.Name, entry.Key, entry.Value)) __builtin_trap();
    }
  }
  const plover::TIniFile again = plover::TIniFile::Parse(copy.Serialize());
  for (const plover::TIniSection& section : copy.Sections())
    for (const plover::TIniEntry& entry : section.Entries)
      if (again.Find(section.Name, entry.Key) != copy.Find(section.Name, entry.Key)) __builtin_trap();
}

}  // namespace fuzzharness
