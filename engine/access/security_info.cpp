#include "engine/access/security_info.h"

namespace kestrel {

TSmartPDFInfo::TSmartPDFInfo(TSmartPDFReader& reader, TByteView password)
    : reader_(reader), password_(password) {
  if (!reader_.Encrypted()) return;
  encrypt_ = reader_.TrailerDictionary("Encrypt");
  const int32_t v = encrypt_ ? encrypt_->GetInteger("V", 0) : 0;
  encryption_ = v != 0 ? TEncryption::Standard : TEncryption::Unsupported;
}

TSmartPDFInfo::~TSmartPDFInfo() = default;

bool TSmartPDFInfo::CheckPassword() {
  // The security handler is not part of this build yet: an encrypted file cannot be opened.
  return encryption_ == TEncryption::None;
}

void TSmartPDFInfo::UsePassword(TByteView password) { password_ = TBytes(password); }

std::string TSmartPDFInfo::Describe() const {
  if (encryption_ == TEncryption::None) return "none";
  if (!encrypt_) return "unknown";
  const int32_t v = encrypt_->GetInteger("V", 0);
  const int32_t length = encrypt_->GetInteger("Length", 40);
  if (v == 1) return "RC4-40";
  if (v == 2) return "RC4-" + std::to_string(length);
  if (v == 4) return "AES-128";
  if (v == 5) return "AES-256";
  return "V" + std::to_string(v);
}

}  // namespace kestrel
