#include "engine/access/security_info.h"

namespace kestrel {

namespace {
constexpr int kMaxWalkDepth = 300;
}

TSmartPDFInfo::TSmartPDFInfo(TSmartPDFReader& reader, TByteView password)
    : reader_(reader), password_(password) {
  if (!reader_.Encrypted()) return;
  encrypt_ = reader_.TrailerDictionary("Encrypt");
  if (!encrypt_) {
    // An Encrypt entry that leads to no dictionary (a damaged one) cannot say how anything is
    // encrypted: the file is read as it stands, as other readers do. Object streams held back
    // for the security handler are opened now.
    encryption_ = TEncryption::None;
    reader_.SetLoadedObjectHook([](TPDFObject*, int32_t, int32_t) {});
    return;
  }
  if (TPDFIndRef* ref = reader_.TrailerReference("Encrypt")) encryptObjNum_ = ref->RefObjNum;
  const int32_t v = encrypt_ ? encrypt_->GetInteger("V", 0) : 0;
  encryption_ = v != 0 ? TEncryption::Standard : TEncryption::Unsupported;
  crypt_ = std::make_unique<TSmartPDFCrypt>(ReadEncryptionRecord(encrypt_, reader_.NewestTrailer()));
  crypt_->ApplyPassword(password_);
}

TSmartPDFInfo::~TSmartPDFInfo() {
  // The reader outlives this object: it must not call back into it.
  reader_.SetLoadedObjectHook(nullptr);
}

bool TSmartPDFInfo::CheckPassword() {
  if (encryption_ == TEncryption::None) return true;
  if (!crypt_ || !crypt_->IsSupported()) return false;
  return crypt_->CheckUserPassword(password_) || crypt_->CheckOwnerPassword(password_);
}

void TSmartPDFInfo::UsePassword(TByteView password) {
  password_ = TBytes(password);
  if (encryption_ != TEncryption::Standard || !crypt_ || !crypt_->ApplyPassword(password_)) return;
  reader_.SetLoadedObjectHook(
      [this](TPDFObject* obj, int32_t objNum, int32_t genNum) { DecryptObject(obj, objNum, genNum); });
}

void TSmartPDFInfo::DecryptObject(TPDFObject* obj, int32_t objNum, int32_t genNum) const {
  // The encryption dictionary and cross-reference streams are never encrypted.
  if (!obj || objNum == encryptObjNum_) return;
  if (auto* stream = As<TPDFStream>(obj); stream && stream->Dictionary()->GetTypeName() == "XRef") return;
  DecryptWalk(obj, objNum, genNum, 0);
}

void TSmartPDFInfo::DecryptWalk(TPDFObject* obj, int32_t objNum, int32_t genNum, int depth) const {
  if (depth > kMaxWalkDepth) return;
  if (auto* s = As<TPDFString>(obj)) {
    s->SetValue(crypt_->DecryptString(s->Value, objNum, genNum));
  } else if (auto* a = As<TPDFArray>(obj)) {
    for (TPDFObject* item : a->Items()) DecryptWalk(item, objNum, genNum, depth + 1);
  } else if (auto* d = As<TPDFDictionary>(obj)) {
    for (const auto& entry : d->Entries()) DecryptWalk(entry.second, objNum, genNum, depth + 1);
  } else if (auto* st = As<TPDFStream>(obj)) {
    TPDFDictionary* dict = st->Dictionary();
    DecryptWalk(dict, objNum, genNum, depth + 1);
    const bool plainMetadata = dict->GetTypeName() == "Metadata" && !crypt_->IsMetadataEncrypted();
    // A stream with its own "Crypt" filter names its method; "Identity" means stored as is.
    bool ownIdentity = false;
    TPDFObject* filter = dict->GetValue("Filter", true);
    if (auto* name = As<TPDFName>(filter); name && name->Value == "Crypt") ownIdentity = true;
    if (auto* arr = As<TPDFArray>(filter); arr && arr->Count() > 0)
      if (auto* first = As<TPDFName>(arr->Item(0)); first && first->Value == "Crypt") ownIdentity = true;
    if (ownIdentity) {
      TPDFObject* parms = dict->GetValue("DecodeParms", true);
      if (auto* parr = As<TPDFArray>(parms)) parms = parr->ItemResolved(0);
      auto* p = As<TPDFDictionary>(parms);
      ownIdentity = !p || p->GetNameValue("Name").empty() || p->GetNameValue("Name") == "Identity";
    }
    if (!plainMetadata && !ownIdentity) st->SetRawData(crypt_->DecryptStream(st->Data(), objNum, genNum));
  }
}

std::string TSmartPDFInfo::Describe() const {
  if (encryption_ == TEncryption::None) return "none";
  if (!encrypt_) return "unknown";
  const TSmartPDFEncryption& rec = crypt_->Record();
  if (rec.V == 5) return "AES-256";
  if (rec.V == 4) {
    if (rec.StreamMethod == TCryptMethod::AESV2) return "AES-128";
    if (rec.StreamMethod == TCryptMethod::AESV3) return "AES-256";
    return "RC4-" + std::to_string(rec.LengthBits <= 16 ? rec.LengthBits * 8 : rec.LengthBits);
  }
  if (rec.V == 1) return "RC4-40";
  if (rec.V == 2) return "RC4-" + std::to_string(rec.LengthBits ? rec.LengthBits : 40);
  return "unsupported";
}

}  // namespace kestrel
