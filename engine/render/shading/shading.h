#pragma once
// Smooth shadings (function-based, axial, radial) read from their dictionaries and painted
// into a bitmap over a device rectangle, which the renderer then draws through the clip.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "engine/graphics/canvas.h"
#include "engine/render/colour/colour_space.h"
#include "engine/render/function/function.h"
#include "engine/graphics/matrix.h"
#include "engine/syntax/bytes.h"

namespace kestrel {

class TPDFColorSpaces;
class TPDFDictionary;
class TPDFRenderer;

// Colour values a mesh vertex carries: the colour components, or the function's input t.
inline constexpr int kMaxMeshValues = 8;
using TMeshValues = std::array<double, kMaxMeshValues>;

struct TMeshVertex {
  TPDFPoint P;
  TMeshValues V{};
};

struct TMeshTriangle {
  TMeshVertex V[3];
};

// A tensor-product patch (Coons patches are converted): P[i][j] is the control point at u
// index i and v index j; C[i][j] the colour at the corner u = i, v = j.
struct TMeshPatch {
  TPDFPoint P[4][4];
  TMeshValues C[2][2];
};

class TPDFShading {
 public:
  // The shading a dictionary or stream describes; nothing when it is unusable or of a type
  // of an unknown type.
  static std::unique_ptr<TPDFShading> Load(TPDFObject* object, TPDFRenderer& renderer);

  int Type = 0;
  TColorSpaceId Space;
  int Components = 1;
  std::array<double, 6> Coords{};
  std::array<double, 4> Domain{0, 1, 0, 1};  // t0 t1 (axial, radial) or x0 x1 y0 y1
  std::array<bool, 2> Extend{false, false};
  TPDFMatrix Matrix;  // function-based: domain space to shading space
  std::optional<std::array<double, 4>> BBox;

  // Mesh shadings (types 4 to 7), in shading space.
  int ValueCount = 1;  // values a vertex carries: 1 with a function, else the components
  bool HasFunction = false;
  double TMin = 0, TMax = 1;  // range of t in the vertex data
  std::vector<TMeshTriangle> Triangles;
  std::vector<TMeshPatch> Patches;

  // Colour-space components for an input (t, or x and y). Throws TPDFFunctionError.
  void Evaluate(std::span<const double> input, std::vector<double>& components);
  // The colour in the middle of the shading's domain, for painting that cannot follow it.
  TPackedColor MiddleColor(TPDFColorSpaces& spaces);

 private:
  std::vector<std::unique_ptr<TPDFFunction>> functions_;
  std::vector<double> scratch_;
};

// Reads the vertex data of a mesh shading (types 4 to 7). False when it is unusable.
bool ParseMesh(TPDFShading& shading, const TPDFDictionary& dict, TByteView data,
               TPDFRenderer& renderer);

// Paints a mesh shading's triangles and patches into `out` (as RasterizeShading does).
void RasterizeMesh(TPDFShading& shading, TPDFColorSpaces& spaces, const TPDFMatrix& toDevice,
                   int x0, int y0, int width, int height, double alpha, TCanvasBitmap& out);

// Function evaluations RasterizeShading makes for a bitmap of that size.
std::size_t ShadingEvaluations(const TPDFShading& shading, int width, int height);
// Device pixels between the nodes a function-based shading is evaluated at.
double FunctionGridSpacing(int width, int height);

// Paints `shading` (in the space `toDevice` maps to device pixels) into `out`, which covers the
// device pixels [x0, x0 + width) × [y0, y0 + height). Pixels the shading does not reach are
// transparent; `alpha` scales the rest. Throws TPDFFunctionError.
void RasterizeShading(TPDFShading& shading, TPDFColorSpaces& spaces, const TPDFMatrix& toDevice,
                      int x0, int y0, int width, int height, double alpha, TCanvasBitmap& out);

}  // namespace kestrel
