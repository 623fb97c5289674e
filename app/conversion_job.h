#pragma once
// The conversion job: counts a file's pages and converts a file into one image per page.
#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/status_text.h"
#include "engine/output/output_options.h"
#include "engine/render/render_settings.h"
#include "engine/syntax/file_bytes.h"

namespace kestrel {
class TSmartPDFLink;
}

namespace plover {

// Output formats in the order of the format list; the captions name the page files.
inline constexpr const char* kFormatCaptions[8] = {"BMP", "JPEG", "WMF", "EMF", "EPS", "PNG", "GIF", "TIFF"};

// Resolution of a scale position (0 = 25% ... 19 = 500%): 24 dots per inch per step.
inline int DpiForScaleIndex(int scaleIndex) { return (scaleIndex + 1) * 2400 / 100; }

// Page count of a file opened with the password; 0 when it cannot be opened. Reading errors
// reach the caller as exceptions, unless `reason` is given: it then receives why the count is 0.
int CountPages(const std::string& filePath, const std::string& password, std::string* reason = nullptr);

// Why a file did not convert completely.
enum class TJobProblem {
  None,
  NoSuchFile,     // "no such file"
  NotPdf,         // "not a PDF file" (also a folder, an empty file)
  Damaged,        // "damaged file: <reason>"
  WrongPassword,  // "wrong password"
  Unsupported,    // encryption the engine cannot decrypt
  Unreadable,     // the file exists but cannot be read
  NoPages,        // opened, but there is no page to convert
  PageErrors,     // some pages produced no image or could not be written
  Cancelled,      // "cancelled after page 10 of 40"
};

// What became of one file, for the command line and the window's tooltip.
struct TJobReport {
  TJobProblem Problem = TJobProblem::None;
  // The reason in words; the first one when several pages failed.
  std::string Reason;
  int PageCount = 0;
  int PagesWritten = 0;
  // True once the output folder holds this file's pages (it is made with the first page).
  bool FolderUsed = false;
  // Pages written but not completely drawn, with the engine's note ("page 3: ..."); at most
  // kMaxPageNotes are kept.
  std::vector<std::string> PageNotes;
  static constexpr std::size_t kMaxPageNotes = 50;
};

// Page count as above; a count of 0 fills `report` with the problem and its reason.
int CountPages(const std::string& filePath, const std::string& password, TJobReport& report);

// A Last that stands for the document's last page, whatever the count.
inline constexpr int kLastPage = std::numeric_limits<int>::max();

// Pages First to Last (1-based, inclusive), every Step-th one (2 for odd or even pages).
struct TPageRange {
  int First = 1;
  int Last = 1;
  int Step = 1;
  bool operator==(const TPageRange&) const = default;
};

// The report of a file the engine would not open: what the bytes are and the engine's error
// code and reason decide between "not a PDF file", "damaged file: ...", "wrong password".
void DescribeOpenFailure(std::string_view bytes, int errorCode, const std::string& errorText, TJobReport& report);
// The report of a source that could not be read: "no such file", a folder, or the read error.
void DescribeUnreadable(const std::string& path, TJobReport& report);
// The lines of an engine's page problem, one per cause. A "\r\n" stays within a line: it
// separates a rendering exception from its token position.
std::vector<std::string> ProblemLines(const std::string& text);
// Why a document that opened has no page to convert: none, or a page tree that cannot be read.
std::string NoPagesReason(kestrel::TSmartPDFLink& handle);
// The file mapped for the engine (TFileBytes::Map), or null with `report` saying why: "no
// such file", a folder, a device or pipe, "out of memory".
std::shared_ptr<const kestrel::TFileBytes> MapInput(const std::string& path, TJobReport& report);

struct TConvertOptions {
  int Dpi = 96;
  // Quality of JPEG pages, 1 to 100.
  int JpegQuality = 75;
  // Page box, pixel bounds and annotations.
  kestrel::TPageView View;
  // Pages to convert, ascending and not overlapping; empty converts every page.
  std::vector<TPageRange> Pages;
  // Once the document is open: the reason to refuse a selection of this many of its pages
  // (nothing is then drawn), or an empty string.
  std::function<std::string(std::int64_t selected, int pageCount)> CheckSelection;
  // The file name of a page in the output folder; "N.<extension>" when not set.
  std::function<std::string(int page)> PageName;
  // Asked before a page is drawn, with the output folder: true keeps what is already there for
  // it, as if written.
  std::function<bool(const std::string& folder, int page)> SkipPage;
  // Called for a page SkipPage kept.
  std::function<void(int page)> PageKept;
  // Receives each page's bytes instead of the output folder (which is then never made);
  // throws std::runtime_error when they cannot be written.
  std::function<void(int page, std::string_view bytes)> WritePage;
  // Called after a page is written.
  std::function<void(int page)> PageWritten;
  // Called after each page with the whole percentage done.
  std::function<void(int)> Progress;
  // Called for a page that produced no image (page 0: the file as a whole), with the reason.
  std::function<void(int page, const std::string& problem)> PageFailed;
  // Called for a page that was written but not completely drawn, with the engine's note.
  std::function<void(int page, const std::string& note)> PageNote;
  // Checked between pages; when set, the job stops and reports kJobFailed.
  const std::atomic<bool>* Cancel = nullptr;
  // The output folder is made when the first page is written, so that a file that produces
  // nothing leaves nothing behind; only its last level unless CreateParents is set.
  bool CreateParents = false;
  // Filled in when given.
  TJobReport* Report = nullptr;
  // Colours, transparency and encoder choices of the page files.
  kestrel::TOutputOptions Output;
  // Workers drawing pages at once, each through a document handle of its own.
  int Jobs = 1;
};

// Converts sourceFolder + fileName into outputFolder/1.<extension>, 2.<extension>, ...
// Returns kJobOpenFailed, kJobComplete or kJobFailed.
int ConvertFile(const std::string& sourceFolder, const std::string& fileName, const std::string& password,
                const std::string& extension, int formatIndex, int scaleIndex, const std::string& outputFolder,
                const std::function<void(int)>& progress);

// Callbacks as ConvertFiles (app/parallel_convert.h) calls them: PageName, SkipPage,
// CheckSelection and WritePage on a worker thread, the others on the calling thread in page order.
int ConvertFileWith(const std::string& sourcePath, const std::string& password, const std::string& extension,
                    int formatIndex, const std::string& outputFolder, const TConvertOptions& options);

// Whole file into memory; throws std::runtime_error when it cannot be read.
std::string ReadWholeFile(const std::string& path);

}  // namespace plover
