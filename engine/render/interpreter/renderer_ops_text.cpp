// Text state operators. Glyphs are not drawn yet: showing text takes its operands and leaves
// the text matrix where it is, as it does for a page whose font cannot be found.
#include "engine/render/interpreter/renderer_interpreter.h"

namespace kestrel {

void TContentInterpreter::BeginText() {
  gs_.Tm = TPDFMatrix{};
  gs_.Tlm = TPDFMatrix{};
}

void TContentInterpreter::MoveText(double tx, double ty) {
  MatrixMultiply(gs_.Tlm, TPDFMatrix{1, 0, 0, 1, tx, ty}, gs_.Tlm);
  gs_.Tm = gs_.Tlm;
}

void TContentInterpreter::NextLine() { MoveText(0, -gs_.Leading); }

void TContentInterpreter::ShowText(std::size_t items) {
  // The items are the last `items` operands: strings, and numbers that adjust the position.
  operands_.PopGroup(items, group_);
  itemCount_ = 0;
}

}  // namespace kestrel
