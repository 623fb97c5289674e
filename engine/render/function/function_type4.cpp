#include "engine/render/function/function_type4.h"

#include <algorithm>

#include "engine/render/function/function_calculator_math.h"
#include "engine/render/renderer_limits.h"
#include "engine/render/function/function_support.h"

namespace kestrel {

using namespace function_detail;
using calculator::TOp;

std::unique_ptr<TPDFType4Function> TPDFType4Function::Create(const TPDFDictionary* dict,
                                                             TByteView program) {
  std::unique_ptr<TPDFType4Function> f(new TPDFType4Function());
  ReadNumbers(dict, "Domain", f->Domain);
  ReadNumbers(dict, "Range", f->Range);
  if (f->Domain.size() / 2 > limits::kMaxFunctionDimensions ||
      f->Range.size() / 2 > limits::kMaxFunctionDimensions)
    return nullptr;
  f->outputCount_ = static_cast<int>(f->Range.size() / 2);
  f->program_ = calculator::Compile(program);
  f->stack_.reserve(limits::kMaxCalculatorStack);
  return f;
}

TPDFType4Function::TValue TPDFType4Function::Pop() {
  if (stack_.empty()) return {};
  const TValue v = stack_.back();
  stack_.pop_back();
  return v;
}

void TPDFType4Function::Push(double v, bool boolean) {
  if (stack_.size() < limits::kMaxCalculatorStack) stack_.push_back({Finite(v), boolean});
}

void TPDFType4Function::Evaluate(std::span<const double> inputs, std::vector<double>& outputs) {
  if (program_.Error) Fail(program_.Error);
  const std::size_t m = Domain.size() >= 2 ? Domain.size() / 2 : inputs.size();
  // Inputs are clamped to the domain and outputs to the range (ISO 32000 7.10.1), so a tint a
  // hair outside 0..1 never derails a program.
  for (std::size_t i = 0; i < m; ++i) {
    const double x = InputAt(inputs, i);
    Push(2 * i + 1 < Domain.size() ? Clamp(x, Domain[2 * i], Domain[2 * i + 1]) : x);
  }
  Run();
  outputs.assign(static_cast<std::size_t>(outputCount_), 0.0);
  for (std::size_t k = outputs.size(); k > 0; --k) outputs[k - 1] = Pop().Number;
  for (std::size_t k = 0; 2 * k + 1 < Range.size() && k < outputs.size(); ++k)
    outputs[k] = Clamp(outputs[k], Range[2 * k], Range[2 * k + 1]);
  CheckOutputs(outputs);
}

void TPDFType4Function::Run() {
  pending_.clear();
  frames_.assign(1, {0, 0});
  std::size_t executed = 0;
  while (!frames_.empty()) {
    TFrame& frame = frames_.back();
    const auto& code = program_.Procs[frame.Proc];
    if (frame.Pc >= code.size()) {
      frames_.pop_back();
      continue;
    }
    const calculator::TInstr& instr = code[frame.Pc++];
    if (++executed > limits::kMaxCalculatorOps) Fail("calculator program runs too long");
    switch (instr.Op) {
      case TOp::Push:
        Push(instr.Value);
        break;
      case TOp::Proc:
        pending_.push_back(instr.Proc);
        break;
      case TOp::If:
      case TOp::IfElse: {
        // The chosen pending procedure runs now, as if its text stood here.
        const bool condition = Pop().Number == 1;
        std::size_t chosen = pending_.size();
        if (instr.Op == TOp::If) {
          if (condition && !pending_.empty()) chosen = 0;
        } else if (pending_.size() >= 2) {
          chosen = condition ? 0 : 1;
        }
        const std::uint32_t proc = chosen < pending_.size() ? pending_[chosen] : 0;
        pending_.clear();
        if (proc != 0) frames_.push_back({proc, 0});  // invalidates `frame`
        break;
      }
      default:
        Apply(instr.Op);
        break;
    }
  }
}

void TPDFType4Function::Apply(TOp op) {
  namespace cm = calculator;
  switch (op) {
    case TOp::True: Push(1, true); return;
    case TOp::False: Push(0, true); return;
    case TOp::Pop: Pop(); return;
    case TOp::Dup: {
      const TValue a = Pop();
      Push(a.Number, a.Boolean);
      Push(a.Number, a.Boolean);
      return;
    }
    case TOp::Exch: {
      const TValue b = Pop(), a = Pop();
      Push(b.Number, b.Boolean);
      Push(a.Number, a.Boolean);
      return;
    }
    case TOp::Copy: {
      // Copies of the top n values (as many as there are), in order.
      const auto n = cm::ToInteger(Pop().Number);
      if (n <= 0) return;
      const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(n), stack_.size());
      const std::size_t base = stack_.size() - count;
      for (std::size_t i = 0; i < count; ++i) {
        const TValue v = stack_[base + i];
        Push(v.Number, v.Boolean);
      }
      return;
    }
    case TOp::Index: {
      const auto n = cm::ToInteger(Pop().Number);
      if (n < 0 || static_cast<std::uint64_t>(n) >= stack_.size()) {
        Push(0);
        return;
      }
      const TValue v = stack_[stack_.size() - 1 - static_cast<std::size_t>(n)];
      Push(v.Number, v.Boolean);
      return;
    }
    case TOp::Roll: {
      const auto j = cm::ToInteger(Pop().Number);
      const auto wanted = cm::ToInteger(Pop().Number);  // popped before the size is read
      const auto n = std::min<std::int64_t>(wanted, static_cast<std::int64_t>(stack_.size()));
      if (n <= 0) return;
      // j > 0 moves the top value down to the bottom of the group, j times.
      const auto shift = static_cast<std::size_t>(((j % n) + n) % n);
      std::rotate(stack_.end() - n, stack_.end() - static_cast<std::ptrdiff_t>(shift),
                  stack_.end());
      return;
    }
    case TOp::Not: {
      const TValue a = Pop();
      if (a.Boolean) Push(a.Number == 0 ? 1 : 0, true);
      else Push(cm::BitwiseNot(a.Number));
      return;
    }
    case TOp::And: case TOp::Or: case TOp::Xor: case TOp::Bitshift: {
      const TValue b = Pop(), a = Pop();
      Push(cm::Bitwise(op, a.Number, b.Number), a.Boolean && b.Boolean && op != TOp::Bitshift);
      return;
    }
    case TOp::Eq: case TOp::Ne: case TOp::Gt: case TOp::Ge: case TOp::Lt: case TOp::Le: {
      const double b = Pop().Number, a = Pop().Number;
      Push(cm::Compare(op, a, b) ? 1 : 0, true);
      return;
    }
    case TOp::Add: case TOp::Sub: case TOp::Mul: case TOp::Div: case TOp::Idiv:
    case TOp::Mod: case TOp::Atan: case TOp::Exp: {
      const double b = Pop().Number, a = Pop().Number;
      Push(cm::Binary(op, a, b));
      return;
    }
    default:
      Push(cm::Unary(op, Pop().Number));
      return;
  }
}

}  // namespace kestrel
