#include "engine/access/crypt_primitives.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <memory>
#include <random>
#include <utility>

namespace kestrel {
namespace {

struct TCipherCtxFree {
  void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};
using TCipherCtx = std::unique_ptr<EVP_CIPHER_CTX, TCipherCtxFree>;

const unsigned char* Bytes(TByteView v) { return reinterpret_cast<const unsigned char*>(v.data()); }

TBytes Digest(const EVP_MD* md, TByteView data) {
  std::array<unsigned char, EVP_MAX_MD_SIZE> out{};
  unsigned int len = 0;
  if (EVP_Digest(data.data(), data.size(), out.data(), &len, md, nullptr) != 1) return {};
  return TBytes(reinterpret_cast<const char*>(out.data()), len);
}

const EVP_CIPHER* CipherFor(std::size_t keySize, bool cbc) {
  if (keySize == 16) return cbc ? EVP_aes_128_cbc() : EVP_aes_128_ecb();
  if (keySize == 32) return cbc ? EVP_aes_256_cbc() : EVP_aes_256_ecb();
  return nullptr;
}

// Runs whole blocks of `data` through AES without padding. EVP takes int lengths, so the data
// is fed in bounded slices.
TBytes RunAES(TByteView key, TByteView iv, TByteView data, bool cbc, bool encrypt) {
  const EVP_CIPHER* cipher = CipherFor(key.size(), cbc);
  if (!cipher || (cbc && iv.size() != kAESBlockSize)) return {};
  const std::size_t whole = data.size() - data.size() % kAESBlockSize;
  if (whole == 0) return {};
  TCipherCtx ctx(EVP_CIPHER_CTX_new());
  if (!ctx) return {};
  if (EVP_CipherInit_ex(ctx.get(), cipher, nullptr, Bytes(key), cbc ? Bytes(iv) : nullptr,
                        encrypt ? 1 : 0) != 1)
    return {};
  EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
  TBytes out(whole, '\0');
  constexpr std::size_t kSlice = std::size_t{1} << 30;  // a multiple of the block size
  std::size_t done = 0;
  while (done < whole) {
    const std::size_t n = std::min(kSlice, whole - done);
    int produced = 0;
    if (EVP_CipherUpdate(ctx.get(), reinterpret_cast<unsigned char*>(out.data() + done), &produced,
                         Bytes(data.substr(done, n)), static_cast<int>(n)) != 1 ||
        static_cast<std::size_t>(produced) != n)
      return {};
    done += n;
  }
  return out;
}

}  // namespace

TBytes RC4Crypt(TByteView key, TByteView data) {
  if (key.empty()) return TBytes(data);
  if (key.size() > 256) key = key.substr(0, 256);
  std::array<uint8_t, 256> s{};
  for (int i = 0; i < 256; ++i) s[i] = static_cast<uint8_t>(i);
  uint8_t j = 0;
  for (std::size_t i = 0; i < 256; ++i) {
    j = static_cast<uint8_t>(j + s[i] + static_cast<uint8_t>(key[i % key.size()]));
    std::swap(s[i], s[j]);
  }
  TBytes out(data);
  uint8_t x = 0;
  uint8_t y = 0;
  for (char& c : out) {
    x = static_cast<uint8_t>(x + 1);
    y = static_cast<uint8_t>(y + s[x]);
    std::swap(s[x], s[y]);
    c = static_cast<char>(static_cast<uint8_t>(c) ^ s[static_cast<uint8_t>(s[x] + s[y])]);
  }
  return out;
}

TBytes MD5Digest(TByteView data) { return Digest(EVP_md5(), data); }
TBytes SHA256Digest(TByteView data) { return Digest(EVP_sha256(), data); }
TBytes SHA384Digest(TByteView data) { return Digest(EVP_sha384(), data); }
TBytes SHA512Digest(TByteView data) { return Digest(EVP_sha512(), data); }

TBytes AESCBCDecryptRaw(TByteView key, TByteView iv, TByteView data) {
  return RunAES(key, iv, data, true, false);
}

TBytes AESCBCEncryptRaw(TByteView key, TByteView iv, TByteView data) {
  return RunAES(key, iv, data, true, true);
}

TBytes AESECBDecryptRaw(TByteView key, TByteView data) {
  return RunAES(key, {}, data, false, false);
}

TBytes AESECBEncryptRaw(TByteView key, TByteView data) {
  return RunAES(key, {}, data, false, true);
}

TBytes AESDecryptWithIV(TByteView key, TByteView data) {
  if (data.size() < 2 * kAESBlockSize) return {};
  TBytes out = AESCBCDecryptRaw(key, data.substr(0, kAESBlockSize), data.substr(kAESBlockSize));
  if (out.empty()) return out;
  // PKCS#7: 1..16 bytes, all equal to the count. Anything else is not padding (a truncated
  // stream, or a writer that did not pad), so the bytes are kept.
  const std::size_t pad = static_cast<uint8_t>(out.back());
  if (pad == 0 || pad > kAESBlockSize || pad > out.size()) return out;
  for (std::size_t i = out.size() - pad; i < out.size(); ++i)
    if (static_cast<uint8_t>(out[i]) != pad) return out;
  out.resize(out.size() - pad);
  return out;
}

TBytes AESEncryptWithIV(TByteView key, TByteView iv, TByteView data) {
  if (iv.size() != kAESBlockSize || !CipherFor(key.size(), true)) return {};
  const std::size_t pad = kAESBlockSize - data.size() % kAESBlockSize;
  TBytes padded(data);
  padded.append(pad, static_cast<char>(pad));
  TBytes out(iv);
  out += AESCBCEncryptRaw(key, iv, padded);
  return out;
}

TBytes RandomBytes(std::size_t count) {
  TBytes out(count, '\0');
  if (count == 0) return out;
  if (count <= static_cast<std::size_t>(INT_MAX) &&
      RAND_bytes(reinterpret_cast<unsigned char*>(out.data()), static_cast<int>(count)) == 1)
    return out;
  // The generator is unavailable: fall back to the system's entropy source.
  std::random_device rd;
  for (char& c : out) c = static_cast<char>(rd() & 0xFF);
  return out;
}

}  // namespace kestrel
