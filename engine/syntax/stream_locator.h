#pragma once
// Finds the raw data of a stream object between "stream" and "endstream".
#include <functional>
#include <optional>

#include "engine/syntax/structure.h"

namespace kestrel {

struct TStreamBody {
  std::size_t Start = 0;   // 0-based offset of the data in the object's text
  std::size_t Length = 0;
};

// Loads the object a "Length" reference names (the reader passes its own loader).
using TLengthLoader = std::function<TPDFObject*(const TPDFIndRef*)>;

// Where the data starts after the "stream" keyword at `keyword`: blanks, then exactly one line
// end (CR LF, CR or LF). Nothing when the line end is missing.
std::optional<std::size_t> StreamDataStart(TByteView text, std::size_t keyword);

// `text` is an object's text after "obj"; `dict` is the dictionary parsed from its start and
// `afterDict` the number of characters the parser consumed for it.
std::optional<TStreamBody> LocateStreamBody(TByteView text, const TPDFDictionary* dict,
                                            std::size_t afterDict, const TLengthLoader& loadLength);

// Parses an object's text; a dictionary followed by a stream body becomes a stream.
TPDFObject* ParseIndirectObjectText(TByteView text, TPDFStructure& pool, const TLengthLoader& loadLength);

}  // namespace kestrel
