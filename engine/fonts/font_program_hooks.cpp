// Default hooks: no Type 1/CFF decoder and no system fonts are built in yet, so such fonts
// advance but draw nothing. The Type 1/CFF decoder and the system-font side replace these.
#include "engine/fonts/font_program_hooks.h"

namespace kestrel {

std::unique_ptr<TPDFFontRasterizer> LoadType1Program(TFontLoadContext&, TByteView,
                                                     TFontProgramKind) {
  return nullptr;
}

std::unique_ptr<TPDFFontRasterizer> LoadSubstituteFont(TFontLoadContext&) { return nullptr; }

}  // namespace kestrel
