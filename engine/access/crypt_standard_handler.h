#pragma once
// The standard security handler: password checks, the file key, per-object keys and the
// string / stream transforms. Works on plain data (TSmartPDFEncryption); walking the objects
// of a document is the caller's job.
//
// Supported: RC4 40-bit (V 1, R 2), RC4 40..128-bit (V 2, R 3), V 4 / R 4 with the crypt
// filters V2 (RC4), AESV2 (AES-128) and Identity, EncryptMetadata false, and AES-256
// (V 5 with R 5 or R 6). Anything else is unsupported and every password check fails.
#include <cstdint>

#include "engine/access/crypt_record.h"
#include "engine/syntax/bytes.h"

namespace kestrel {

class TSmartPDFCrypt {
 public:
  explicit TSmartPDFCrypt(TSmartPDFEncryption rec);

  // Whether the record describes a handler this class implements.
  bool IsSupported() const { return supported_; }

  // Password checks. Passwords are bytes: PDFDocEncoding for R 2-4 (only the first 32 bytes
  // count; non-ASCII UTF-8 text is tried as given and converted to PDFDocEncoding), UTF-8 for
  // R 5-6 (the first 127 bytes count). On success the file key becomes the key of that
  // password; on failure nothing changes.
  bool CheckUserPassword(TByteView password);
  bool CheckOwnerPassword(TByteView password);
  // The user password first, then the owner password.
  bool ApplyPassword(TByteView password);

  bool HasKey() const { return !fileKey_.empty(); }
  TByteView FileKey() const { return fileKey_; }
  // Whether the current key came from the owner password.
  bool OwnerPasswordMatched() const { return ownerMatched_; }
  // R 5-6: whether "Perms" agrees with the key and "P". Only advisory: a mismatch means the
  // permissions may have been tampered with, not that the key is wrong. True for R 2-4.
  bool PermsValid() const;
  // False when the record says metadata streams ("Type" "Metadata") are stored unencrypted:
  // the caller then leaves such streams alone.
  bool IsMetadataEncrypted() const { return rec_.EncryptMetadata; }
  const TSmartPDFEncryption& Record() const { return rec_; }

  // The key for one object under `method`: MD5 of file key, object and generation numbers
  // (and "sAlT" for AES-128), cut to min(n + 5, 16) bytes; the file key itself for AES-256.
  TBytes ObjectKey(int32_t objNum, int32_t genNum, TCryptMethod method) const;

  // Whether `method` can be used with this handler's kind of key (Identity always can).
  bool MethodFitsKey(TCryptMethod method) const;

  // Transforms under the record's string or stream method. Without a key, and for the
  // Identity method, the data comes back unchanged. A method that cannot be applied (None, an
  // unknown crypt filter; AESV3 without an AES-256 key; RC4 or AESV2 with one; AESV2 with
  // a key under 88 bits) gives empty output rather than undecrypted bytes.
  TBytes DecryptString(TByteView data, int32_t objNum, int32_t genNum) const;
  TBytes DecryptStream(TByteView data, int32_t objNum, int32_t genNum) const;
  TBytes EncryptString(TByteView data, int32_t objNum, int32_t genNum) const;
  TBytes EncryptStream(TByteView data, int32_t objNum, int32_t genNum) const;

  // The same under an explicit method (a stream's own "Crypt" filter). AES encryption uses
  // `iv` when it has 16 bytes and a fresh random one otherwise.
  TBytes Decrypt(TCryptMethod method, TByteView data, int32_t objNum, int32_t genNum) const;
  TBytes Encrypt(TCryptMethod method, TByteView data, int32_t objNum, int32_t genNum,
                 TByteView iv = {}) const;

 private:
  bool CheckOwnerPasswordR4(TByteView password);
  void SetKey(TBytes key, bool owner);

  TSmartPDFEncryption rec_;
  bool supported_ = false;
  TBytes fileKey_;
  bool ownerMatched_ = false;
};

}  // namespace kestrel
