#pragma once
// Ciphers and digests used by the standard security handler: RC4 (own code), AES in CBC mode
// and the MD5 / SHA-2 digests (libcrypto). Every function takes byte views and returns owned
// bytes; none of them throws, and bad sizes give empty output instead of touching memory
// outside the inputs.
#include <cstddef>

#include "engine/syntax/bytes.h"

namespace kestrel {

inline constexpr std::size_t kAESBlockSize = 16;

// RC4 with a key of 1 to 256 bytes (longer keys use their first 256 bytes). RC4 is its own
// inverse. An empty key leaves the data unchanged.
TBytes RC4Crypt(TByteView key, TByteView data);

TBytes MD5Digest(TByteView data);     // 16 bytes
TBytes SHA256Digest(TByteView data);  // 32 bytes
TBytes SHA384Digest(TByteView data);  // 48 bytes
TBytes SHA512Digest(TByteView data);  // 64 bytes

// Raw AES-CBC without padding, key of 16 (AES-128) or 32 (AES-256) bytes, 16-byte IV.
// Only whole blocks are processed; a trailing partial block is ignored. Another key or IV
// size gives empty output.
TBytes AESCBCDecryptRaw(TByteView key, TByteView iv, TByteView data);
TBytes AESCBCEncryptRaw(TByteView key, TByteView iv, TByteView data);
// AES-ECB over whole blocks (the AES-256 "Perms" value).
TBytes AESECBDecryptRaw(TByteView key, TByteView data);
TBytes AESECBEncryptRaw(TByteView key, TByteView data);

// AES as PDF stores it: a 16-byte IV followed by CBC data with PKCS#7 padding.
// Data shorter than two blocks gives nothing back; whole blocks are decrypted and a trailing
// partial block is dropped; the padding is removed only when it is well formed, otherwise
// every decrypted byte is kept.
TBytes AESDecryptWithIV(TByteView key, TByteView data);
// Pads with 1..16 bytes (PKCS#7), encrypts under `iv` (16 bytes) and prepends the IV.
TBytes AESEncryptWithIV(TByteView key, TByteView iv, TByteView data);

// The AES-128 block cipher under one key, in CBC mode over whole blocks.
class TKestrelAES128 {
 public:
  // A key of any other length than 16 bytes makes every call give empty output.
  explicit TKestrelAES128(TByteView key) : key_(key) {}
  TBytes DecryptCBC(TByteView iv, TByteView data) const {
    return key_.size() == 16 ? AESCBCDecryptRaw(key_, iv, data) : TBytes();
  }
  TBytes EncryptCBC(TByteView iv, TByteView data) const {
    return key_.size() == 16 ? AESCBCEncryptRaw(key_, iv, data) : TBytes();
  }

 private:
  TBytes key_;
};

// Cryptographically random bytes (libcrypto's generator).
TBytes RandomBytes(std::size_t count);

}  // namespace kestrel
