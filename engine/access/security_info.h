#pragma once
// TSmartPDFInfo: the document's encryption record, the password and the security handler.
// Once a password matched, every object the reader loads from the file body has its strings
// and streams decrypted exactly once, as it is loaded.
#include <memory>
#include <string>

#include "engine/access/crypt_standard_handler.h"
#include "engine/access/reader.h"

namespace kestrel {

class TSmartPDFInfo {
 public:
  // 0 no "Encrypt", 1 an "Encrypt" with non-zero "V", 2 an "Encrypt" whose "V" is 0 or missing.
  enum class TEncryption { None = 0, Standard = 1, Unsupported = 2 };

  TSmartPDFInfo(TSmartPDFReader& reader, TByteView password);
  ~TSmartPDFInfo();
  TSmartPDFInfo(const TSmartPDFInfo&) = delete;
  TSmartPDFInfo& operator=(const TSmartPDFInfo&) = delete;

  TEncryption Encryption() const { return encryption_; }
  // Whether the password given at creation is the user or the owner password.
  bool CheckPassword();
  // Applies the password for good: from now on loaded objects are decrypted.
  void UsePassword(TByteView password);
  // Short description of the encryption for users: "none", "RC4-40", "AES-128", ...
  std::string Describe() const;
  const TSmartPDFCrypt* Crypt() const { return crypt_.get(); }

  // Decrypts the strings and streams of an object loaded as (objNum, genNum), in place.
  void DecryptObject(TPDFObject* obj, int32_t objNum, int32_t genNum) const;

 private:
  void DecryptWalk(TPDFObject* obj, int32_t objNum, int32_t genNum, int depth) const;

  TSmartPDFReader& reader_;
  TBytes password_;
  TEncryption encryption_ = TEncryption::None;
  TPDFDictionary* encrypt_ = nullptr;
  int32_t encryptObjNum_ = 0;
  std::unique_ptr<TSmartPDFCrypt> crypt_;
};

// The encryption record of an "Encrypt" dictionary and the trailer's first file ID.
TSmartPDFEncryption ReadEncryptionRecord(const TPDFDictionary* encrypt, const TPDFDictionary* trailer);

}  // namespace kestrel
