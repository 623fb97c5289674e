// The Type 1 / CFF side of the font loader: embedded FontFile and FontFile3 programs are read
// by TPDFType1Decoder.
#include "engine/fonts/font_collection.h"
#include "engine/fonts/font_program_hooks.h"
#include "engine/fonts/type1/type1_decoder.h"
#include "engine/syntax/objects.h"

namespace kestrel {

std::unique_ptr<TPDFFontRasterizer> LoadType1Program(TFontLoadContext& context,
                                                     TByteView program, TFontProgramKind kind) {
  auto decoder = std::make_unique<TPDFType1Decoder>();
  const bool ok = kind == TFontProgramKind::Type1 ? decoder->LoadType1Program(program, 0)
                                                  : decoder->LoadCFFProgram(TBytes(program));
  if (!ok) return nullptr;
  // The program's own encoding is the base when the font names no base encoding (a
  // Differences dictionary alone builds on it), and for symbolic Type 1 fonts.
  TPDFObject* encoding = context.Fonts.Resolve(context.Font.GetValue("Encoding", false));
  bool named = As<TPDFName>(encoding) != nullptr;
  if (auto* dict = As<TPDFDictionary>(encoding))
    named = As<TPDFName>(context.Fonts.Resolve(dict->GetValue("BaseEncoding", false))) != nullptr;
  const bool symbolic = (context.Record.Flags & kFontFlagSymbolic) != 0;
  if (!decoder->CIDKeyed() && (!named || (kind == TFontProgramKind::Type1 && symbolic)))
    context.Record.GlyphNames = decoder->BuiltInEncoding();
  return decoder;
}

}  // namespace kestrel
