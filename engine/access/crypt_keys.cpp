#include "engine/access/crypt_keys.h"

#include <algorithm>
#include <cstdint>

#include "engine/access/crypt_primitives.h"

namespace kestrel {
namespace {

constexpr char kPadding[32] = {'\x28', '\xBF', '\x4E', '\x5E', '\x4E', '\x75', '\x8A', '\x41',
                               '\x64', '\x00', '\x4E', '\x56', '\xFF', '\xFA', '\x01', '\x08',
                               '\x2E', '\x2E', '\x00', '\xB6', '\xD0', '\x68', '\x3E', '\x80',
                               '\x2F', '\x0C', '\xA9', '\xFE', '\x64', '\x53', '\x69', '\x7A'};

constexpr std::size_t kSaltBytes = 8;
constexpr std::size_t kHashBytes = 32;
constexpr std::size_t kUserValueBytesR6 = 48;  // hash, validation salt, key salt

void AppendLE32(TBytes& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

TBytes XorKey(TByteView key, uint8_t x) {
  TBytes out(key);
  for (char& c : out) c = static_cast<char>(static_cast<uint8_t>(c) ^ x);
  return out;
}

// 50 rounds of MD5 over the first `hashed` bytes of the previous digest (revision 3 and up).
TBytes IterateMD5(TBytes digest, std::size_t hashed) {
  for (int i = 0; i < 50; ++i) digest = MD5Digest(TByteView(digest).substr(0, hashed));
  return digest;
}

// The first 16 bytes of the digest, read as a big-endian number, modulo 3; since 256 is
// 1 modulo 3 that is the sum of the bytes modulo 3.
int FirstBlockMod3(TByteView e) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < kAESBlockSize && i < e.size(); ++i) sum += static_cast<uint8_t>(e[i]);
  return static_cast<int>(sum % 3);
}

// Decrypts the 32-byte wrapped key ("UE" / "OE") with the intermediate key and a zero IV.
std::optional<TBytes> Unwrap(TByteView intermediate, TByteView wrapped) {
  if (wrapped.size() < kHashBytes) return std::nullopt;
  TBytes key =
      AESCBCDecryptRaw(intermediate, TBytes(kAESBlockSize, '\0'), wrapped.substr(0, kHashBytes));
  if (key.size() != kHashBytes) return std::nullopt;
  return key;
}

// PDFDocEncoding bytes that differ from Latin-1, with their Unicode values.
struct TDocCode {
  uint8_t Byte;
  char32_t Unicode;
};
constexpr TDocCode kDocCodes[] = {
    {0x18, 0x02D8}, {0x19, 0x02C7}, {0x1A, 0x02C6}, {0x1B, 0x02D9}, {0x1C, 0x02DD}, {0x1D, 0x02DB},
    {0x1E, 0x02DA}, {0x1F, 0x02DC}, {0x80, 0x2022}, {0x81, 0x2020}, {0x82, 0x2021}, {0x83, 0x2026},
    {0x84, 0x2014}, {0x85, 0x2013}, {0x86, 0x0192}, {0x87, 0x2044}, {0x88, 0x2039}, {0x89, 0x203A},
    {0x8A, 0x2212}, {0x8B, 0x2030}, {0x8C, 0x201E}, {0x8D, 0x201C}, {0x8E, 0x201D}, {0x8F, 0x2018},
    {0x90, 0x2019}, {0x91, 0x201A}, {0x92, 0x2122}, {0x93, 0xFB01}, {0x94, 0xFB02}, {0x95, 0x0141},
    {0x96, 0x0152}, {0x97, 0x0160}, {0x98, 0x0178}, {0x99, 0x017D}, {0x9A, 0x0131}, {0x9B, 0x0142},
    {0x9C, 0x0153}, {0x9D, 0x0161}, {0x9E, 0x017E}, {0xA0, 0x20AC}};

std::optional<uint8_t> DocByteFor(char32_t c) {
  for (const TDocCode& d : kDocCodes)
    if (d.Unicode == c) return d.Byte;
  // Latin-1 code points map to themselves except the bytes redefined above and 0x7F, 0x9F.
  if (c >= 0x20 && c < 0x7F) return static_cast<uint8_t>(c);
  if (c <= 0x17 || (c >= 0xA1 && c <= 0xFF)) return static_cast<uint8_t>(c);
  return std::nullopt;
}

// Decodes one UTF-8 sequence at `at`; nullopt for malformed, overlong or surrogate input.
std::optional<char32_t> NextCodePoint(TByteView s, std::size_t& at) {
  const auto b0 = static_cast<uint8_t>(s[at++]);
  if (b0 < 0x80) return b0;
  int extra = 0;
  char32_t c = 0;
  if ((b0 & 0xE0) == 0xC0) {
    extra = 1;
    c = b0 & 0x1F;
  } else if ((b0 & 0xF0) == 0xE0) {
    extra = 2;
    c = b0 & 0x0F;
  } else if ((b0 & 0xF8) == 0xF0) {
    extra = 3;
    c = b0 & 0x07;
  } else {
    return std::nullopt;
  }
  if (s.size() - at < static_cast<std::size_t>(extra)) return std::nullopt;
  for (int i = 0; i < extra; ++i) {
    const auto b = static_cast<uint8_t>(s[at++]);
    if ((b & 0xC0) != 0x80) return std::nullopt;
    c = (c << 6) | (b & 0x3F);
  }
  static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
  if (c < kMin[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
  return c;
}

bool RevisionR6(const TSmartPDFEncryption& rec) { return rec.R == 5 || rec.R == 6; }

}  // namespace

TByteView StandardPadding() { return TByteView(kPadding, sizeof kPadding); }

TBytes PadPassword(TByteView password) {
  TBytes out(password.substr(0, 32));
  out.append(kPadding, 32 - out.size());
  return out;
}

TByteView TruncateUnicodePassword(TByteView password) { return password.substr(0, 127); }

std::optional<TBytes> PasswordAsPDFDocEncoding(TByteView utf8) {
  TBytes out;
  bool changed = false;
  for (std::size_t at = 0; at < utf8.size();) {
    const auto c = NextCodePoint(utf8, at);
    if (!c) return std::nullopt;
    const auto b = DocByteFor(*c);
    if (!b) return std::nullopt;
    changed = changed || *c >= 0x80;
    out.push_back(static_cast<char>(*b));
  }
  if (!changed) return std::nullopt;
  return out;
}

std::size_t StandardKeyBytes(const TSmartPDFEncryption& rec) {
  if (rec.R >= 5) return 32;
  if (rec.V == 1 || rec.R == 2) return 5;
  if (rec.StreamMethod == TCryptMethod::AESV2 || rec.StringMethod == TCryptMethod::AESV2) return 16;
  int64_t bits = rec.LengthBits;
  if (bits >= 5 && bits <= 16) bits *= 8;  // a length in bytes
  bits = std::clamp<int64_t>(bits, 40, 128);
  return static_cast<std::size_t>(bits / 8);
}

TBytes Fixed32(TByteView s) {
  TBytes out(s.substr(0, 32));
  out.resize(32, '\0');
  return out;
}

TBytes ComputeFileKeyR4(const TSmartPDFEncryption& rec, TByteView userPassword) {
  const std::size_t n = StandardKeyBytes(rec);
  TBytes input = PadPassword(userPassword);
  input += Fixed32(rec.O);
  AppendLE32(input, static_cast<uint32_t>(rec.P));
  input += rec.FileID0;
  if (rec.R >= 4 && !rec.EncryptMetadata) AppendLE32(input, 0xFFFFFFFFu);
  TBytes digest = MD5Digest(input);
  if (rec.R >= 3) digest = IterateMD5(std::move(digest), n);
  return digest.substr(0, n);
}

TBytes ComputeOwnerKeyR4(const TSmartPDFEncryption& rec, TByteView ownerPassword,
                         bool firstBytesOnly) {
  const std::size_t n = StandardKeyBytes(rec);
  TBytes digest = MD5Digest(PadPassword(ownerPassword));
  if (rec.R >= 3) digest = IterateMD5(std::move(digest), firstBytesOnly ? n : digest.size());
  return digest.substr(0, n);
}

TBytes ComputeOR4(const TSmartPDFEncryption& rec, TByteView ownerPassword, TByteView userPassword) {
  const TBytes key = ComputeOwnerKeyR4(rec, ownerPassword.empty() ? userPassword : ownerPassword);
  TBytes o = RC4Crypt(key, PadPassword(userPassword));
  if (rec.R >= 3)
    for (uint8_t i = 1; i <= 19; ++i) o = RC4Crypt(XorKey(key, i), o);
  return o;
}

TBytes ComputeUR4(const TSmartPDFEncryption& rec, TByteView fileKey) {
  if (rec.R == 2) return RC4Crypt(fileKey, StandardPadding());
  TBytes seed(StandardPadding());
  seed += rec.FileID0;
  TBytes u = RC4Crypt(fileKey, MD5Digest(seed));
  for (uint8_t i = 1; i <= 19; ++i) u = RC4Crypt(XorKey(fileKey, i), u);
  u.resize(32, '\0');
  return u;
}

bool UserValueMatchesR4(const TSmartPDFEncryption& rec, TByteView computedU) {
  const std::size_t compared = rec.R == 2 ? 32 : 16;
  if (computedU.size() < compared) return false;
  return TByteView(Fixed32(rec.U)).substr(0, compared) == computedU.substr(0, compared);
}

TBytes RecoverUserPasswordR4(const TSmartPDFEncryption& rec, TByteView ownerKey) {
  TBytes u = Fixed32(rec.O);
  if (rec.R == 2) return RC4Crypt(ownerKey, u);
  for (int i = 19; i >= 0; --i) u = RC4Crypt(XorKey(ownerKey, static_cast<uint8_t>(i)), u);
  return u;
}

TBytes HashR6(int32_t revision, TByteView password, TByteView salt, TByteView userData) {
  TBytes input(password);
  input += salt;
  input += userData;
  TBytes k = SHA256Digest(input);
  if (revision < 6 || k.size() != kHashBytes) return k;
  // Runs at least 64 rounds, then stops as soon as the last byte of E is at most
  // round - 32; since that byte is below 256 the loop ends by round 288.
  for (int round = 1;; ++round) {
    TBytes block(password);
    block += k;
    block += userData;
    TBytes k1;
    k1.reserve(block.size() * 64);
    for (int i = 0; i < 64; ++i) k1 += block;
    const TBytes e = AESCBCEncryptRaw(TByteView(k).substr(0, 16), TByteView(k).substr(16, 16), k1);
    if (e.empty()) return {};
    switch (FirstBlockMod3(e)) {
      case 0: k = SHA256Digest(e); break;
      case 1: k = SHA384Digest(e); break;
      default: k = SHA512Digest(e); break;
    }
    if (k.size() < kHashBytes) return {};
    if (round >= 64 && static_cast<uint8_t>(e.back()) <= round - 32) break;
  }
  k.resize(kHashBytes);
  return k;
}

std::optional<TBytes> UnwrapUserKeyR6(const TSmartPDFEncryption& rec, TByteView password) {
  if (!RevisionR6(rec) || rec.U.size() < kUserValueBytesR6) return std::nullopt;
  password = TruncateUnicodePassword(password);
  const TByteView u(rec.U);
  const TBytes hash = HashR6(rec.R, password, u.substr(32, kSaltBytes), {});
  if (hash.size() != kHashBytes || hash != u.substr(0, kHashBytes)) return std::nullopt;
  return Unwrap(HashR6(rec.R, password, u.substr(40, kSaltBytes), {}), rec.UE);
}

std::optional<TBytes> UnwrapOwnerKeyR6(const TSmartPDFEncryption& rec, TByteView password) {
  if (!RevisionR6(rec) || rec.U.size() < kUserValueBytesR6 || rec.O.size() < kUserValueBytesR6)
    return std::nullopt;
  password = TruncateUnicodePassword(password);
  const TByteView o(rec.O);
  const TByteView udata = TByteView(rec.U).substr(0, kUserValueBytesR6);
  const TBytes hash = HashR6(rec.R, password, o.substr(32, kSaltBytes), udata);
  if (hash.size() != kHashBytes || hash != o.substr(0, kHashBytes)) return std::nullopt;
  return Unwrap(HashR6(rec.R, password, o.substr(40, kSaltBytes), udata), rec.OE);
}

bool PermsMatchR6(const TSmartPDFEncryption& rec, TByteView fileKey) {
  if (rec.Perms.size() < kAESBlockSize || fileKey.size() != kHashBytes) return false;
  const TBytes p = AESECBDecryptRaw(fileKey, TByteView(rec.Perms).substr(0, kAESBlockSize));
  if (p.size() != kAESBlockSize || p.compare(9, 3, "adb") != 0) return false;
  TBytes expected;
  AppendLE32(expected, static_cast<uint32_t>(rec.P));
  return p.compare(0, 4, expected) == 0;
}

}  // namespace kestrel
