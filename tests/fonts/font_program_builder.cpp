#include "fonts/font_program_builder.h"

#include <cmath>
#include <cstdint>

namespace kestrel::testing {
namespace {

std::string Int32(std::int32_t v) {
  std::string s(1, '\x1d');
  for (int k = 3; k >= 0; --k) s += static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * k)) & 0xFF);
  return s;
}

std::string DictReal(double v) {
  std::string digits = std::to_string(v);  // "0.000500"
  std::string s(1, '\x1e');
  std::vector<int> nibbles;
  for (char c : digits) nibbles.push_back(c == '.' ? 0xA : c == '-' ? 0xE : c - '0');
  nibbles.push_back(0xF);
  if (nibbles.size() % 2) nibbles.push_back(0xF);
  for (std::size_t i = 0; i < nibbles.size(); i += 2) s += static_cast<char>(nibbles[i] * 16 + nibbles[i + 1]);
  return s;
}

std::string Index(const std::vector<std::string>& items) {
  std::string s;
  s += static_cast<char>(items.size() >> 8);
  s += static_cast<char>(items.size() & 0xFF);
  if (items.empty()) return s;
  s += '\x04';
  std::uint32_t offset = 1;
  auto put = [&](std::uint32_t v) {
    for (int k = 3; k >= 0; --k) s += static_cast<char>((v >> (8 * k)) & 0xFF);
  };
  put(offset);
  for (const std::string& item : items) put(offset += static_cast<std::uint32_t>(item.size()));
  for (const std::string& item : items) s += item;
  return s;
}

std::string Op(int op) { return op >= 1200 ? std::string{'\x0c', static_cast<char>(op - 1200)} : std::string(1, static_cast<char>(op)); }

std::string PrivateWithSubrs(const std::vector<std::string>& subrs) {
  // Subrs right after the Private DICT, which is 6 bytes long.
  return subrs.empty() ? std::string() : Int32(6) + Op(19) + Index(subrs);
}

}  // namespace

std::string CsNum(double v, bool type2) {
  if (v == std::floor(v) && v >= -107 && v <= 107) return std::string(1, static_cast<char>(v + 139));
  if (type2 && v == std::floor(v) && v >= -32768 && v <= 32767) {
    const int i = static_cast<int>(v);
    return {'\x1c', static_cast<char>((i >> 8) & 0xFF), static_cast<char>(i & 0xFF)};
  }
  const std::int32_t fixed = type2 ? static_cast<std::int32_t>(std::lround(v * 65536)) : static_cast<std::int32_t>(v);
  std::string s(1, '\xff');
  for (int k = 3; k >= 0; --k) s += static_cast<char>((static_cast<std::uint32_t>(fixed) >> (8 * k)) & 0xFF);
  return s;
}

std::string CsOp(int op) { return std::string(1, static_cast<char>(op)); }
std::string CsEsc(int op) { return {'\x0c', static_cast<char>(op)}; }

std::string TTestCFF::Build() const {
  const bool cid = !FDSubrs.empty();
  const std::size_t n = CharStrings.size();
  std::string charset(1, '\0');
  for (std::size_t g = 1; g < n; ++g) {
    const int v = g - 1 < Charset.size() ? Charset[g - 1] : static_cast<int>(g);
    charset += static_cast<char>(v >> 8);
    charset += static_cast<char>(v & 0xFF);
  }
  std::string fdselect(1, '\0');
  for (std::size_t g = 0; g < n; ++g) fdselect += static_cast<char>(g < FDSelect.size() ? FDSelect[g] : 0);
  const std::string charStrings = Index(CharStrings);
  const std::string priv = PrivateWithSubrs(LocalSubrs);

  // Every offset is a five-byte integer, so the Top DICT's size is known before its values.
  auto topDict = [&](std::size_t charsetAt, std::size_t charStringsAt, std::size_t privAt,
                     std::size_t fdArrayAt, std::size_t fdSelectAt) {
    std::string d;
    if (cid) d += Int32(391) + Int32(392) + Int32(0) + Op(1230);
    if (!FontMatrix.empty()) {
      for (double v : FontMatrix) d += DictReal(v);
      d += Op(1207);
    }
    d += Int32(static_cast<std::int32_t>(charsetAt)) + Op(15);
    d += Int32(static_cast<std::int32_t>(charStringsAt)) + Op(17);
    d += Int32(priv.empty() ? 0 : 6) + Int32(static_cast<std::int32_t>(privAt)) + Op(18);
    if (cid) {
      d += Int32(static_cast<std::int32_t>(fdArrayAt)) + Op(1236);
      d += Int32(static_cast<std::int32_t>(fdSelectAt)) + Op(1237);
    }
    return d;
  };
  const std::string header = {'\x01', '\x00', '\x04', '\x04'};
  const std::string names = Index({"Test"});
  const std::string strings = Index(cid ? std::vector<std::string>{"Adobe", "Identity"} : std::vector<std::string>{});
  const std::string gsubrs = Index(GlobalSubrs);
  const std::size_t topSize = Index({topDict(0, 0, 0, 0, 0)}).size();
  const std::size_t charsetAt = header.size() + names.size() + topSize + strings.size() + gsubrs.size();
  const std::size_t fdSelectAt = charsetAt + charset.size();
  const std::size_t charStringsAt = fdSelectAt + (cid ? fdselect.size() : 0);
  const std::size_t privAt = charStringsAt + charStrings.size();
  std::size_t fdArrayAt = privAt + priv.size();
  // Font dictionaries: Private (size, offset); their Private DICTs and Subrs follow the array.
  std::vector<std::string> fdPrivates;
  for (const auto& subrs : FDSubrs) fdPrivates.push_back(PrivateWithSubrs(subrs));
  const std::size_t fdDictSize = 11;
  std::size_t at = fdArrayAt + Index(std::vector<std::string>(FDSubrs.size(), std::string(fdDictSize, ' '))).size();
  std::vector<std::string> fdDicts;
  std::string fdTail;
  for (const std::string& p : fdPrivates) {
    fdDicts.push_back(Int32(static_cast<std::int32_t>(p.empty() ? 0 : 6)) + Int32(static_cast<std::int32_t>(at)) + Op(18));
    fdTail += p;
    at += p.size();
  }
  std::string out = header + names + Index({topDict(charsetAt, charStringsAt, privAt, fdArrayAt, fdSelectAt)}) +
                    strings + gsubrs + charset + (cid ? fdselect : "") + charStrings + priv;
  if (cid) out += Index(fdDicts) + fdTail;
  return out;
}

std::string TTestType1::Build(std::size_t* length1) const {
  std::string clear = "%!PS-AdobeFont-1.0: Test 001\n11 dict begin\n/FontName /Test def\n"
                      "/FontMatrix [0.001 0 0 0.001 0 0] readonly def\n/Encoding " +
                      EncodingText + " def\ncurrentdict end\ncurrentfile eexec\n";
  std::string plain = "dup /Private 8 dict dup begin\n/" + ReadProc +
                      " {string currentfile exch readstring pop} executeonly def\n"
                      "/ND {noaccess def} executeonly def\n/NP {noaccess put} executeonly def\n";
  auto encrypt = [](const std::string& text, unsigned short r, bool prefix) {
    std::string in = prefix ? std::string(4, '\0') + text : text;
    std::string out;
    for (const char ch : in) {
      const unsigned char c = static_cast<unsigned char>(ch ^ (r >> 8));
      out += static_cast<char>(c);
      r = static_cast<unsigned short>((c + r) * 52845u + 22719u);
    }
    return out;
  };
  plain += "/Subrs " + std::to_string(Subrs.size()) + " array\n";
  for (std::size_t i = 0; i < Subrs.size(); ++i) {
    const std::string e = encrypt(Subrs[i], 4330, true);
    plain += "dup " + std::to_string(i) + " " + std::to_string(e.size()) + " " + ReadProc + " " + e + " NP\n";
  }
  plain += "ND\n2 index /CharStrings " + std::to_string(CharStrings.size()) + " dict dup begin\n";
  for (const auto& [name, cs] : CharStrings) {
    const std::string e = encrypt(cs, 4330, true);
    plain += "/" + name + " " + std::to_string(e.size()) + " " + ReadProc + " " + e + " ND\n";
  }
  plain += "end\nend\nmark currentfile closefile\n";
  if (length1) *length1 = clear.size();
  return clear + encrypt(plain, 55665, true) + "\n" + std::string(512, '0') + "\ncleartomark\n";
}

}  // namespace kestrel::testing
