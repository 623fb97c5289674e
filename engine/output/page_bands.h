#pragma once
// Pages too large for one bitmap (an A4 page at 2400 dpi is 557 million pixels) are drawn in
// horizontal bands, each handed to the file's encoder row by row and then drawn over by the
// next: memory holds one band, whatever the page's size.
#include <cstdint>
#include <functional>
#include <string>

#include "engine/output/byte_sink.h"
#include "engine/output/output_format.h"
#include "engine/output/output_options.h"
#include "engine/syntax/bytes.h"

namespace kestrel {

class TPDFRenderer;

// Whether a page of this size is past the pixel limit but can be drawn in bands into `format`:
// the formats whose encoders take rows as they come (BMP, JPEG, PNG, TIFF and the PNM family),
// in colour, gray or mono, opaque or transparent, except mono BMP (its rows go bottom up, the
// dithering top down). GIF and WebP take the whole page at once, and sides past the limit still
// refuse the page.
bool DrawsInBands(std::int64_t width, std::int64_t height, TOutputFormat format, const TOutputOptions& options);
// Said after the refusal of a page past the pixel limit in a format that takes the whole page
// at once (GIF, WebP, mono BMP): why, and which formats draw it; empty for any other page.
std::string WhyNotInBands(std::int64_t width, std::int64_t height, TOutputFormat format,
                          const TOutputOptions& options);

// Encodes the page band by band (`bandRows` rows each) and writes the file to `out`. Each band is drawn by a fresh
// renderer that `prepare` sets up as for the whole page, so it is a page of its own with its
// own budgets. `problem` receives the notes of every band, each once, and says so when the
// page could not be encoded (the sink is then emptied).
void EncodePageInBands(const std::function<bool(TPDFRenderer&)>& prepare, std::int64_t width, std::int64_t height,
                       int bandRows, double dpi, TOutputFormat format, int jpegQuality,
                       const TOutputOptions& options, TByteSink& out, std::string& problem);

}  // namespace kestrel
