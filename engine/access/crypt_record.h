#pragma once
// The "Encrypt" dictionary of the standard security handler and the first file ID, as plain
// data. The document layer fills it from the file; the security handler works only on this.
#include <cstdint>

#include "engine/syntax/bytes.h"

namespace kestrel {

// How strings or streams are encrypted: the "CFM" of the crypt filter named by "StrF" /
// "StmF" (V 4 and 5), or RC4 for V 1 and 2.
enum class TCryptMethod {
  None,      // an unknown or unsupported crypt filter: the handler refuses every password
  RC4,       // "V2" (and every V 1 / V 2 file)
  AESV2,     // AES-128, per-object keys with "sAlT"
  AESV3,     // AES-256, the file key for every object
  Identity,  // "Identity" (also the default when "StrF" / "StmF" is absent): stored as is
};

struct TSmartPDFEncryption {
  int32_t V = 0;
  int32_t R = 0;
  // "Length" in bits: the dictionary's for V 1-2, the crypt filter's (else the dictionary's)
  // for V 4. Values 5..16 are taken as bytes, as some writers store them.
  int32_t LengthBits = 40;
  int32_t P = 0;   // a value stored as an unsigned 32-bit number wraps to int32
  TBytes O, U;     // 32 bytes for R 2-4, 48 bytes for R 5-6
  TBytes OE, UE;   // R 5-6: 32 bytes each
  TBytes Perms;    // R 5-6: 16 bytes
  TBytes FileID0;  // the first string of the trailer's "ID", empty when absent
  bool EncryptMetadata = true;
  TCryptMethod StreamMethod = TCryptMethod::RC4;
  TCryptMethod StringMethod = TCryptMethod::RC4;
};

}  // namespace kestrel
