// Default hook: no system fonts are built in yet, so fonts without a usable program advance
// but draw nothing. The system-font side replaces it. (Type 1/CFF: type1_font_hook.cpp.)
#include "engine/fonts/font_program_hooks.h"

namespace kestrel {

std::unique_ptr<TPDFFontRasterizer> LoadSubstituteFont(TFontLoadContext&) { return nullptr; }

}  // namespace kestrel
