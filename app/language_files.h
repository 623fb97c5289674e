#pragma once
// The two interface language files: built into the program, written into the language folder
// on first need, read back when a language is applied.
#include <string>
#include <string_view>

namespace plover {

// Interface language index: 0 Simplified Chinese, 1 English.
inline constexpr int kLanguageChinese = 0;
inline constexpr int kLanguageEnglish = 1;
inline constexpr const char* kLanguageFileNames[2] = {"zh-cn.dyy", "en-us.dyy"};
inline constexpr const char* kLanguageFolderName = "Language6";

// Sections of a language file: component texts and message texts "T0" to "T6".
inline constexpr const char* kTextSection = "Lge";
inline constexpr const char* kMessageSection = "Meg";
inline constexpr int kMessageCount = 7;

// The built-in text of language `index` (0 or 1) as UTF-8 with LF line ends.
std::string_view BuiltInLanguageText(int index);

// The bytes written to the language file of `index`: GBK with CR LF line ends.
std::string LanguageFileBytes(int index);

// Creates `languageFolder` when missing (one level) and writes both files into it, replacing
// existing ones. Returns false when a file could not be written.
bool WriteLanguageFiles(const std::string& languageFolder);

}  // namespace plover
