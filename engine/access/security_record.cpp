// Reads the "Encrypt" dictionary of the standard security handler into plain data.
#include <cmath>

#include "engine/access/security_info.h"

namespace kestrel {

namespace {

TBytes StringValue(const TPDFDictionary* d, TByteView key) {
  auto* s = As<TPDFString>(d->GetValue(key, true));
  return s ? s->Value : TBytes();
}

TCryptMethod MethodOf(const TPDFDictionary* encrypt, TByteView filterKey) {
  const TBytes name = encrypt->GetNameValue(filterKey);
  if (name.empty() || name == "Identity") return TCryptMethod::Identity;
  auto* cf = As<TPDFDictionary>(encrypt->GetValue("CF", true));
  auto* filter = cf ? As<TPDFDictionary>(cf->GetValue(name, true)) : nullptr;
  if (!filter) return TCryptMethod::None;
  const TBytes cfm = filter->GetNameValue("CFM");
  if (cfm == "V2") return TCryptMethod::RC4;
  if (cfm == "AESV2") return TCryptMethod::AESV2;
  if (cfm == "AESV3") return TCryptMethod::AESV3;
  return TCryptMethod::None;
}

}  // namespace

TSmartPDFEncryption ReadEncryptionRecord(const TPDFDictionary* encrypt, const TPDFDictionary* trailer) {
  TSmartPDFEncryption rec;
  if (!encrypt) return rec;
  if (encrypt->GetNameValue("Filter") != "Standard") {
    rec.V = -1;  // another security handler: no password can match
    return rec;
  }
  rec.V = encrypt->GetInteger("V", 0);
  rec.R = encrypt->GetInteger("R", 0);
  rec.LengthBits = encrypt->GetInteger("Length", rec.V == 1 ? 40 : 0);
  // "P" is a 32-bit field that some writers store as an unsigned number.
  const double p = encrypt->GetNumber("P", 0);
  rec.P = std::isfinite(p) && std::fabs(p) < 1e10 ? static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(p)))
                                                   : 0;
  rec.O = StringValue(encrypt, "O");
  rec.U = StringValue(encrypt, "U");
  rec.OE = StringValue(encrypt, "OE");
  rec.UE = StringValue(encrypt, "UE");
  rec.Perms = StringValue(encrypt, "Perms");
  if (auto* meta = As<TPDFBoolean>(encrypt->GetValue("EncryptMetadata", true))) rec.EncryptMetadata = meta->Value;
  if (rec.V >= 4) {
    rec.StreamMethod = MethodOf(encrypt, "StmF");
    rec.StringMethod = MethodOf(encrypt, "StrF");
    // The key length of V 4 is the crypt filter's.
    const TBytes name = encrypt->GetNameValue("StmF");
    auto* cf = As<TPDFDictionary>(encrypt->GetValue("CF", true));
    auto* filter = cf && !name.empty() ? As<TPDFDictionary>(cf->GetValue(name, true)) : nullptr;
    if (filter && filter->GetValue("Length", true)) rec.LengthBits = filter->GetInteger("Length", 128);
    else if (rec.LengthBits == 0) rec.LengthBits = rec.StreamMethod == TCryptMethod::RC4 ? 40 : 128;
    if (rec.V == 5) rec.LengthBits = 256;
  }
  if (trailer) {
    if (auto* ids = As<TPDFArray>(trailer->GetValue("ID", true)))
      if (auto* first = As<TPDFString>(ids->ItemResolved(0))) rec.FileID0 = first->Value;
  }
  return rec;
}

}  // namespace kestrel
