#include "engine/fonts/font_loader.h"

#include <cmath>
#include <optional>
#include <string>

#include "engine/fonts/cmap/cmap_code_map.h"
#include "engine/fonts/standard/builtin_fonts.h"
#include "engine/fonts/font_collection.h"
#include "engine/fonts/font_program_hooks.h"
#include "engine/fonts/truetype_rasterizer.h"
#include "engine/fonts/type3_rasterizer.h"
#include "engine/syntax/objects.h"

namespace kestrel {

namespace {

struct TLoader {
  TPDFFontCollection& fonts;

  TPDFObject* R(TPDFObject* obj) const { return fonts.Resolve(obj); }
  template <class T>
  T* Get(TPDFDictionary* dict, TByteView key) const {
    return dict ? As<T>(R(dict->GetValue(key, false))) : nullptr;
  }
  std::optional<double> Number(TPDFDictionary* dict, TByteView key) const {
    auto* n = Get<TPDFNumeric>(dict, key);
    if (!n || !std::isfinite(n->Value)) return std::nullopt;
    return n->Value;
  }
  TBytes Name(TPDFDictionary* dict, TByteView key) const {
    auto* n = Get<TPDFName>(dict, key);
    return n ? n->Value : TBytes();
  }
  // Decoded data of a stream entry; empty when the entry is not a stream.
  TBytes StreamData(TPDFDictionary* dict, TByteView key) const {
    auto* s = Get<TPDFStream>(dict, key);
    return s ? s->Decode() : TBytes();
  }

  void Load(TPDFObject* fontObject, TPDFFontCollectionData& rec, bool descendant);
  std::unique_ptr<TPDFFontRasterizer> LoadTrueType(TFontLoadContext& ctx, TByteView program,
                                                   bool& setAside);
  void ReadSimpleWidths(TPDFDictionary& dict, TPDFFontCollectionData& rec);
  void ReadCIDWidths(TPDFDictionary& dict, TPDFFontCollectionData& rec);
};

void SymbolicNames(TPDFFontCollectionData& rec) {
  for (int c = 0; c < 256; ++c) rec.GlyphNames[static_cast<std::size_t>(c)] = "CID:" + std::to_string(c);
}

std::unique_ptr<TPDFFontRasterizer> TLoader::LoadTrueType(TFontLoadContext& ctx, TByteView program,
                                                          bool& setAside) {
  auto tt = std::make_unique<TPDFTrueTypeRasterizer2>();
  tt->Parser.LoadFromBytes(program);
  if (tt->Parser.CFFTableOffset() > 0)
    return LoadType1Program(ctx, program, TFontProgramKind::OpenTypeCFF);
  if (tt->Parser.GlyphCount() == 0) return nullptr;  // not a font we can read: substituted
  const TPDFTrueTypeParser& p = tt->Parser;
  tt->Symbolic = (ctx.Record.Flags & kFontFlagSymbolic) != 0;
  // A font said to be non-symbolic whose only cmap is the symbol one cannot be reached by
  // glyph names: its codes are looked up as a symbolic font's are.
  if (!tt->Symbolic && p.FindCmapSubtable(3, 1) < 0 && p.FindCmapSubtable(1, 0) < 0 &&
      p.FindCmapSubtable(3, 0) >= 0 && p.GlyphNameCount() == 0) {
    tt->Symbolic = true;
  }
  if (tt->Symbolic && !ctx.Record.IsComposite) {
    SymbolicNames(ctx.Record);
    setAside = true;
  }
  return tt;
}

void TLoader::ReadSimpleWidths(TPDFDictionary& dict, TPDFFontCollectionData& rec) {
  const auto first = Number(&dict, "FirstChar");
  auto last = Number(&dict, "LastChar");
  auto* widths = Get<TPDFArray>(&dict, "Widths");
  if (!first || !last || !widths) return;
  if (*last > 255) last = 255;
  const long f = static_cast<long>(*first);
  for (long i = 0; f + i <= *last && i < widths->Count() && i < 65536; ++i) {
    const long code = f + i;
    if (code < 0 || code > 255) continue;
    auto* w = As<TPDFNumeric>(R(widths->Item(static_cast<int>(i))));
    rec.Widths[static_cast<std::size_t>(code)] = w && std::isfinite(w->Value) ? w->Value : 0;
  }
}

void TLoader::ReadCIDWidths(TPDFDictionary& dict, TPDFFontCollectionData& rec) {
  const auto dw = Number(&dict, "DW");
  const int defaultWidth = dw && std::fabs(*dw) < 1e9 ? static_cast<int>(*dw) : 1000;
  rec.CIDWidths = ParseCIDWidths(Get<TPDFArray>(&dict, "W"), defaultWidth,
                                 [this](TPDFObject* o) { return R(o); });
  if (rec.Subtype == "CIDFontType0" && rec.FontName.rfind("HeiseiKakuGo-W5", 0) == 0 &&
      !Get<TPDFArray>(&dict, "W")) {
    for (const auto& [cid, width] : HeiseiKakuGoWidths()) rec.CIDWidths->Widths[cid] = width;
  }
  if (rec.Subtype == "CIDFontType2") rec.CIDToGIDMap = StreamData(&dict, "CIDToGIDMap");
  rec.VerticalMetrics = ParseCIDVerticalMetrics(Get<TPDFArray>(&dict, "W2"),
                                                Get<TPDFArray>(&dict, "DW2"),
                                                [this](TPDFObject* o) { return R(o); });
}

void TLoader::Load(TPDFObject* fontObject, TPDFFontCollectionData& rec, bool descendant) {
  rec.GlyphNames = FillBaseEncoding(kStandardEncoding);
  auto* dict = As<TPDFDictionary>(R(fontObject));
  if (!dict) return;
  TPDFDictionary* fd = Get<TPDFDictionary>(dict, "FontDescriptor");
  const auto missing = Number(fd, "MissingWidth");
  rec.Widths.fill(missing ? *missing : 750);
  if (auto* base = Get<TPDFName>(dict, "BaseFont")) rec.FontName = base->Value;

  // Encoding: a name, or a dictionary with BaseEncoding and Differences.
  TBytes encodingName;
  int baseEncoding = kStandardEncoding;
  TPDFArray* differences = nullptr;
  TPDFObject* encoding = R(dict->GetValue("Encoding", false));
  if (auto* name = As<TPDFName>(encoding)) {
    encodingName = name->Value;
  } else if (auto* ed = As<TPDFDictionary>(encoding)) {
    encodingName = Name(ed, "BaseEncoding");
    differences = Get<TPDFArray>(ed, "Differences");
  }
  if (const int n = BaseEncodingNumber(encodingName); n >= 0) baseEncoding = n;
  rec.GlyphNames = FillBaseEncoding(baseEncoding);
  rec.Subtype = Name(dict, "Subtype");

  if (rec.Subtype == "Type0") {
    // The descendant CIDFont makes the record; the Type0 font adds how codes are read.
    auto* kids = Get<TPDFArray>(dict, "DescendantFonts");
    if (!descendant && kids && kids->Count() == 1) Load(kids->Item(0), rec, true);
    rec.IsComposite = true;
    rec.CMapName = As<TPDFName>(encoding) ? encodingName : TBytes();
    // Codes follow the encoding CMap (its codespace ranges), never the ToUnicode map.
    rec.CodeMap = LoadEncodingCMap(fonts, encoding);
    // Vertical: a predefined CMap whose name ends in -V, or a CMap stream with WMode 1.
    rec.Vertical = rec.CodeMap ? rec.CodeMap->Vertical()
                               : rec.CMapName.size() > 2 && rec.CMapName.ends_with("-V");
    if (rec.Vertical && !rec.VerticalMetrics) rec.VerticalMetrics = std::make_unique<TPDFCIDVerticalMetrics>();
    if (auto* base = Get<TPDFName>(dict, "BaseFont")) rec.FontName = base->Value;
    return;
  }

  if (fd) {
    if (auto n = Number(fd, "Ascent")) rec.Ascent = static_cast<int>(*n);
    if (auto n = Number(fd, "Descent")) rec.Descent = static_cast<int>(*n);
    if (auto n = Number(fd, "Flags"); n && std::fabs(*n) < 4e9)
      rec.Flags = static_cast<int>(static_cast<long long>(*n) & 0x7FFFFFFF);
  }
  rec.IsComposite = descendant;
  TFontLoadContext ctx{fonts, rec, *dict, fd, !encodingName.empty() || differences};
  bool setAside = false;
  const TBytes& st = rec.Subtype;
  if (st == "Type1" || st == "MMType1" || st == "CIDFontType0") {
    if (TBytes data = StreamData(fd, "FontFile"); !data.empty()) {
      rec.Rasterizer = LoadType1Program(ctx, data, TFontProgramKind::Type1);
    }
    if (auto* s = Get<TPDFStream>(fd, "FontFile3")) {
      const bool openType = Name(s->Dictionary(), "Subtype") == "OpenType";
      const TBytes data = s->Decode();
      if (openType) {
        rec.Rasterizer = LoadTrueType(ctx, data, setAside);
      } else {
        rec.Rasterizer = LoadType1Program(ctx, data, TFontProgramKind::CFF);
      }
    }
  } else if (st == "TrueType" || st == "CIDFontType2") {
    TBytes data = StreamData(fd, "FontFile2");
    if (data.empty()) data = StreamData(fd, "FontFile3");  // OpenType with TrueType outlines
    if (!data.empty()) {
      rec.Rasterizer = LoadTrueType(ctx, data, setAside);
    }
  } else if (st == "Type3") {
    auto t3 = std::make_unique<TPDFType3Rasterizer>();
    t3->LoadType3Font(*dict, [this](TPDFObject* o) { return R(o); });
    rec.Rasterizer = std::move(t3);
    rec.IsType3 = true;
  }
  // The character collection comes first: an installed font standing in for a CID font is
  // chosen by it (CollectionLanguage) and reached through its CID-to-Unicode table.
  auto* info = Get<TPDFDictionary>(dict, "CIDSystemInfo");
  if (info && (st == "CIDFontType0" || st == "CIDFontType2")) {
    auto text = [&](TByteView key) {
      auto* s = Get<TPDFString>(info, key);
      return s ? s->Value : TBytes();
    };
    const auto supplement = Number(info, "Supplement");
    rec.CIDSystemInfo = text("Registry") + "-" + text("Ordering") + "-" +
                        (supplement ? std::to_string(static_cast<long>(*supplement)) : "");
  }
  // Not embedded, a standard font, or a program that could not be read: an installed font
  // stands in, so that the text does not vanish.
  const bool substituted = !rec.Rasterizer;
  if (substituted) rec.Rasterizer = LoadSubstituteFont(ctx);
  if (differences && !setAside && !ctx.DifferencesSetAside) {
    ApplyDifferences(rec.GlyphNames, *differences);
  }
  if (substituted) SubstituteFontWidths(ctx);
  if (st == "CIDFontType0" || st == "CIDFontType2") {
    ReadCIDWidths(*dict, rec);
  } else {
    ReadSimpleWidths(*dict, rec);
  }
}

}  // namespace

void LoadFontRecord(TPDFFontCollection& fonts, TPDFObject* fontObject,
                    TPDFFontCollectionData& record) {
  TLoader{fonts}.Load(fontObject, record, false);
}

}  // namespace kestrel
