#pragma once
// Finds the raw data of a stream object between "stream" and "endstream".
#include <functional>
#include <optional>

#include "engine/syntax/structure.h"

namespace kestrel {

struct TStreamBody {
  std::size_t Start = 0;   // 0-based offset of the data in the object's text
  std::size_t Length = 0;
  // The declared "Length" ended right before "endstream" (else the length was repaired).
  bool LengthMatched = false;
};

// Loads the object a "Length" reference names (the reader passes its own loader).
using TLengthLoader = std::function<TPDFObject*(const TPDFIndRef*)>;

// Where the data starts after the "stream" keyword at `keyword`: after blanks and one line end
// (CR LF, CR or LF). Writers that put no line end there start the data after the spaces that
// follow the keyword, if any.
std::size_t StreamDataStart(TByteView text, std::size_t keyword);

// `text` is an object's text after "obj"; `dict` is the dictionary parsed from its start and
// `afterDict` the number of characters the parser consumed for it.
std::optional<TStreamBody> LocateStreamBody(TByteView text, const TPDFDictionary* dict,
                                            std::size_t afterDict, const TLengthLoader& loadLength);

// Parses an object's text; a dictionary followed by a stream body becomes a stream.
// `lengthMatched`, when given, is false for a stream whose length had to be repaired. With
// `borrow`, the stream's data stays in `text` instead of being copied: the text must outlive
// the stream.
TPDFObject* ParseIndirectObjectText(TByteView text, TPDFStructure& pool, const TLengthLoader& loadLength,
                                    bool* lengthMatched = nullptr, bool borrow = false);

}  // namespace kestrel
