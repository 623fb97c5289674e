#pragma once
// Where an inline image (BI ... ID data EI) ends in a content text. The image data may hold
// any bytes, "EI" included, so the end is found from the image's size and filter.
#include <cstddef>
#include <functional>

#include "engine/syntax/bytes.h"

namespace kestrel {

struct TInlineImageExtent {
  bool Found = false;          // "ID" and a closing "EI" were found
  std::size_t IdOffset = 0;    // where "ID" stands
  std::size_t DataStart = 0;   // first byte of the image data
  std::size_t DataEnd = 0;     // just before the "EI" (whitespace before it included)
  std::size_t Next = 0;        // where the content continues: after "EI", or the text's end
};

// Components of a colour space named in the image dictionary that is not a device space
// (looked up in the resources by the caller); 0 when unknown.
using TInlineSpaceComponents = std::function<int(TByteView name)>;

// `offset` is just after the BI operator.
TInlineImageExtent FindInlineImageEnd(TByteView content, std::size_t offset,
                                      const TInlineSpaceComponents& namedSpace);

class TPDFStructure;
class TPDFStream;

struct TInlineImage {
  // A stream made in the caller's pool: the image dictionary with every abbreviated key and
  // name written out (/W as /Width, /G as /DeviceGray, /Fl as /FlateDecode ...) and the image
  // data. Null when the image has no "ID" or no closing "EI".
  TPDFStream* Stream = nullptr;
  std::size_t Next = 0;  // where the content continues
};

// Reads the inline image that starts just after the BI operator at `offset`.
TInlineImage ReadInlineImage(TByteView content, std::size_t offset, TPDFStructure& pool,
                             const TInlineSpaceComponents& namedSpace);

}  // namespace kestrel
