#include "engine/render/function/function_calculator.h"

#include <charconv>
#include <cmath>

#include "engine/render/renderer_limits.h"

namespace kestrel::calculator {

namespace {

struct TWord {
  const char* Name;
  TOp Op;
};

constexpr TWord kWords[] = {
    {"add", TOp::Add},         {"sub", TOp::Sub},       {"mul", TOp::Mul},
    {"div", TOp::Div},         {"idiv", TOp::Idiv},     {"mod", TOp::Mod},
    {"neg", TOp::Neg},         {"abs", TOp::Abs},       {"sqrt", TOp::Sqrt},
    {"ceiling", TOp::Ceiling}, {"floor", TOp::Floor},   {"round", TOp::Round},
    {"truncate", TOp::Truncate}, {"cvi", TOp::Cvi},     {"cvr", TOp::Cvr},
    {"sin", TOp::Sin},         {"cos", TOp::Cos},       {"atan", TOp::Atan},
    {"exp", TOp::Exp},         {"ln", TOp::Ln},         {"log", TOp::Log},
    {"eq", TOp::Eq},           {"ne", TOp::Ne},         {"gt", TOp::Gt},
    {"ge", TOp::Ge},           {"lt", TOp::Lt},         {"le", TOp::Le},
    {"and", TOp::And},         {"or", TOp::Or},         {"xor", TOp::Xor},
    {"not", TOp::Not},         {"bitshift", TOp::Bitshift},
    {"true", TOp::True},       {"false", TOp::False},   {"pop", TOp::Pop},
    {"exch", TOp::Exch},       {"dup", TOp::Dup},       {"copy", TOp::Copy},
    {"index", TOp::Index},     {"roll", TOp::Roll},     {"if", TOp::If},
    {"ifelse", TOp::IfElse},
};

bool IsSeparator(unsigned char c) {
  return c == 0 || c == 9 || c == 10 || c == 12 || c == 13 || c == 32;
}

bool IsBrace(char c) { return c == '{' || c == '}'; }

const TWord* FindWord(TByteView token) {
  for (const auto& w : kWords)
    if (token == w.Name) return &w;
  return nullptr;
}

}  // namespace

TByteView PrepareText(TByteView text) {
  std::size_t start = 0;
  while (start < text.size() && IsSeparator(static_cast<unsigned char>(text[start]))) ++start;
  if (start < text.size() && text[start] == '{') text.remove_prefix(start + 1);
  const std::size_t close = text.rfind('}');
  if (close != TByteView::npos) return text.substr(0, close);
  if (!text.empty()) text.remove_suffix(1);
  return text;
}

double NumberValue(TByteView token) {
  if (!token.empty() && token.front() == '+') token.remove_prefix(1);
  if (token.empty() || token.front() == '+') return 0;
  // from_chars would also take "inf" and "nan" words; numbers start with a sign, digit or ".".
  const char lead = token.front() == '-' && token.size() > 1 ? token[1] : token.front();
  if (!(lead == '.' || (lead >= '0' && lead <= '9'))) return 0;
  double value = 0;
  const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
  if (ec != std::errc() || end != token.data() + token.size() || !std::isfinite(value)) return 0;
  return value;
}

TProgram Compile(TByteView source) {
  TProgram program;
  program.Procs.emplace_back();
  const TByteView text = PrepareText(source);
  std::vector<std::uint32_t> open;  // enclosing procedures of the one being filled
  std::uint32_t current = 0;
  std::size_t count = 0;
  std::size_t pos = 0;

  auto emit = [&](TInstr instr) {
    if (++count > limits::kMaxCalculatorOps) {
      program.Error = "calculator program too long";
      return false;
    }
    program.Procs[current].push_back(instr);
    return true;
  };

  while (pos < text.size()) {
    const char c = text[pos];
    if (IsSeparator(static_cast<unsigned char>(c))) {
      ++pos;
      continue;
    }
    if (c == '{') {
      ++pos;
      if (static_cast<int>(open.size()) >= limits::kMaxCalculatorNesting) {
        program.Error = "calculator procedures nested too deeply";
        break;
      }
      const auto proc = static_cast<std::uint32_t>(program.Procs.size());
      if (!emit({TOp::Proc, proc, 0})) break;
      program.Procs.emplace_back();
      open.push_back(current);
      current = proc;
      continue;
    }
    if (c == '}') {
      ++pos;
      if (!open.empty()) {
        current = open.back();
        open.pop_back();
      }
      continue;
    }
    const std::size_t start = pos;
    while (pos < text.size() && !IsSeparator(static_cast<unsigned char>(text[pos])) &&
           !IsBrace(text[pos]))
      ++pos;
    const TByteView token = text.substr(start, pos - start);
    if (token.front() >= 'a' && token.front() <= 'z') {
      const TWord* word = FindWord(token);
      if (word && !emit({word->Op, 0, 0})) break;
    } else if (!emit({TOp::Push, 0, NumberValue(token)})) {
      break;
    }
  }
  if (program.Error) program.Procs.assign(1, {});
  return program;
}

}  // namespace kestrel::calculator
