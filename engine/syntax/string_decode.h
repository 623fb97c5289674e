#pragma once
#include "engine/syntax/bytes.h"

namespace kestrel {

// Decodes the escapes of a literal string body (without its parentheses). With
// normalizeLineEnds, raw CR and CR LF become LF as in strings of objects; content-stream
// operands keep them.
TBytes DecodeLiteralBody(TByteView body, bool normalizeLineEnds);

}  // namespace kestrel
