#pragma once
// A page bitmap handed to Python as a numpy array that owns it: no pixel is copied.
#include <pybind11/numpy.h>

#include "engine/graphics/raster_image.h"

namespace plover::python {

// "rgb": an H x W x 3 view on the bitmap's 32-bit pixels (strided, not C-contiguous);
// "gray": the bitmap turned into 8-bit luminance in place, an H x W C-contiguous array.
pybind11::array PageArray(kestrel::TRasterImage&& bitmap, bool gray);

}  // namespace plover::python
