#include <algorithm>

#include "engine/render/function/function_build.h"
#include "engine/render/renderer_limits.h"
#include "engine/render/function/function_type0.h"
#include "engine/render/function/function_type2.h"
#include "engine/render/function/function_type3.h"
#include "engine/render/function/function_type4.h"

namespace kestrel {

namespace function_detail {

namespace {

// The FunctionType entry: an integral number, or -1 for anything else.
int FunctionTypeOf(const TPDFDictionary* dict) {
  const auto* n = As<TPDFNumeric>(dict->GetValue("FunctionType", true));
  if (!n || n->Value != static_cast<double>(n->AsInteger())) return -1;
  return n->AsInteger();
}

}  // namespace

std::unique_ptr<TPDFFunction> BuildFunction(TPDFObject* object, TFunctionBuild& build) {
  object = ResolveRef(object);
  if (!object) return nullptr;
  const auto* stream = As<TPDFStream>(object);
  const TPDFDictionary* dict = stream ? stream->Dictionary() : As<TPDFDictionary>(object);
  if (!dict) return nullptr;

  const auto& parents = build.Parents;
  if (static_cast<int>(parents.size()) >= limits::kMaxFunctionDepth) return nullptr;
  if (std::find(parents.begin(), parents.end(), object) != parents.end()) return nullptr;
  if (build.Created >= limits::kMaxFunctionsPerTree) return nullptr;

  const int type = FunctionTypeOf(dict);
  if (type != 0 && type != 2 && type != 3 && type != 4) return nullptr;
  ++build.Created;
  switch (type) {
    case 0:
      return TPDFType0Function::Create(dict, stream ? stream->Decode() : TBytes());
    case 2:
      return TPDFType2Function::Create(dict);
    case 3: {
      build.Parents.push_back(object);
      auto f = TPDFType3Function::Create(dict, build);
      build.Parents.pop_back();
      return f;
    }
    default:
      return TPDFType4Function::Create(dict, stream ? stream->Decode() : TBytes());
  }
}

}  // namespace function_detail

std::unique_ptr<TPDFFunction> CreateFunction(TPDFObject* object) {
  function_detail::TFunctionBuild build;
  return function_detail::BuildFunction(object, build);
}

}  // namespace kestrel
