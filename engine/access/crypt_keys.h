#pragma once
// Key and password algorithms of the standard security handler (ISO 32000-2, 7.6.4):
// Algorithms 2 to 7 for revisions 2-4 (MD5 and RC4) and 2.A / 2.B / 8 / 9 for revisions 5-6
// (SHA-2 and AES-256). Pure functions over a TSmartPDFEncryption; no state.
#include <cstddef>
#include <optional>

#include "engine/access/crypt_record.h"
#include "engine/syntax/bytes.h"

namespace kestrel {

// The 32-byte padding string of the standard security handler.
TByteView StandardPadding();

// Truncates to 32 bytes and fills up with the padding string (revisions 2-4).
TBytes PadPassword(TByteView password);

// Revisions 5-6 take at most 127 bytes of the UTF-8 password.
TByteView TruncateUnicodePassword(TByteView password);

// Revisions 2-4 take passwords in PDFDocEncoding. Converts UTF-8 text to it; nullopt when the
// text is not valid UTF-8, holds a character PDFDocEncoding lacks, or is plain ASCII (which
// needs no conversion).
std::optional<TBytes> PasswordAsPDFDocEncoding(TByteView utf8);

// Length of the file key in bytes: 5 for V 1 or R 2, 16 when AES-128 is in use, 32 for
// R 5-6, otherwise "Length" / 8 clamped to 5..16.
std::size_t StandardKeyBytes(const TSmartPDFEncryption& rec);

// "O" and "U" as the revision 2-4 algorithms use them: exactly 32 bytes (cut, or filled with
// zeros because some writers drop trailing zero bytes).
TBytes Fixed32(TByteView s);

// Algorithm 2: the file key from a user password (revisions 2-4).
TBytes ComputeFileKeyR4(const TSmartPDFEncryption& rec, TByteView userPassword);

// Algorithm 3, steps a-d: the RC4 key that encrypts "O". ISO 32000 hashes the whole digest in
// the 50 extra rounds; some writers hash only its first n bytes (`firstBytesOnly`), which makes
// a difference for keys shorter than 128 bits.
TBytes ComputeOwnerKeyR4(const TSmartPDFEncryption& rec, TByteView ownerPassword,
                         bool firstBytesOnly = false);

// Algorithm 3: the "O" value (an empty owner password means "same as the user password").
TBytes ComputeOR4(const TSmartPDFEncryption& rec, TByteView ownerPassword, TByteView userPassword);

// Algorithms 4 and 5: the "U" value (32 bytes) for a file key.
TBytes ComputeUR4(const TSmartPDFEncryption& rec, TByteView fileKey);

// Whether a computed "U" matches the record's: 32 bytes for R 2, the first 16 for R 3-4.
bool UserValueMatchesR4(const TSmartPDFEncryption& rec, TByteView computedU);

// Algorithm 7, step b: the padded user password recovered from "O" with the owner key.
TBytes RecoverUserPasswordR4(const TSmartPDFEncryption& rec, TByteView ownerKey);

// Algorithm 2.B (R 6; R 5 is the plain SHA-256 of the same input): the hash of password,
// 8-byte salt and, for owner values, the 48-byte "U". Returns 32 bytes.
TBytes HashR6(int32_t revision, TByteView password, TByteView salt, TByteView userData);

// Algorithms 2.A / 11 / 12 (R 5-6): validate the password against "U" or "O" and, on success,
// unwrap the 32-byte file key from "UE" or "OE".
std::optional<TBytes> UnwrapUserKeyR6(const TSmartPDFEncryption& rec, TByteView password);
std::optional<TBytes> UnwrapOwnerKeyR6(const TSmartPDFEncryption& rec, TByteView password);

// Algorithm 13 (R 5-6): "Perms" decrypts under the file key to the permissions, "T" or "F"
// for EncryptMetadata, and the marker "adb".
bool PermsMatchR6(const TSmartPDFEncryption& rec, TByteView fileKey);

}  // namespace kestrel
