#pragma once
// The conversion job: counts a file's pages and converts a file into one image per page.
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "app/status_text.h"

namespace plover {

// Output formats in the order of the format list; the captions name the page files.
inline constexpr const char* kFormatCaptions[8] = {"BMP", "JPEG", "WMF", "EMF", "EPS", "PNG", "GIF", "TIFF"};

// Resolution of a scale position (0 = 25% ... 19 = 500%): 24 dots per inch per step.
inline int DpiForScaleIndex(int scaleIndex) { return (scaleIndex + 1) * 2400 / 100; }

// Page count of a file opened with the password; 0 when it cannot be opened.
// Reading errors reach the caller as exceptions.
int CountPages(const std::string& filePath, const std::string& password);

struct TConvertOptions {
  int Dpi = 96;
  // Pages to convert (1-based); empty converts every page.
  std::vector<int> Pages;
  // Called after each page with the whole percentage done.
  std::function<void(int)> Progress;
  // Called for a page that produced no image, with the engine's problem text.
  std::function<void(int page, const std::string& problem)> PageFailed;
  // Checked between pages; when set, the job stops and reports kJobFailed.
  const std::atomic<bool>* Cancel = nullptr;
  // Error text of a result 0 (file unreadable, open problem word and code).
  std::string* OpenError = nullptr;
};

// Converts sourceFolder + fileName into outputFolder/1.<extension>, 2.<extension>, ...
// Returns kJobOpenFailed, kJobComplete or kJobFailed.
int ConvertFile(const std::string& sourceFolder, const std::string& fileName, const std::string& password,
                const std::string& extension, int formatIndex, int scaleIndex, const std::string& outputFolder,
                const std::function<void(int)>& progress);

int ConvertFileWith(const std::string& sourcePath, const std::string& password, const std::string& extension,
                    int formatIndex, const std::string& outputFolder, const TConvertOptions& options);

// Whole file into memory; throws std::runtime_error when it cannot be read.
std::string ReadWholeFile(const std::string& path);

}  // namespace plover
