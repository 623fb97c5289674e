#include "engine/access/crypt_builder.h"

#include "engine/access/crypt_keys.h"
#include "engine/access/crypt_primitives.h"

namespace kestrel {
namespace {

constexpr std::size_t kKeyBytesR6 = 32;

TBytes ZeroIV() { return TBytes(kAESBlockSize, '\0'); }

void BuildR6(const TStandardEncryptionSetup& setup, TSmartPDFEncryption& rec) {
  const TBytes key = setup.FileKey.size() == kKeyBytesR6 ? setup.FileKey : RandomBytes(kKeyBytesR6);
  const TBytes salts = setup.Salts.size() == 32 ? setup.Salts : RandomBytes(32);
  const TByteView s(salts);
  const TByteView user = TruncateUnicodePassword(setup.UserPassword);
  const TByteView owner = TruncateUnicodePassword(
      setup.OwnerPassword.empty() ? setup.UserPassword : setup.OwnerPassword);

  rec.U = HashR6(rec.R, user, s.substr(0, 8), {});
  rec.U += s.substr(0, 16);
  rec.UE = AESCBCEncryptRaw(HashR6(rec.R, user, s.substr(8, 8), {}), ZeroIV(), key);
  rec.O = HashR6(rec.R, owner, s.substr(16, 8), rec.U);
  rec.O += s.substr(16, 16);
  rec.OE = AESCBCEncryptRaw(HashR6(rec.R, owner, s.substr(24, 8), rec.U), ZeroIV(), key);

  TBytes perms;
  for (int i = 0; i < 4; ++i)
    perms.push_back(static_cast<char>((static_cast<uint32_t>(rec.P) >> (8 * i)) & 0xFF));
  perms.append(4, '\xFF');
  perms.push_back(rec.EncryptMetadata ? 'T' : 'F');
  perms += "adb";
  perms += RandomBytes(4);
  rec.Perms = AESECBEncryptRaw(key, perms);
}

}  // namespace

TSmartPDFEncryption BuildStandardEncryption(const TStandardEncryptionSetup& setup) {
  TSmartPDFEncryption rec;
  rec.V = setup.V;
  rec.R = setup.R;
  rec.LengthBits = setup.LengthBits;
  rec.P = setup.P;
  rec.FileID0 = setup.FileID0;
  rec.EncryptMetadata = setup.EncryptMetadata;
  const bool filters = setup.V >= 4;
  rec.StreamMethod = filters ? setup.Method : TCryptMethod::RC4;
  rec.StringMethod = rec.StreamMethod;
  if (setup.R >= 5) {
    BuildR6(setup, rec);
    return rec;
  }
  rec.O = ComputeOR4(rec, setup.OwnerPassword, setup.UserPassword);
  rec.U = ComputeUR4(rec, ComputeFileKeyR4(rec, setup.UserPassword));
  return rec;
}

}  // namespace kestrel
