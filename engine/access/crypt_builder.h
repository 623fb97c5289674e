#pragma once
// Makes the "O", "U" (and for AES-256 "OE", "UE", "Perms") values of a standard security
// handler from two passwords: the writing side of TSmartPDFCrypt, used to produce encrypted
// test documents without an outside tool.
#include <cstdint>

#include "engine/access/crypt_record.h"
#include "engine/syntax/bytes.h"

namespace kestrel {

struct TStandardEncryptionSetup {
  int32_t V = 2;
  int32_t R = 3;
  int32_t LengthBits = 128;
  int32_t P = -4;
  TBytes UserPassword;
  TBytes OwnerPassword;  // empty: the same as the user password
  TBytes FileID0;
  bool EncryptMetadata = true;
  // Crypt filter for both strings and streams (V 4 and 5; V 1-2 always use RC4).
  TCryptMethod Method = TCryptMethod::RC4;
  // R 5-6 only: the 32-byte file key and the 32 bytes of salts (user validation, user key,
  // owner validation, owner key); random when not 32 bytes long.
  TBytes FileKey;
  TBytes Salts;
};

// The record a reader would see for a file encrypted with `setup`.
TSmartPDFEncryption BuildStandardEncryption(const TStandardEncryptionSetup& setup);

}  // namespace kestrel
