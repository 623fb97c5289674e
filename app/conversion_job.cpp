#include "app/conversion_job.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "app/page_file.h"
#include "engine/kestrel.h"

namespace plover {

namespace {

// A private copy of the source in the temporary folder, created with a unique name that no
// other process can take over, and removed when the job ends however it ends.
class TTempCopy {
 public:
  explicit TTempCopy(const std::string& bytes) {
    std::string pattern = (std::filesystem::temp_directory_path() / "plover-src-XXXXXX").string();
    path_.assign(pattern.begin(), pattern.end());
    path_.push_back('\0');
    int fd = ::mkstemp(path_.data());
    if (fd < 0) throw std::runtime_error("cannot create a temporary file: " + std::string(std::strerror(errno)));
    created_ = true;
    const int error = WriteAll(fd, bytes);
    if (::close(fd) != 0 || error != 0)
      throw std::runtime_error("cannot write a temporary file: " + std::string(std::strerror(error ? error : errno)));
  }
  ~TTempCopy() {
    if (created_) ::unlink(path_.data());
  }
  TTempCopy(const TTempCopy&) = delete;
  TTempCopy& operator=(const TTempCopy&) = delete;
  std::string Path() const { return std::string(path_.data()); }

 private:
  std::vector<char> path_;
  bool created_ = false;
};

}  // namespace

void DescribeOpenFailure(std::string_view bytes, int errorCode, const std::string& errorText, TJobReport& report) {
  if (bytes.empty()) {
    report.Problem = TJobProblem::NotPdf;
    report.Reason = "not a PDF file (the file is empty)";
  } else if (errorCode == kestrel::kErrorBadPassword) {
    report.Problem = TJobProblem::WrongPassword;
    report.Reason = "wrong password";
  } else if (errorText == "no PDF header") {
    report.Problem = TJobProblem::NotPdf;
    report.Reason = "not a PDF file";
  } else if (errorCode == kestrel::kErrorBadStructure) {
    report.Problem = TJobProblem::Damaged;
    report.Reason = "damaged file: " + (errorText.empty() ? std::string("cannot be read") : errorText);
  } else {
    report.Problem = TJobProblem::Unsupported;
    report.Reason = errorText.empty() ? std::string("cannot be opened") : errorText;
  }
}

void DescribeUnreadable(const std::string& path, TJobReport& report) {
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (status.type() == std::filesystem::file_type::not_found) {
    report.Problem = TJobProblem::NoSuchFile;
    report.Reason = "no such file";
  } else if (status.type() == std::filesystem::file_type::directory) {
    report.Problem = TJobProblem::NotPdf;
    report.Reason = "not a PDF file (a folder)";
  } else {
    report.Problem = TJobProblem::Unreadable;
    const int error = ::access(path.c_str(), R_OK) != 0 ? errno : EIO;
    report.Reason = std::string("cannot read the file: ") + std::strerror(error);
  }
}

std::string ReadWholeFile(const std::string& path) {
  // A folder opens as a stream that reads nothing: it is no file to read.
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) throw std::runtime_error(path + " is a folder");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw std::runtime_error("cannot read " + path);
  return bytes;
}

int CountPages(const std::string& filePath, const std::string& password, TJobReport& report) {
  kestrel::TKestrel0725 engine;
  std::string bytes;
  try {
    bytes = ReadWholeFile(filePath);
  } catch (const std::exception&) {
    DescribeUnreadable(filePath, report);
    return 0;
  }
  kestrel::TSmartPDFLink* handle = engine.OpenDocument(bytes, password);
  const int count = engine.GetPageCount(handle);
  report.PageCount = count;
  if (!handle) {
    DescribeOpenFailure(bytes, engine.LastErrorCode, engine.LastErrorText, report);
  } else if (count == 0) {
    report.Problem = TJobProblem::NoPages;
    report.Reason = "the document has no pages";
  }
  return count;
}

int CountPages(const std::string& filePath, const std::string& password, std::string* reason) {
  TJobReport report;
  const int count = CountPages(filePath, password, report);
  const bool unread = report.Problem == TJobProblem::NoSuchFile || report.Problem == TJobProblem::Unreadable;
  if (!reason && unread) throw std::runtime_error("cannot read " + filePath + ": " + report.Reason);
  if (reason) *reason = report.Reason;
  return count;
}

int ConvertFileWith(const std::string& sourcePath, const std::string& password, const std::string& extension,
                    int formatIndex, const std::string& outputFolder, const TConvertOptions& options) {
  TJobReport local;
  TJobReport& report = options.Report ? *options.Report : local;
  report = TJobReport();
  // The first reason is kept: later pages usually fail for the same one.
  auto fail = [&](TJobProblem problem, const std::string& reason) {
    if (report.Problem != TJobProblem::None) return;
    report.Problem = problem;
    report.Reason = reason;
  };
  int result = kJobOpenFailed;
  kestrel::TKestrel0725 engine;
  engine.JpegQuality = std::clamp(options.JpegQuality, 1, 100);
  engine.Output = options.Output;
  std::string buffer;
  try {
    try {
      buffer = ReadWholeFile(sourcePath);
    } catch (const std::exception&) {
      DescribeUnreadable(sourcePath, report);
      return kJobOpenFailed;
    }
    {
      // The engine reads a private copy, never the user's file.
      TTempCopy copy(buffer);
      buffer.clear();
      buffer = ReadWholeFile(copy.Path());
    }
    kestrel::TSmartPDFLink* handle = engine.OpenDocument(buffer, password);
    const int count = engine.GetPageCount(handle);
    report.PageCount = std::max(count, 0);
    if (!handle) {
      DescribeOpenFailure(buffer, engine.LastErrorCode, engine.LastErrorText, report);
      return kJobOpenFailed;
    }
    if (count <= 0) {
      fail(TJobProblem::NoPages, "the document has no pages");
      return kJobOpenFailed;
    }
    result = kJobFailed;
    // Requested pages past the end are named once, not one by one.
    std::vector<TPageRange> pages = options.Pages;
    if (pages.empty()) pages.push_back({1, count});
    std::int64_t total = 0;
    std::int64_t missing = 0;
    int firstMissing = 0, lastMissing = 0;
    for (TPageRange& range : pages) {
      // A range to the end names no missing page, unless it starts past the end.
      const int last = range.Last == kLastPage ? std::max(range.First, count) : range.Last;
      if (last > count) {
        if (missing == 0) firstMissing = std::max(range.First, count + 1);
        lastMissing = last;
        missing += std::int64_t{last} - std::max(range.First, count + 1) + 1;
      }
      range.Last = std::min(range.Last, count);
      if (range.First <= range.Last) total += (std::int64_t{range.Last} - range.First) / range.Step + 1;
    }
    if (missing > 0) {
      const std::string text = (missing == 1 ? "page " + std::to_string(firstMissing) + " does not exist"
                                             : "pages " + std::to_string(firstMissing) + "-" +
                                                   std::to_string(lastMissing) + " do not exist") +
                               ": the document has " + std::to_string(count) + (count == 1 ? " page" : " pages");
      fail(TJobProblem::PageErrors, text);
      if (options.PageFailed) options.PageFailed(0, text);
    }
    if (options.CheckSelection) {
      if (const std::string why = options.CheckSelection(total, count); !why.empty()) {
        fail(TJobProblem::PageErrors, why);
        if (options.PageFailed) options.PageFailed(0, why);
        return kJobFailed;
      }
    }
    bool allWritten = report.Problem == TJobProblem::None;
    engine.PageView = options.View;
    // A page tree that holds far fewer pages than its declared count (a count of two billion
    // is possible) would keep the loop busy for hours: stop after a long run of missing pages.
    constexpr int kMaxMissingRun = 1000;
    int missingRun = 0;
    std::int64_t k = 0;
    auto progress = [&] {
      if (options.Progress)
        options.Progress(static_cast<int>(std::trunc(static_cast<double>(k + 1) / static_cast<double>(total) * 100.0)));
    };
    for (const TPageRange& range : pages) {
      for (std::int64_t page = range.First; page <= range.Last; page += range.Step, ++k) {
        const int n = static_cast<int>(page);
        if (options.Cancel && options.Cancel->load()) {
          report.Problem = TJobProblem::Cancelled;
          report.Reason = "cancelled after page " + std::to_string(k) + " of " + std::to_string(total);
          return kJobFailed;
        }
        if (options.SkipPage && options.SkipPage(n)) {
          report.FolderUsed = report.FolderUsed || !options.WritePage;
          progress();
          continue;
        }
        std::string stream;
        std::string problem;
        kestrel::TPDFIndRef* ref = engine.FindPage(handle, n);
        if (!ref) problem = "page not found in the page tree";
        missingRun = ref ? 0 : missingRun + 1;
        if (missingRun > kMaxMissingRun) {
          const std::string text = "stopped: the page tree holds fewer pages than the document declares";
          fail(TJobProblem::PageErrors, text);
          if (options.PageFailed) options.PageFailed(0, text);
          return kJobFailed;
        }
        if (ref && engine.RenderPageToStream(handle, ref, stream, options.Dpi, formatIndex) == 0)
          problem = "the page reference was refused";
        if (problem.empty()) problem = engine.LastRenderProblem;
        if (stream.empty()) {
          // No image for this page: write no empty file, go on, and report the file as failed.
          allWritten = false;
          if (problem.empty()) problem = "no image produced";
          fail(TJobProblem::PageErrors, "page " + std::to_string(n) + ": " + problem);
          if (options.PageFailed) options.PageFailed(n, problem);
        } else {
          if (options.WritePage) {
            options.WritePage(n, stream);
          } else {
            if (!report.FolderUsed) {
              std::error_code ec;
              if (options.CreateParents) std::filesystem::create_directories(outputFolder, ec);
              else std::filesystem::create_directory(outputFolder, ec);
              if (ec) throw std::runtime_error("cannot create the folder " + outputFolder + ": " + ec.message());
              report.FolderUsed = true;
            }
            WritePageFile(outputFolder, options.PageName ? options.PageName(n) : std::to_string(n) + "." + extension,
                          stream);
          }
          ++report.PagesWritten;
          if (!problem.empty() && report.PageNotes.size() < TJobReport::kMaxPageNotes)
            report.PageNotes.push_back("page " + std::to_string(n) + ": " + problem);
          if (options.PageWritten) options.PageWritten(n);
          if (!problem.empty() && options.PageNote) options.PageNote(n, problem);
        }
        progress();
      }
    }
    result = allWritten ? kJobComplete : kJobFailed;
  } catch (const std::exception& e) {
    if (result == kJobOpenFailed) {
      fail(TJobProblem::Unreadable, e.what());
    } else {
      // A write that failed (a full disk) stopped the job: that is the reason to give.
      report.Problem = TJobProblem::PageErrors;
      report.Reason = e.what();
      if (options.PageFailed) options.PageFailed(0, e.what());
    }
  }
  return result;
}

int ConvertFile(const std::string& sourceFolder, const std::string& fileName, const std::string& password,
                const std::string& extension, int formatIndex, int scaleIndex, const std::string& outputFolder,
                const std::function<void(int)>& progress) {
  TConvertOptions options;
  options.Dpi = DpiForScaleIndex(scaleIndex);
  options.Progress = progress;
  return ConvertFileWith(sourceFolder + fileName, password, extension, formatIndex, outputFolder, options);
}

}  // namespace plover
