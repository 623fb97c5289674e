// PDF functions built from arbitrary object text. The input is a list of objects separated by
// "endobj"; object i (from 1) answers the reference "i 0 R", and an object holding "stream"
// becomes a stream of the dictionary before that word and the bytes after it. Object 1 is
// the function, evaluated on a few inputs; results must be finite and of the declared count.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine/render/function/function.h"

namespace {

using namespace kestrel;

TPDFObject* ParseSegment(TPDFStructure& pool, TByteView text) {
  const std::size_t mark = text.find("stream");
  if (mark == TByteView::npos) return pool.ParseObject(text);
  auto* dict = As<TPDFDictionary>(pool.ParseObject(text.substr(0, mark)));
  if (!dict) dict = pool.NewDictionary();
  return pool.NewStreamOf(dict, TBytes(text.substr(mark + 6)));
}

void Check(TPDFFunction& f, const std::vector<double>& inputs) {
  std::vector<double> out;
  try {
    f.Evaluate(inputs, out);
  } catch (const TPDFFunctionError& e) {
    if (e.Message == nullptr) std::abort();
    return;
  }
  if (out.size() != static_cast<std::size_t>(f.OutputCount())) std::abort();
  for (double v : out)
    if (!std::isfinite(v)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  TByteView text(reinterpret_cast<const char*>(bytes), size);
  TPDFStructure pool;
  std::vector<TPDFObject*> objects;
  while (!text.empty() && objects.size() < 64) {
    const std::size_t end = text.find("endobj");
    objects.push_back(ParseSegment(pool, text.substr(0, end)));
    text.remove_prefix(end == TByteView::npos ? text.size() : end + 6);
  }
  if (objects.empty()) return 0;
  pool.OnResolveRef = [&objects](TPDFIndRef*, int32_t num, int32_t) -> TPDFObject* {
    if (num < 1 || static_cast<std::size_t>(num) > objects.size()) return nullptr;
    return objects[static_cast<std::size_t>(num) - 1];
  };

  auto f = CreateFunction(objects[0]);
  if (!f) return 0;
  const auto m = static_cast<std::size_t>(f->InputCount());
  for (double x : {0.0, 0.5, 1.0, -1.0, 0.25, 1e6, -3e9}) Check(*f, std::vector<double>(m, x));
  std::vector<double> ramp;
  for (std::size_t i = 0; i < m; ++i) ramp.push_back(static_cast<double>(i) / 3);
  Check(*f, ramp);
  Check(*f, {});  // fewer inputs than the function takes
  return 0;
}
