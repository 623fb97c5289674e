#pragma once
// Encoding CMaps of composite fonts: codespace ranges split a string into codes of one to four
// bytes, and cidrange/cidchar/notdefrange map codes to CIDs. A CMap may build on another
// (usecmap); its own mappings come first.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel {

struct TCharCode {
  std::uint32_t Code = 0;
  std::uint32_t CID = 0;
  std::uint8_t Length = 0;  // bytes of the string the code took
};

class TPDFEncodingCMap {
 public:
  struct TRange {
    std::uint32_t First = 0, Last = 0, CID = 0;
    std::uint8_t Bytes = 0;
  };
  struct TCodespace {
    std::uint8_t Bytes = 0;
    std::uint8_t Low[4] = {}, High[4] = {};
  };

  // Identity-H / Identity-V: two-byte codes that are their own CIDs.
  static std::shared_ptr<TPDFEncodingCMap> Identity(int wmode);

  // Reads codespace ranges, cidrange, cidchar, notdefrange, WMode and usecmap. `parent` is
  // the CMap named by usecmap when the caller already has it (a UseCMap stream); otherwise
  // usecmap names are looked up among the predefined CMaps, `depth` counting the links.
  static std::shared_ptr<TPDFEncodingCMap> Parse(std::string_view text,
                                                 std::shared_ptr<const TPDFEncodingCMap> parent = {},
                                                 int depth = 0);

  // Appends the codes of `bytes`. Bytes that match no codespace range are taken as one code
  // of the shortest length that could start there, mapped to CID 0.
  void Split(std::string_view bytes, std::vector<TCharCode>& out) const;
  // The CID of a code of `length` bytes: own mappings, then the parent's; notdef ranges
  // (or 0) when none maps it.
  std::uint32_t CIDOf(std::uint32_t code, int length) const;

  const std::string& Name() const { return m_name; }
  int WMode() const { return m_wmode; }
  bool Empty() const { return m_codespace.empty() && !m_parent && !m_identity; }

 private:
  static const TRange* Lookup(const std::vector<TRange>& ranges, std::uint32_t code, int length);
  int CodeLength(std::string_view bytes) const;
  void Finish();

  std::string m_name;
  int m_wmode = 0;
  bool m_identity = false;
  std::vector<TCodespace> m_codespace;  // own ranges followed by the parent's
  std::vector<TRange> m_ranges, m_notdef;  // sorted by (Bytes, First)
  std::shared_ptr<const TPDFEncodingCMap> m_parent;
};

}  // namespace kestrel
