#pragma once
// PostScript calculator functions (FunctionType 4).
#include <memory>
#include <vector>

#include "engine/render/function/function.h"
#include "engine/render/function/function_calculator.h"

namespace kestrel {

class TPDFType4Function final : public TPDFFunction {
 public:
  // Null when Domain or Range asks for more than 32 inputs or outputs. The program is
  // compiled here, once.
  static std::unique_ptr<TPDFType4Function> Create(const TPDFDictionary* dict, TByteView program);

  // Pushes the inputs (m of them; all given ones when there is no Domain), runs the program and
  // pops n outputs, the first popped going to the last output. The operand stack is kept
  // between evaluations: what a program leaves behind lies below the next inputs.
  void Evaluate(std::span<const double> inputs, std::vector<double>& outputs) override;

  std::size_t StackDepth() const { return stack_.size(); }

  // A stack entry; results of comparisons, true and false are booleans, so "not" can negate
  // them logically instead of complementing their bits.
  struct TValue {
    double Number = 0;
    bool Boolean = false;
  };

 private:
  TPDFType4Function() = default;
  void Run();
  void Apply(calculator::TOp op);
  TValue Pop();
  void Push(double v, bool boolean = false);

  calculator::TProgram program_;
  std::vector<TValue> stack_;
  std::vector<std::uint32_t> pending_;  // procedures waiting for if or ifelse
  struct TFrame {
    std::uint32_t Proc;
    std::size_t Pc;
  };
  std::vector<TFrame> frames_;
};

}  // namespace kestrel
