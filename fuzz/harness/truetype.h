#pragma once
// Fuzz harness bodies for the TrueType parser and for font loading, shared by the libFuzzer
// targets and the seed-replay test.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "engine/fonts/font_collection.h"
#include "engine/fonts/truetype_rasterizer.h"
#include "engine/output/page_targets.h"
#include "engine/render/renderer.h"
#include "engine/syntax/structure.h"
#include "support/recording_canvas.h"

namespace fuzzharness {

// A TrueType font: every table parsed, glyphs drawn by index and by name, twice (the second
// time from the outline cache), all finite.
inline void TrueTypeFont(const uint8_t* data, size_t size) {
  using namespace kestrel;
  TPDFTrueTypeRasterizer2 r;
  r.Parser.LoadFromBytes(std::string_view(reinterpret_cast<const char*>(data), size));
  r.Symbolic = size > 0 && (data[size - 1] & 1);
  const int count = std::min(r.Parser.GlyphCount(), 64);
  std::vector<std::string> names = {"A", "space", "uni0041", "CID:65", "CID:32", "Aacute", ".notdef"};
  for (int g = 0; g < count; ++g) names.push_back("GID:" + std::to_string(g));
  for (const std::string& name : names) {
    TRecordingCanvas first(false, 20000), second(false, 20000);
    const bool a = r.DrawGlyph(first, TPDFMatrix{0.01, 0, 0, 0.01, 0, 0}, 5, 1, name);
    const bool b = r.DrawGlyph(second, TPDFMatrix{0.01, 0, 0, 0.01, 0, 0}, 5, 1, name);
    if (a != b || first.Text() != second.Text()) __builtin_trap();
  }
  for (int g = 0; g < 4; ++g) r.Parser.AdvanceWidth(g);
  r.Parser.GlyphIndexOfName("A");
}

// A font dictionary and a font program: the input is the dictionary text, a NUL byte and the
// program. The dictionary may name the program as 3 0 R, the descriptors 4 0 R (TrueType
// program) and 5 0 R (symbolic), a CIDToGIDMap 6 0 R and a glyph procedure 7 0 R. The font is
// loaded and shown by a page onto a recording canvas and onto a small raster.
inline void FontLoad(const uint8_t* data, size_t size) {
  using namespace kestrel;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t nul = input.find('\0');
  const std::string dict(input.substr(0, nul));
  const std::string program(nul == std::string_view::npos ? std::string_view() : input.substr(nul + 1));
  TPDFStructure pool;
  std::map<int, TPDFObject*> objects;
  pool.OnResolveRef = [&objects](TPDFIndRef*, int32_t num, int32_t) -> TPDFObject* {
    auto it = objects.find(num);
    return it == objects.end() ? nullptr : it->second;
  };
  auto add = [&](int num, TPDFObject* obj) {
    if (!obj) obj = pool.NewNull();
    obj->MarkIndirect(num, 0);
    objects[num] = obj;
  };
  add(1, pool.ParseObject(dict));
  add(3, pool.NewStreamOf(pool.NewDictionary(), program));
  add(4, pool.ParseObject("<< /Flags 32 /FontFile2 3 0 R /MissingWidth 500 >>"));
  add(5, pool.ParseObject("<< /Flags 4 /FontFile2 3 0 R >>"));
  add(6, pool.NewStreamOf(pool.NewDictionary(), program.substr(0, 64)));
  add(7, pool.NewStreamOf(pool.NewDictionary(), "500 0 d0 0 0 100 100 re f BT /F 10 Tf (AB) Tj ET"));
  add(8, pool.NewStreamOf(pool.NewDictionary(),
                          "BT /F 12 Tf 2 0 0 2 5 30 Tm (AB\\000\\377) Tj [<00410042> -300 (C)] TJ "
                          "1 Tr 3 Tc 4 Tw 150 Tz 3 Ts (a b) Tj 7 Tr (clip) Tj ET 0 0 50 50 re f"));
  add(9, pool.ParseObject("<< /Font << /F 1 0 R >> >>"));
  add(10, pool.ParseObject("<< /Type /Page /MediaBox [0 0 64 48] /Resources 9 0 R /Contents 8 0 R >>"));

  TPDFRenderer recorder;
  recorder.TokenBudget = 10'000;
  recorder.Resolution = 72;
  recorder.PageDictionary = As<TPDFDictionary>(objects[10]);
  TRecordingCanvas canvas(false, 20000);
  recorder.RenderPageOn(canvas);

  TPDFRenderer painter;
  painter.TokenBudget = 10'000;
  painter.Resolution = 36;
  painter.PageDictionary = As<TPDFDictionary>(objects[10]);
  std::optional<TRasterImage> bitmap;
  RenderPageBitmap(painter, bitmap);
}

}  // namespace fuzzharness
