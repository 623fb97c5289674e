#pragma once
// The encoding CMap of a Type0 font, as the font record's code splitter: a predefined CMap
// named by the Encoding, or an embedded CMap stream (which may build on another through
// UseCMap).
#include <memory>

#include "engine/fonts/cmap/cmap_encoding.h"
#include "engine/fonts/font_record.h"

namespace kestrel {

class TPDFFontCollection;
class TPDFObject;

class TCMapCodeMap final : public TPDFCodeMap {
 public:
  explicit TCMapCodeMap(std::shared_ptr<const TPDFEncodingCMap> cmap) : m_cmap(std::move(cmap)) {}
  void StringToCodes(TByteView bytes, std::vector<TPDFCharCode>& codes) const override;
  std::size_t MemorySize() const override { return sizeof(*this); }
  bool Vertical() const override { return m_cmap->WMode() == 1; }

 private:
  std::shared_ptr<const TPDFEncodingCMap> m_cmap;
};

// The code splitter of a Type0 font's Encoding (a name or a CMap stream, already resolved);
// null for Identity-H/V, whose two-byte codes the record reads itself, and for encodings that
// cannot be read.
std::unique_ptr<TPDFCodeMap> LoadEncodingCMap(TPDFFontCollection& fonts, TPDFObject* encoding);

}  // namespace kestrel
