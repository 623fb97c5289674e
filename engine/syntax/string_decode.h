#pragma once
#include "engine/syntax/bytes.h"

namespace kestrel {

// Decodes the escapes of a literal string body (without its parentheses). With
// normalizeLineEnds, raw CR and CR LF become LF as in strings of objects; content-stream
// operands keep them.
TBytes DecodeLiteralBody(TByteView body, bool normalizeLineEnds);

// Decodes the #xx escapes of a name's characters (without its "/"); a "#" not followed by two
// hex digits stays as it is.
TBytes DecodeNameBody(TByteView body);

// A name operand of a content stream without its leading "/" (when it has one), escapes decoded.
inline TBytes DecodeNameOperand(TByteView operand) {
  if (!operand.empty() && operand.front() == '/') operand.remove_prefix(1);
  return DecodeNameBody(operand);
}

}  // namespace kestrel
