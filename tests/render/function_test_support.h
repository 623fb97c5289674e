#pragma once
// Builds functions from hand-written object texts in a pool whose references resolve to
// objects the test registers by number.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "engine/render/function/function.h"

namespace functiontest {

using namespace kestrel;

class FunctionPool {
 public:
  FunctionPool() {
    pool.OnResolveRef = [this](TPDFIndRef*, int32_t num, int32_t) -> TPDFObject* {
      const auto it = objects.find(num);
      return it == objects.end() ? nullptr : it->second;
    };
  }

  TPDFObject* Object(const std::string& text) { return pool.ParseObject(text); }

  TPDFObject* Stream(const std::string& dictText, const std::string& data) {
    auto* dict = As<TPDFDictionary>(pool.ParseObject(dictText));
    EXPECT_NE(dict, nullptr) << dictText;
    return pool.NewStreamOf(dict, data);
  }

  // Registers object `num` for "num 0 R".
  TPDFObject* Define(int num, TPDFObject* obj) {
    objects[num] = obj;
    return obj;
  }

  std::unique_ptr<TPDFFunction> Make(const std::string& dictText) {
    return CreateFunction(Object(dictText));
  }
  std::unique_ptr<TPDFFunction> MakeStream(const std::string& dictText, const std::string& data) {
    return CreateFunction(Stream(dictText, data));
  }

  TPDFStructure pool;
  std::map<int, TPDFObject*> objects;
};

inline std::vector<double> Eval(TPDFFunction& f, std::vector<double> inputs) {
  std::vector<double> out;
  f.Evaluate(inputs, out);
  return out;
}

// The function fails with TPDFFunctionError and nothing else.
inline bool Fails(TPDFFunction& f, std::vector<double> inputs) {
  std::vector<double> out;
  try {
    f.Evaluate(inputs, out);
  } catch (const TPDFFunctionError& e) {
    return e.Message != nullptr && e.Message[0] != 0;
  }
  return false;
}

}  // namespace functiontest
