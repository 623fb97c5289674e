#pragma once
// The predefined CMaps named by a Type0 font's Encoding and the CID-to-Unicode tables of the
// Adobe character collections. Identity-H/V are built in; the others are read from the
// poppler-data package on first use and kept for the life of the process.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/fonts/cmap/cmap_encoding.h"

namespace kestrel {

// The CMap of that name, or none when it is unknown or its file is missing. `depth` counts
// usecmap links followed so far.
std::shared_ptr<const TPDFEncodingCMap> PredefinedCMap(std::string_view name, int depth = 0);

// Splits `bytes` by a predefined CMap. `recognised` is false, and no codes come out, when the
// name is not a known CMap.
std::vector<TCharCode> SplitPredefinedCodes(std::string_view cmapName, std::string_view bytes,
                                            bool& recognised);

// The Unicode text of a CID of a collection ("Adobe-Japan1-6": Registry-Ordering-Supplement)
// from the collection's table; empty when unknown.
std::u16string PredefinedUnicode(std::string_view cidSystemInfo, std::uint32_t cid);

// The fontconfig language of a collection's script ("ja", "zh-cn", "zh-tw", "ko"), by which
// an installed font stands in for a CID font that is not embedded; empty for others.
std::string_view CollectionLanguage(std::string_view cidSystemInfo);

// Where the CMap and CID-to-Unicode files are looked up; tests may point it elsewhere.
void SetPredefinedCMapRoot(std::string root);

}  // namespace kestrel
