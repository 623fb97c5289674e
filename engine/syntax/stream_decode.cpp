// The general filter chain of a stream and the stream's data setters.
#include <algorithm>
#include <memory>
#include <span>
#include <vector>

#include "engine/syntax/decode_budget.h"
#include "engine/syntax/filters.h"
#include "engine/syntax/filters_internal.h"
#include "engine/syntax/stream_reader.h"
#include "engine/syntax/structure.h"

namespace kestrel {

namespace {

void ReadCommonParms(const TPDFDictionary* parms, TPDFFlateParms& out) {
  out.Colors = parms->GetInteger("Colors", out.Colors);
  out.BitsPerComponent = parms->GetInteger("BitsPerComponent", out.BitsPerComponent);
  out.Columns = parms->GetInteger("Columns", out.Columns);
  out.Predictor = parms->GetInteger("Predictor", out.Predictor);
}

bool IsFlate(TByteView f) { return f == "FlateDecode" || f == "Fl"; }
bool IsLZW(TByteView f) { return f == "LZWDecode" || f == "LZW"; }

// The general filters of a stream with their parameters, in order. Image codecs (DCT, JPX,
// CCITT, JBIG2), Crypt and unknown names are left out: they pass the data on.
struct TFilterStage {
  TByteView Name;
  const TPDFDictionary* Parms = nullptr;
};
std::vector<TFilterStage> GeneralFilters(const TPDFDictionary& dict) {
  TPDFObject* filter = dict.GetValue("Filter", true);
  std::vector<TByteView> names;
  if (auto* name = As<TPDFName>(filter)) {
    names.push_back(name->Value);
  } else if (auto* array = As<TPDFArray>(filter)) {
    for (auto* item : array->Items())
      if (auto* n = As<TPDFName>(item)) names.push_back(n->Value);
  }
  TPDFObject* parmsObj = dict.GetValue("DecodeParms", true);
  if (!parmsObj) parmsObj = dict.GetValue("DP", true);
  std::vector<const TPDFDictionary*> parms(names.size(), nullptr);
  if (auto* d = As<TPDFDictionary>(parmsObj); d && !names.empty()) {
    parms[0] = d;
  } else if (auto* a = As<TPDFArray>(parmsObj)) {
    for (int i = 0; i < a->Count() && i < static_cast<int>(names.size()); ++i)
      parms[static_cast<std::size_t>(i)] = As<TPDFDictionary>(a->ItemResolved(i));
  }
  std::vector<TFilterStage> stages;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const TByteView f = names[i];
    if (IsFlate(f) || IsLZW(f) || f == "ASCII85Decode" || f == "A85" || f == "ASCIIHexDecode" ||
        f == "AHx" || f == "RunLengthDecode" || f == "RL")
      stages.push_back({f, parms[i]});
  }
  return stages;
}

TPDFFlateParms PredictorParms(const TPDFDictionary* p) {
  TPDFFlateParms fp;
  if (p) ReadCommonParms(p, fp);
  return fp;
}

bool EarlyChange(const TPDFDictionary* p) { return !p || p->GetInteger("EarlyChange", 1) == 1; }

// What a stage may produce: the chain's share and the caller's budget; a spent budget is
// marked as such even when nothing more is decoded against it.
std::size_t StageCap(const TDecodeBudget& chain, TDecodeBudget* budget) {
  const std::size_t cap = std::min(chain.StageCap(), budget ? budget->StageCap() : chain.StageCap());
  if (cap == 0 && budget) budget->Charge(0);
  return cap;
}

// Runs the stages on `data` (the raw data, read in place: image streams are large, and not
// copied), charging every stage's output; false when a stage had nothing left to produce.
bool RunStages(std::span<const TFilterStage> stages, TByteView raw, TBytes& data, bool& decoded,
               TDecodeBudget& chain, TDecodeBudget* budget) {
  for (const TFilterStage& stage : stages) {
    const TByteView f = stage.Name, input = decoded ? TByteView(data) : raw;
    const std::size_t cap = StageCap(chain, budget);
    if (cap == 0) return false;
    if (IsFlate(f)) {
      data = ApplyPredictor(filters_detail::Inflate(input, cap), PredictorParms(stage.Parms));
    } else if (f == "ASCII85Decode" || f == "A85") {
      data = filters_detail::DecodeASCII85(input, cap);
    } else if (IsLZW(f)) {
      const TPDFLZWParms lp = PredictorParms(stage.Parms);
      data = filters_detail::DecodeLZW(input, EarlyChange(stage.Parms), cap);
      if (lp.Predictor == 2 || lp.Predictor >= 10) data = ApplyPredictor(std::move(data), lp);
    } else if (f == "ASCIIHexDecode" || f == "AHx") {
      data = DecodeASCIIHex(input);
      if (data.size() > cap) data.resize(cap);
    } else {
      data = filters_detail::DecodeRunLength(input, cap);
    }
    decoded = true;
    chain.Charge(data.size());
    if (budget) budget->Charge(data.size());
  }
  return true;
}

// The last stage read piece by piece: its output capped as RunStages caps it and charged to
// both budgets as it is read. The data before it is owned here when earlier stages made it.
class TStreamReader final : public TByteSource {
 public:
  TStreamReader(TBytes data, TDecodeBudget chain, TDecodeBudget* budget)
      : data_(std::move(data)), chain_(chain), budget_(budget) {}
  TByteView Data() const { return data_; }
  void Follow(std::unique_ptr<TByteSource> source) { source_ = std::move(source); }

  std::size_t Read(std::span<char> out) override {
    const std::size_t got = source_ ? source_->Read(out) : 0;
    chain_.Charge(got);
    if (budget_) budget_->Charge(got);
    return got;
  }

 private:
  TBytes data_;
  TDecodeBudget chain_;
  TDecodeBudget* budget_;
  std::unique_ptr<TByteSource> source_;
};

// The raw data of an unfiltered stream.
class TViewSource final : public TByteSource {
 public:
  explicit TViewSource(TByteView data) : data_(data) {}
  std::size_t Read(std::span<char> out) override {
    const std::size_t n = std::min(out.size(), data_.size());
    std::copy_n(data_.data(), n, out.data());
    data_.remove_prefix(n);
    return n;
  }

 private:
  TByteView data_;
};

}  // namespace

TBytes TPDFStream::Decode(TDecodeBudget* budget) const {
  const std::vector<TFilterStage> stages = GeneralFilters(*dict_);
  if (stages.empty()) return TBytes(Data());
  // The chain as a whole has one stream's worth of output, and the caller's budget.
  TDecodeBudget chain(limits::kMaxDecodedStreamBytes);
  TBytes data;
  bool decoded = false;
  if (!RunStages(stages, Data(), data, decoded, chain, budget)) return {};
  if (!decoded) return TBytes(Data());
  return data;  // moved out, not copied: it may be hundreds of megabytes
}

std::unique_ptr<TByteSource> OpenStreamReader(const TPDFStream& stream, TDecodeBudget* budget) {
  const std::vector<TFilterStage> stages = GeneralFilters(*stream.Dictionary());
  if (stages.empty()) return std::make_unique<TViewSource>(stream.Data());
  const TFilterStage& last = stages.back();
  if (!IsFlate(last.Name) && !IsLZW(last.Name)) return nullptr;
  if (IsFlate(last.Name) && stages.size() == 1 && !filters_detail::InflateSource(stream.Data(), 0))
    return nullptr;  // a damaged header: only the whole decoder's fallbacks read it
  TDecodeBudget chain(limits::kMaxDecodedStreamBytes);
  TBytes data;
  bool decoded = false;
  const bool ran = RunStages(std::span(stages).first(stages.size() - 1), stream.Data(), data,
                             decoded, chain, budget);
  auto reader = std::make_unique<TStreamReader>(std::move(data), chain, budget);
  const std::size_t cap = ran ? StageCap(chain, budget) : 0;
  if (cap == 0) return reader;  // gives nothing, as Decode gives nothing
  const TByteView input = decoded ? reader->Data() : stream.Data();
  const TPDFFlateParms parms = PredictorParms(last.Parms);
  if (IsFlate(last.Name)) {
    auto inflate = filters_detail::InflateSource(input, cap);
    if (!inflate) return nullptr;
    reader->Follow(filters_detail::PredictorSource(std::move(inflate), parms));
  } else {
    auto lzw = filters_detail::LZWSource(input, EarlyChange(last.Parms), cap);
    reader->Follow(parms.Predictor == 2 || parms.Predictor >= 10
                       ? filters_detail::PredictorSource(std::move(lzw), parms)
                       : std::move(lzw));
  }
  return reader;
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
