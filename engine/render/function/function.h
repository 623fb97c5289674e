#pragma once
// PDF functions (sampled, exponential, stitching, PostScript calculator): m inputs to n outputs.
#include <memory>
#include <span>
#include <vector>

#include "engine/syntax/structure.h"

namespace kestrel {

using TPDFDoubleArray = std::vector<double>;

// Raised by an evaluation that cannot go on (division by zero, zero-width interval, a
// negative base with a fractional exponent); the renderer ends the operation that asked.
struct TPDFFunctionError {
  const char* Message;
};

class TPDFFunction {
 public:
  virtual ~TPDFFunction() = default;
  // Evaluates the function; `outputs` is resized to the function's output count.
  // Throws TPDFFunctionError for arithmetic faults. Never produces NaN or infinity.
  // Inputs beyond those given read as 0.
  virtual void Evaluate(std::span<const double> inputs, std::vector<double>& outputs) = 0;
  int InputCount() const { return static_cast<int>(Domain.size() / 2); }
  // Half the length of Range; for exponential and stitching functions without a Range, the
  // count their coefficients or sub-functions give.
  int OutputCount() const { return outputCount_; }

  TPDFDoubleArray Domain;
  TPDFDoubleArray Range;

 protected:
  int outputCount_ = 0;
};

// The function an object (a function dictionary or stream; references resolved) describes,
// or null for anything else.
std::unique_ptr<TPDFFunction> CreateFunction(TPDFObject* object);

}  // namespace kestrel
