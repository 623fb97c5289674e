#include "engine/access/crypt_standard_handler.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "engine/access/crypt_keys.h"
#include "engine/access/crypt_primitives.h"

namespace kestrel {
namespace {

bool MethodAllowed(TCryptMethod m, bool aes256) {
  switch (m) {
    case TCryptMethod::Identity: return true;
    case TCryptMethod::RC4:
    case TCryptMethod::AESV2: return !aes256;
    case TCryptMethod::AESV3: return aes256;
    case TCryptMethod::None: return false;
  }
  return false;
}

bool RecordSupported(const TSmartPDFEncryption& rec) {
  if (rec.R >= 2 && rec.R <= 4) {
    if (rec.V == 1 || rec.V == 2) return true;  // RC4 for both, whatever the record says
    return rec.V == 4 && MethodAllowed(rec.StreamMethod, false) &&
           MethodAllowed(rec.StringMethod, false);
  }
  if (rec.R == 5 || rec.R == 6)
    return rec.V == 5 && MethodAllowed(rec.StreamMethod, true) &&
           MethodAllowed(rec.StringMethod, true);
  return false;
}

// The password as given and, when it is non-ASCII UTF-8 text, its PDFDocEncoding form (the
// encoding revisions 2-4 expect; callers usually hold UTF-8).
std::vector<TBytes> PasswordCandidatesR4(TByteView password) {
  std::vector<TBytes> out{TBytes(password)};
  if (auto doc = PasswordAsPDFDocEncoding(password)) out.push_back(std::move(*doc));
  return out;
}

void AppendLow(TBytes& out, int32_t v, int bytes) {
  const auto u = static_cast<uint32_t>(v);
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}

}  // namespace

TSmartPDFCrypt::TSmartPDFCrypt(TSmartPDFEncryption rec) : rec_(std::move(rec)) {
  if (rec_.V == 1 || rec_.V == 2) {
    rec_.StreamMethod = TCryptMethod::RC4;
    rec_.StringMethod = TCryptMethod::RC4;
  }
  supported_ = RecordSupported(rec_);
}

void TSmartPDFCrypt::SetKey(TBytes key, bool owner) {
  fileKey_ = std::move(key);
  ownerMatched_ = owner;
}

bool TSmartPDFCrypt::CheckUserPassword(TByteView password) {
  if (!supported_) return false;
  if (rec_.R >= 5) {
    auto key = UnwrapUserKeyR6(rec_, password);
    if (!key) return false;
    SetKey(std::move(*key), false);
    return true;
  }
  for (const TBytes& candidate : PasswordCandidatesR4(password)) {
    TBytes key = ComputeFileKeyR4(rec_, candidate);
    if (UserValueMatchesR4(rec_, ComputeUR4(rec_, key))) {
      SetKey(std::move(key), false);
      return true;
    }
  }
  return false;
}

bool TSmartPDFCrypt::CheckOwnerPasswordR4(TByteView password) {
  // Keys shorter than 128 bits: writers disagree on what the 50 extra MD5 rounds hash, so
  // both readings are tried.
  const bool shortKey = rec_.R >= 3 && StandardKeyBytes(rec_) < 16;
  for (const TBytes& candidate : PasswordCandidatesR4(password)) {
    for (bool firstBytesOnly : {false, true}) {
      if (firstBytesOnly && !shortKey) break;
      const TBytes ownerKey = ComputeOwnerKeyR4(rec_, candidate, firstBytesOnly);
      const TBytes userPassword = RecoverUserPasswordR4(rec_, ownerKey);
      TBytes key = ComputeFileKeyR4(rec_, userPassword);
      if (UserValueMatchesR4(rec_, ComputeUR4(rec_, key))) {
        SetKey(std::move(key), true);
        return true;
      }
    }
  }
  return false;
}

bool TSmartPDFCrypt::CheckOwnerPassword(TByteView password) {
  if (!supported_) return false;
  if (rec_.R < 5) return CheckOwnerPasswordR4(password);
  auto key = UnwrapOwnerKeyR6(rec_, password);
  if (!key) return false;
  SetKey(std::move(*key), true);
  return true;
}

bool TSmartPDFCrypt::ApplyPassword(TByteView password) {
  return CheckUserPassword(password) || CheckOwnerPassword(password);
}

bool TSmartPDFCrypt::PermsValid() const {
  if (rec_.R < 5) return true;
  return HasKey() && PermsMatchR6(rec_, fileKey_);
}

TBytes TSmartPDFCrypt::ObjectKey(int32_t objNum, int32_t genNum, TCryptMethod method) const {
  if (method == TCryptMethod::AESV3) return fileKey_;
  TBytes input = fileKey_;
  AppendLow(input, objNum, 3);
  AppendLow(input, genNum, 2);
  if (method == TCryptMethod::AESV2) input += "sAlT";
  TBytes digest = MD5Digest(input);
  digest.resize(std::min<std::size_t>(fileKey_.size() + 5, 16));
  return digest;
}

bool TSmartPDFCrypt::MethodFitsKey(TCryptMethod method) const {
  switch (method) {
    case TCryptMethod::Identity: return true;
    case TCryptMethod::RC4: return rec_.R < 5;
    // AES-128 needs a 16-byte per-object key, i.e. a file key of at least 88 bits.
    case TCryptMethod::AESV2: return rec_.R < 5 && StandardKeyBytes(rec_) + 5 >= 16;
    case TCryptMethod::AESV3: return rec_.R >= 5;
    case TCryptMethod::None: return false;
  }
  return false;
}

TBytes TSmartPDFCrypt::Decrypt(TCryptMethod method, TByteView data, int32_t objNum,
                               int32_t genNum) const {
  if (!HasKey() || method == TCryptMethod::Identity) return TBytes(data);
  if (!MethodFitsKey(method)) return {};
  if (method == TCryptMethod::RC4) return RC4Crypt(ObjectKey(objNum, genNum, method), data);
  return AESDecryptWithIV(ObjectKey(objNum, genNum, method), data);
}

TBytes TSmartPDFCrypt::Encrypt(TCryptMethod method, TByteView data, int32_t objNum, int32_t genNum,
                               TByteView iv) const {
  if (!HasKey() || method == TCryptMethod::Identity) return TBytes(data);
  if (!MethodFitsKey(method)) return {};
  if (method == TCryptMethod::RC4) return RC4Crypt(ObjectKey(objNum, genNum, method), data);
  const TBytes freshIV = iv.size() == kAESBlockSize ? TBytes(iv) : RandomBytes(kAESBlockSize);
  return AESEncryptWithIV(ObjectKey(objNum, genNum, method), freshIV, data);
}

TBytes TSmartPDFCrypt::DecryptString(TByteView data, int32_t objNum, int32_t genNum) const {
  return Decrypt(rec_.StringMethod, data, objNum, genNum);
}

TBytes TSmartPDFCrypt::DecryptStream(TByteView data, int32_t objNum, int32_t genNum) const {
  return Decrypt(rec_.StreamMethod, data, objNum, genNum);
}

TBytes TSmartPDFCrypt::EncryptString(TByteView data, int32_t objNum, int32_t genNum) const {
  return Encrypt(rec_.StringMethod, data, objNum, genNum);
}

TBytes TSmartPDFCrypt::EncryptStream(TByteView data, int32_t objNum, int32_t genNum) const {
  return Encrypt(rec_.StreamMethod, data, objNum, genNum);
}

}  // namespace kestrel
