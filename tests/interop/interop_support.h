#pragma once
// Helpers for the interop tests: run other programs on the files we write and read back what
// they produce.
#include <optional>
#include <string>
#include <vector>

#include "pixel_compare.h"
#include "engine/output/output_options.h"
#include "engine/syntax/bytes.h"

namespace kestrel::interop {

using testing::TRgbImage;

// Runs a program (searched on PATH) with its arguments, output and errors discarded unless
// `output` is given (then stdout is captured into it). The exit code, or -1 when it could not
// run or was killed. `timeoutSeconds` kills it when it runs longer.
int RunProgram(const std::vector<std::string>& args, std::string* output = nullptr,
               int timeoutSeconds = 300);
// Whether `name` is an executable on PATH.
bool HaveProgram(const std::string& name);

// The first page of `pdf` in output format `format` (the numbers of page_output.h) at `dpi`,
// as the conversion writes it. `problem` receives the renderer's text.
TBytes ConvertFirstPage(const std::string& pdf, int format, double dpi,
                        std::string* problem = nullptr, const TOutputOptions& options = {});

// A PNG file decoded to RGB, transparency composed over white.
std::optional<TRgbImage> LoadPng(const std::string& path);
// Any image file ImageMagick's `convert` reads, as RGB (transparency over white).
std::optional<TRgbImage> LoadWithImageMagick(const std::string& path);

// Scales `image` to width × height by box averaging (or nearest when enlarging), so that a
// picture another program rendered at a slightly different size can be compared with ours.
TRgbImage Resample(const TRgbImage& image, int width, int height);

}  // namespace kestrel::interop
