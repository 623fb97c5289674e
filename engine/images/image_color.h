#pragma once
// How the image decoder turns samples into colour. Colour spaces belong to the renderer, which
// hands the decoder one converter per image; the decoder keeps device spaces on fast paths and
// asks the converter for everything else (once per distinct sample value where it can).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

namespace kestrel {

class TPDFObject;

enum class TImageColorKind : std::uint8_t { Gray, RGB, CMYK, Indexed, Lab, Other };

class TImageColorConverter {
 public:
  virtual ~TImageColorConverter() = default;
  virtual TImageColorKind Kind() const = 0;
  virtual int Components() const = 0;
  // The value range component `index` takes when the image has no Decode array (Lab's a* and
  // b* ranges; Indexed images use 0 .. 2^bits - 1 and do not ask).
  virtual void DefaultRange(int index, double& low, double& high) const {
    (void)index;
    low = 0;
    high = 1;
  }
  // Highest palette index of an Indexed space.
  virtual int HighIndex() const { return 0; }
  // The colour of `values` (one per component, after Decode) as red, green, blue bytes.
  virtual void ToRGB(std::span<const double> values, std::uint8_t rgb[3]) = 0;
  // `count` pixels of 8-bit samples (no Decode array) to RGB bytes in one call, for spaces
  // that convert whole rows faster than pixel by pixel; false when there is no such path.
  virtual bool SamplesToRGB(const std::uint8_t* samples, std::size_t count, std::uint8_t* rgb) {
    (void)samples, (void)count, (void)rgb;
    return false;
  }
};

// The converter for an image's ColorSpace value (a name or an array, maybe a reference); null
// when the space is unknown or unusable.
using TImageColorResolver = std::function<std::unique_ptr<TImageColorConverter>(TPDFObject*)>;

}  // namespace kestrel
