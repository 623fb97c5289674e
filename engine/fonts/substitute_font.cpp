// Fonts drawn by something other than their own program: the 14 standard fonts, fonts that are
// not embedded, and embedded programs that could not be read. An installed font stands in,
// chosen by name; the standard fonts keep their published widths.
#include <string>

#include "engine/fonts/cmap/cmap_predefined.h"
#include "engine/fonts/font_collection.h"
#include "engine/fonts/font_program_hooks.h"
#include "engine/fonts/standard/builtin_fonts.h"
#include "engine/fonts/standard/standard_fonts.h"
#include "engine/fonts/system/simple_truetype_rasterizer.h"
#include "engine/fonts/system/system_font_choice.h"
#include "engine/fonts/system/system_font_rasterizer.h"
#include "engine/fonts/system/system_fonts.h"
#include "engine/fonts/truetype_rasterizer.h"
#include "engine/syntax/objects.h"

namespace kestrel {
namespace {

std::string_view AsView(std::span<const std::uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// TrueType-flavoured installed fonts go to the engine's own TrueType rasteriser; CFF and
// Type 1 ones are drawn through the system outline service until the Type 1/CFF decoder
// reads them.
std::unique_ptr<TPDFFontRasterizer> InstalledFontRasterizer(const TSystemFont& font,
                                                            bool symbolic) {
  auto data = GetSystemFontData(font);
  if (!data) return nullptr;
  if (data->Sfnt && !data->CffFlavoured) {
    auto tt = std::make_unique<TPDFTrueTypeRasterizer2>();
    tt->Parser.OffsetBias = static_cast<std::uint32_t>(data->OffsetBias());
    tt->Parser.LoadFromBytes(AsView(data->Bytes()));
    tt->SystemFont = {font.Family, font.Bold, font.Italic, font.CharSet};
    tt->Symbolic = symbolic;
    if (tt->Parser.GlyphCount() > 0) return tt;
  }
  auto system = std::make_unique<TPDFSystemFontRasterizer>(data);
  system->Symbolic = symbolic;
  if (!system->HasGlyphs()) return nullptr;
  return system;
}

// Whether the font's encoding names a base encoding; without one a symbolic font starts from
// its own built-in encoding.
bool NamesBaseEncoding(TFontLoadContext& ctx) {
  TPDFObject* encoding = ctx.Fonts.Resolve(ctx.Font.GetValue("Encoding", false));
  if (As<TPDFName>(encoding)) return true;
  auto* dict = As<TPDFDictionary>(encoding);
  return dict && As<TPDFName>(ctx.Fonts.Resolve(dict->GetValue("BaseEncoding", false)));
}

std::unique_ptr<TPDFFontRasterizer> StandardFont(TFontLoadContext& ctx, int index) {
  TPDFFontCollectionData& rec = ctx.Record;
  ctx.StandardFont = index;
  rec.Ascent = StandardFontMetrics(index).Ascent;
  rec.Descent = StandardFontMetrics(index).Descent;
  if ((index == kSymbol || index == kZapfDingbats) && !NamesBaseEncoding(ctx))
    rec.GlyphNames = StandardFontBuiltInEncoding(index);
  if (index == kZapfDingbats) {
    rec.FontName = "OspDingbats";
    auto tt = std::make_unique<TPDFTrueTypeRasterizer2>();
    tt->Parser.LoadFromBytes(AsView(DingbatsFontData()));
    return tt;
  }
  rec.FontName = StandardFontSubstitute(index);
  return InstalledFontRasterizer(ChooseSystemFont(rec.FontName, 0), false);
}

std::unique_ptr<TPDFFontRasterizer> HeiseiKakuGo(const std::string& name) {
  auto r = std::make_unique<TPDFSimpleTrueTypeRasterizer>();
  const std::string_view style = std::string_view(name).substr(15);
  if (style.substr(0, 5) == ",Bold") r->SystemFont.Bold = true;
  if (style.substr(0, 7) == ",Italic") r->SystemFont.Italic = true;
  if (style.substr(0, 11) == ",BoldItalic") r->SystemFont.Bold = r->SystemFont.Italic = true;
  return r;
}

// A CID font of a known character collection is drawn by the Unicode text of its CIDs in an
// installed font that covers the collection's script. Glyph numbers of any other font that is
// not embedded mean nothing in another font, so its text only advances.
std::unique_ptr<TPDFFontRasterizer> CIDFontStandIn(const TPDFFontCollectionData& rec) {
  const std::string_view language = CollectionLanguage(rec.CIDSystemInfo);
  if (language.empty()) return nullptr;
  TSystemFont font = ChooseSystemFont(rec.FontName, rec.Flags, {});
  font.Family = rec.FontName;
  if (std::size_t plus = font.Family.find('+'); plus != std::string::npos) font.Family.erase(0, plus + 1);
  font.Language = language;
  auto data = GetSystemFontData(font);
  if (!data) return nullptr;
  auto system = std::make_unique<TPDFSystemFontRasterizer>(data);
  system->Collection = rec.CIDSystemInfo;
  if (!system->HasGlyphs()) return nullptr;
  return system;
}

}  // namespace

std::unique_ptr<TPDFFontRasterizer> LoadSubstituteFont(TFontLoadContext& ctx) {
  TPDFFontCollectionData& rec = ctx.Record;
  const std::string& subtype = rec.Subtype;
  if (subtype == "CIDFontType0" || subtype == "CIDFontType2") {
    if (subtype == "CIDFontType0" && rec.FontName.rfind("HeiseiKakuGo-W5", 0) == 0)
      return HeiseiKakuGo(rec.FontName);
    return CIDFontStandIn(rec);
  }
  const bool type1 = subtype == "Type1" || subtype == "MMType1";
  if (type1 && !ctx.Descriptor && As<TPDFName>(ctx.Fonts.Resolve(ctx.Font.GetValue("BaseFont", false)))) {
    if (const int index = StandardFontIndex(rec.FontName); index > 0)
      return StandardFont(ctx, index);
  }
  // A symbolic TrueType font reads its codes through the symbol cmaps; Type 1 fonts are
  // looked up by glyph name whatever their flags say.
  const bool symbolic = subtype == "TrueType" && (rec.Flags & kFlagSymbolic) != 0;
  auto r = InstalledFontRasterizer(ChooseSystemFont(rec.FontName, rec.Flags), symbolic);
  if (r && symbolic) {
    for (int c = 0; c < 256; ++c) rec.GlyphNames[static_cast<std::size_t>(c)] = "CID:" + std::to_string(c);
    ctx.DifferencesSetAside = true;
  }
  return r;
}

void SubstituteFontWidths(TFontLoadContext& ctx) {
  TPDFFontCollectionData& rec = ctx.Record;
  if (ctx.StandardFont > 0) {
    StandardFontWidths(ctx.StandardFont, rec.GlyphNames, rec.Widths);
    return;
  }
  if (rec.IsComposite) return;
  // Every code takes the advance of the glyph it draws in the installed font, when it finds
  // one; a symbolic font's "CID:" names find theirs through the symbol cmaps.
  for (std::size_t code = 0; code < 256; ++code) {
    const std::string& name = rec.GlyphNames[code];
    double width = -1;
    if (auto* tt = dynamic_cast<TPDFTrueTypeRasterizer2*>(rec.Rasterizer.get())) {
      if (const int g = tt->GlyphIndexOf(name); g > 0) width = tt->Parser.AdvanceWidth(g);
    } else if (auto* system = dynamic_cast<TPDFSystemFontRasterizer*>(rec.Rasterizer.get())) {
      width = system->AdvanceWidthOfName(name);
    }
    if (width >= 0) rec.Widths[code] = width;
  }
}

}  // namespace kestrel
