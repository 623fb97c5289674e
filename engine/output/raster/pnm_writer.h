#pragma once
// Netpbm output: PPM (P6), PGM (P5), PBM (P4, 1 = black) and PAM (P7, with alpha when the
// page has it), 8 bits a sample.
#include "engine/output/byte_sink.h"
#include "engine/output/raster/page_picture.h"
#include "engine/syntax/bytes.h"

namespace kestrel {

enum class TPNMKind { kPPM, kPGM, kPBM, kPAM };

// PGM and PBM take the gray of colour pages; PBM makes gray samples black below 128. PAM
// writes the picture as it is: RGB, GRAYSCALE or BLACKANDWHITE, with _ALPHA when it has
// alpha (mono pages with alpha are GRAYSCALE_ALPHA, keeping soft edges). Empty for an empty
// picture.
TBytes EncodePNM(const TPagePicture& picture, TPNMKind kind);
// The same written to `out` row by row as the rows are read.
bool EncodePNM(const TPagePicture& picture, TPNMKind kind, TByteSink& out);

}  // namespace kestrel
