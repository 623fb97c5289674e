#pragma once
// Where the glyph programs that other parts of the engine decode plug into the font loader.
// Each hook returns the rasteriser it made, or null when it has none for the font: the font
// then advances but draws nothing.
#include <memory>

#include "engine/fonts/font_record.h"
#include "engine/syntax/bytes.h"

namespace kestrel {

class TPDFDictionary;
class TPDFFontCollection;

enum class TFontProgramKind {
  Type1,         // FontFile: a Type 1 program (clear-text and eexec parts)
  CFF,           // FontFile3: bare CFF (Type1C, CIDFontType0C)
  OpenTypeCFF,   // FontFile3 /OpenType, or a FontFile2 whose data carries a "CFF " table
};

struct TFontLoadContext {
  TPDFFontCollection& Fonts;
  TPDFFontCollectionData& Record;
  TPDFDictionary& Font;
  TPDFDictionary* Descriptor = nullptr;  // null when the font has none
  bool EncodingGiven = false;            // the font names an encoding (name or dictionary)
  int StandardFont = 0;                  // 1-14 for a standard font drawn by a substitute
  bool DifferencesSetAside = false;      // a symbolic substitute reads codes, not names
};

// An embedded Type 1 or CFF program. The decoder sets the record's glyph names to the
// program's built-in encoding when the font gives no encoding or is symbolic; the loader
// applies Differences afterwards.
std::unique_ptr<TPDFFontRasterizer> LoadType1Program(TFontLoadContext& context,
                                                     TByteView program, TFontProgramKind kind);

// A font without a usable program of its own (not embedded, one of the 14 standard fonts, or
// a program that could not be parsed): an installed font standing in for it, with the
// standard fonts' widths where the dictionary gives none.
std::unique_ptr<TPDFFontRasterizer> LoadSubstituteFont(TFontLoadContext& context);

// The widths of a substituted simple font once Differences are applied: the standard fonts'
// published widths, else the installed font's advance of every glyph it knows by name. The
// font's own Widths, read afterwards, take precedence.
void SubstituteFontWidths(TFontLoadContext& context);

}  // namespace kestrel
