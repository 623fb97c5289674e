// The general filter chain of a stream and the stream's data setters.
#include <algorithm>
#include <vector>

#include "engine/syntax/decode_budget.h"
#include "engine/syntax/filters.h"
#include "engine/syntax/filters_internal.h"
#include "engine/syntax/structure.h"

namespace kestrel {

namespace {

void ReadCommonParms(const TPDFDictionary* parms, TPDFFlateParms& out) {
  out.Colors = parms->GetInteger("Colors", out.Colors);
  out.BitsPerComponent = parms->GetInteger("BitsPerComponent", out.BitsPerComponent);
  out.Columns = parms->GetInteger("Columns", out.Columns);
  out.Predictor = parms->GetInteger("Predictor", out.Predictor);
}

}  // namespace

TBytes TPDFStream::Decode(TDecodeBudget* budget) const {
  TPDFObject* filter = dict_->GetValue("Filter", true);
  std::vector<TByteView> names;
  if (auto* name = As<TPDFName>(filter)) {
    names.push_back(name->Value);
  } else if (auto* array = As<TPDFArray>(filter)) {
    for (auto* item : array->Items())
      if (auto* n = As<TPDFName>(item)) names.push_back(n->Value);
  }
  if (names.empty()) return data_;

  TPDFObject* parmsObj = dict_->GetValue("DecodeParms", true);
  if (!parmsObj) parmsObj = dict_->GetValue("DP", true);
  std::vector<const TPDFDictionary*> parms(names.size(), nullptr);
  if (auto* d = As<TPDFDictionary>(parmsObj)) {
    parms[0] = d;
  } else if (auto* a = As<TPDFArray>(parmsObj)) {
    for (int i = 0; i < a->Count() && i < static_cast<int>(names.size()); ++i)
      parms[static_cast<std::size_t>(i)] = As<TPDFDictionary>(a->ItemResolved(i));
  }

  // The chain as a whole has one stream's worth of output, and the caller's budget.
  TDecodeBudget chain(limits::kMaxDecodedStreamBytes);
  // The raw data is read in place by the first filter, not copied (image streams are large).
  TBytes data;
  bool decoded = false;
  auto input = [&]() { return decoded ? TByteView(data) : TByteView(data_); };
  for (std::size_t i = 0; i < names.size(); ++i) {
    TByteView f = names[i];
    const TPDFDictionary* p = parms[i];
    const bool known = f == "FlateDecode" || f == "Fl" || f == "ASCII85Decode" || f == "A85" ||
                       f == "LZWDecode" || f == "LZW" || f == "ASCIIHexDecode" || f == "AHx" ||
                       f == "RunLengthDecode" || f == "RL";
    // Image codecs (DCT, JPX, CCITT, JBIG2), Crypt and unknown names pass the data on.
    if (!known) continue;
    const std::size_t cap = std::min(chain.StageCap(), budget ? budget->StageCap() : chain.StageCap());
    if (cap == 0) {
      // A spent budget is marked as such even when nothing more is decoded against it.
      if (budget) budget->Charge(0);
      return {};
    }
    if (f == "FlateDecode" || f == "Fl") {
      TPDFFlateParms fp;
      if (p) ReadCommonParms(p, fp);
      data = ApplyPredictor(filters_detail::Inflate(input(), cap), fp);
    } else if (f == "ASCII85Decode" || f == "A85") {
      data = filters_detail::DecodeASCII85(input(), cap);
    } else if (f == "LZWDecode" || f == "LZW") {
      TPDFLZWParms lp;
      int32_t earlyChange = 1;
      if (p) {
        ReadCommonParms(p, lp);
        earlyChange = p->GetInteger("EarlyChange", 1);
      }
      data = filters_detail::DecodeLZW(input(), earlyChange == 1, cap);
      if (lp.Predictor == 2 || lp.Predictor >= 10) data = ApplyPredictor(std::move(data), lp);
    } else if (f == "ASCIIHexDecode" || f == "AHx") {
      data = DecodeASCIIHex(input());
      if (data.size() > cap) data.resize(cap);
    } else {
      data = filters_detail::DecodeRunLength(input(), cap);
    }
    decoded = true;
    chain.Charge(data.size());
    if (budget) budget->Charge(data.size());
  }
  return decoded ? data : data_;
}

void TPDFStream::SetData(TBytes bytes, bool compress) {
  if (compress) {
    SetRawData(DeflateBytes(bytes));
    dict_->DeleteKey("Filter");
    dict_->SetValue("Filter", Owner()->CommonName("FlateDecode"));
  } else {
    SetRawData(std::move(bytes));
    dict_->DeleteKey("Filter");
  }
}

}  // namespace kestrel
