#pragma once
// TPDFImageDecoder: one image XObject (or inline image, given as a stream) decoded into a
// picture: its samples through the general filters and the DCT, JPEG 2000, fax or JBIG2 codec,
// colour through the renderer's colour spaces, and its stencil, explicit, soft or colour-key mask.
// The picture is kept compact; bitmaps for the canvas are made at the size they are drawn.
#include <cstdint>
#include <functional>
#include <string>

#include "engine/images/image_color.h"
#include "engine/images/image_limits.h"
#include "engine/images/image_picture.h"
#include "engine/syntax/decode_budget.h"

namespace kestrel {

class TPDFStream;
class TPDFDictionary;

struct TImageDecodeContext {
  TImageColorResolver Colors;
  // Resolves an indirect reference; anything else is returned as it is. Unset: the
  // reference's own pool resolves it.
  std::function<TPDFObject*(TPDFObject*)> Resolve;
  // Decoded bytes the image may take (colour and masks).
  std::uint64_t MaxBytes = limits::kMaxImageBytes;
  // The page's decoded-bytes budget, charged for every filter stage of the image's streams.
  TDecodeBudget* Budget = nullptr;
  // Device pixels the image covers where it is first drawn (0: unknown). A JPEG image far
  // larger than that is decoded at a reduced scale that still covers it.
  double DrawnWidth = 0;
  double DrawnHeight = 0;
};

class TPDFImageDecoder {
 public:
  explicit TPDFImageDecoder(TImageDecodeContext context);

  // False, with Error() saying why, when the image cannot be drawn (unsupported codec,
  // unusable size or colour space, failed codec). Short data is not an error: the rows it
  // does not reach stay blank.
  bool Load(const TPDFStream& stream);

  const TDecodedPicture& Picture() const { return picture_; }
  // Whether the picture was decoded below its full size, and so is too small to be drawn
  // over `width` × `height` device pixels.
  bool TooSmallFor(double width, double height) const {
    return reduced_ && (width > picture_.Color.Width || height > picture_.Color.Height);
  }
  const std::string& Error() const { return error_; }
  // Bytes the decoded picture holds (what the page's image cache counts).
  std::uint64_t EncodedSize() const { return picture_.Bytes(); }

  // The picture as a canvas bitmap of the given size (a stencil painted in `fill`); the last
  // one made is kept for the next draw of the same size and colour.
  const TCanvasBitmap& Bitmap(int width, int height, TPackedColor fill);

 private:
  TPDFObject* Get(const TPDFDictionary& dict, const char* key) const;
  bool Fail(std::string why);
  // The mask's opacity plane: a soft mask's gray values or a stencil's painted area.
  bool LoadMask(const TPDFStream& stream, bool soft, TImagePlane& out);
  // Fax data as the image's 1-bit samples, read with the CCITT parameters of its last filter.
  TBytes FaxSamples(const TPDFDictionary& dict, TByteView data, int width, int height,
                    std::uint64_t maxBytes) const;
  // JBIG2 data (with the globals its decode parameters name) as the image's 1-bit samples,
  // 0 = black; the page of the data cut or padded with white to the image's size.
  TBytes JBIG2Samples(const TPDFDictionary& dict, TByteView data, int width, int height,
                      std::uint64_t maxBytes) const;

  TImageDecodeContext context_;
  TDecodedPicture picture_;
  std::string error_;
  bool reduced_ = false;
  TCanvasBitmap bitmap_;
  TPackedColor bitmapFill_ = 0;
};

}  // namespace kestrel
