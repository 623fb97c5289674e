#pragma once
// Fuzz harness body for the security handler, shared by the libFuzzer target and the
// seed-replay test: fuzzed Encrypt records, passwords and data through the password checks
// and the transforms. Half of the inputs start from a well-formed record (built from fuzzed
// parameters, then damaged) so that the decrypt paths are reached with a real key.
#include <cstddef>
#include <cstdint>

#include "engine/access/crypt_builder.h"
#include "engine/access/crypt_standard_handler.h"

namespace fuzzharness {

// Reads fields off the input; an exhausted input reads as zeros and empty strings.
class TCryptFuzzInput {
 public:
  TCryptFuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  int32_t Int32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(Byte()) << (8 * i);
    return static_cast<int32_t>(v);
  }
  int32_t Range(int32_t lo, int32_t hi) {  // hi - lo below 65536
    const uint32_t span = static_cast<uint32_t>(hi - lo) + 1;
    const uint32_t raw = span > 256 ? Byte() | (static_cast<uint32_t>(Byte()) << 8) : Byte();
    return lo + static_cast<int32_t>(raw % span);
  }
  bool Bool() { return Byte() & 1; }
  kestrel::TBytes String(uint8_t maxLength) {
    const size_t want = Byte() % (static_cast<size_t>(maxLength) + 1);
    const size_t n = want < size_ - at_ ? want : size_ - at_;
    kestrel::TBytes out(reinterpret_cast<const char*>(data_ + at_), n);
    at_ += n;
    return out;
  }
  kestrel::TBytes Rest() {
    kestrel::TBytes out(reinterpret_cast<const char*>(data_ + at_), size_ - at_);
    at_ = size_;
    return out;
  }
  kestrel::TCryptMethod Method() { return static_cast<kestrel::TCryptMethod>(Range(0, 4)); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

inline kestrel::TSmartPDFEncryption RawCryptRecord(TCryptFuzzInput& in) {
  kestrel::TSmartPDFEncryption rec;
  rec.V = in.Range(-1, 6);
  rec.R = in.Range(-1, 7);
  rec.LengthBits = in.Int32();
  rec.P = in.Int32();
  for (kestrel::TBytes* field : {&rec.O, &rec.U, &rec.OE, &rec.UE, &rec.Perms, &rec.FileID0})
    *field = in.String(80);
  rec.EncryptMetadata = in.Bool();
  rec.StreamMethod = in.Method();
  rec.StringMethod = in.Method();
  return rec;
}

inline kestrel::TSmartPDFEncryption BuiltCryptRecord(TCryptFuzzInput& in,
                                                     const kestrel::TBytes& password) {
  kestrel::TStandardEncryptionSetup s;
  s.V = in.Range(1, 5);
  s.R = in.Range(2, 6);
  s.LengthBits = in.Range(0, 300);
  s.P = in.Int32();
  s.Method = in.Method();
  s.EncryptMetadata = in.Bool();
  s.UserPassword = in.Bool() ? password : in.String(40);
  s.OwnerPassword = in.Bool() ? password : in.String(40);
  s.FileID0 = in.String(32);
  s.FileKey = in.String(32);
  s.Salts = in.String(32);
  kestrel::TSmartPDFEncryption rec = kestrel::BuildStandardEncryption(s);
  // Damage: flip one bit of one value, or cut it.
  kestrel::TBytes* fields[] = {&rec.O, &rec.U, &rec.OE, &rec.UE, &rec.Perms, &rec.FileID0};
  const int damage = in.Range(0, 12);
  const uint8_t where = in.Byte();
  if (damage < 6) {
    kestrel::TBytes& f = *fields[damage];
    if (!f.empty()) f[where % f.size()] ^= 1;
  } else if (damage < 12) {
    kestrel::TBytes& f = *fields[damage - 6];
    f.resize(where % (f.size() + 1));
  }
  return rec;
}

inline void CryptRecordAndData(const uint8_t* data, size_t size) {
  if (size > 4096) return;
  TCryptFuzzInput in(data, size);
  const kestrel::TBytes password = in.String(140);
  const kestrel::TSmartPDFEncryption rec =
      in.Bool() ? BuiltCryptRecord(in, password) : RawCryptRecord(in);
  const int32_t objNum = in.Int32();
  const int32_t genNum = in.Int32();
  const kestrel::TBytes iv = in.String(16);
  const kestrel::TBytes payload = in.Rest();

  kestrel::TSmartPDFCrypt crypt(rec);
  const bool user = crypt.CheckUserPassword(password);
  const bool owner = crypt.CheckOwnerPassword(password);
  if ((user || owner) && !crypt.HasKey()) __builtin_trap();
  if (!crypt.IsSupported() && crypt.HasKey()) __builtin_trap();
  (void)crypt.PermsValid();

  (void)crypt.DecryptString(payload, objNum, genNum);
  (void)crypt.DecryptStream(payload, objNum, genNum);
  for (int m = 0; m <= 4; ++m) {
    const auto method = static_cast<kestrel::TCryptMethod>(m);
    (void)crypt.Decrypt(method, payload, objNum, genNum);
    const kestrel::TBytes sealed = crypt.Encrypt(method, payload, objNum, genNum, iv);
    if (crypt.HasKey() && !crypt.MethodFitsKey(method)) {
      // A method that does not fit the key yields nothing, never the bytes unchanged.
      if (!sealed.empty() || !crypt.Decrypt(method, payload, objNum, genNum).empty())
        __builtin_trap();
      continue;
    }
    // Whatever is encrypted with the key decrypts back to itself.
    if (crypt.Decrypt(method, sealed, objNum, genNum) != payload) __builtin_trap();
  }
}

}  // namespace fuzzharness
