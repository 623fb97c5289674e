#pragma once
// TPDFImageDecoder: one image XObject (or inline image, given as a stream) decoded into a
// picture: its samples through the general filters and the DCT, JPEG 2000, fax or JBIG2 codec,
// colour through the renderer's colour spaces, and its stencil, explicit, soft or colour-key mask.
// The picture is kept compact; bitmaps for the canvas are made at the size they are drawn.
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "engine/images/image_color.h"
#include "engine/images/image_limits.h"
#include "engine/images/image_picture.h"
#include "engine/images/image_samples.h"
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
  // larger than that is decoded at a reduced scale that still covers it; an image of at least
  // ReducedFromPixels pixels drawn at half its area or less is read a row at a time into the
  // size it is drawn at (a scanned page), never held whole.
  double DrawnWidth = 0;
  double DrawnHeight = 0;
  std::uint64_t ReducedFromPixels = limits::kReducedImagePixels;
};

class TPDFImageDecoder {
 public:
  enum class TCodec { None, DCT, JPX, CCITT, JBIG2 };

  explicit TPDFImageDecoder(TImageDecodeContext context);

  // False, with Error() saying why, when the image cannot be drawn (unsupported codec,
  // unusable size or colour space, failed codec). Short data is not an error: the rows it
  // does not reach stay blank.
  bool Load(const TPDFStream& stream);

  const TDecodedPicture& Picture() const { return picture_; }
  // Whether the picture was decoded below its full size, and so is too small to be drawn
  // over `width` × `height` device pixels.
  bool TooSmallFor(double width, double height) const {
    return reducedWidth_ > 0 && (width > reducedWidth_ || height > reducedHeight_);
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
  // The size to read a `width` × `height` plane into as it decodes; {0, 0} to decode it whole.
  std::pair<int, int> ReducedSize(int width, int height) const;
  // The raw samples of an image or mask whose data is not a DCT or JPEG 2000 codec's, whole.
  TBytes WholeSamples(const TPDFStream& stream, TCodec codec, const TSampleLayout& layout,
                      std::uint64_t maxBytes) const;
  // The same a row at a time: read from the filters as they decode when they can be, else
  // from the whole samples kept in `whole`.
  TSampleRows SampleRows(const TPDFStream& stream, TCodec codec, const TSampleLayout& layout,
                         std::uint64_t maxBytes, TBytes& whole) const;
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
  // The smallest size a plane was reduced to while decoding; 0 when none was.
  int reducedWidth_ = 0;
  int reducedHeight_ = 0;
  void NoteReduced(int width, int height);
  TCanvasBitmap bitmap_;
  TPackedColor bitmapFill_ = 0;
};

}  // namespace kestrel
