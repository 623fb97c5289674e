#pragma once
// TSmartPDFInfo: the document's encryption record, the password and the security handler.
#include <memory>
#include <string>

#include "engine/access/reader.h"

namespace kestrel {

class TSmartPDFInfo {
 public:
  enum class TEncryption { None, Standard, Unsupported };

  TSmartPDFInfo(TSmartPDFReader& reader, TByteView password);
  ~TSmartPDFInfo();

  TEncryption Encryption() const { return encryption_; }
  // Tries the password as user password, then as owner password.
  bool CheckPassword();
  // Applies the password for good: from now on loaded objects are decrypted.
  void UsePassword(TByteView password);
  // Short description of the encryption for users: "none", "RC4-40", "AES-128", ...
  std::string Describe() const;

 private:
  TSmartPDFReader& reader_;
  TBytes password_;
  TEncryption encryption_ = TEncryption::None;
  TPDFDictionary* encrypt_ = nullptr;
};

}  // namespace kestrel
