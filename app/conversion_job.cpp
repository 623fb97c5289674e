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
#include "app/parallel_convert.h"
#include "engine/kestrel.h"

namespace plover {

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

std::vector<std::string> ProblemLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && (text[i] != '\n' || (i > 0 && text[i - 1] == '\r'))) continue;
    if (i > start) lines.push_back(text.substr(start, i - start));
    start = i + 1;
  }
  return lines;
}

std::string NoPagesReason(kestrel::TSmartPDFLink& handle) {
  const std::string& note = handle.Document()->PageCountNote();
  return note.empty() ? "the document has no pages" : "damaged file: " + note;
}

std::shared_ptr<const kestrel::TFileBytes> MapInput(const std::string& path, TJobReport& report) {
  using F = kestrel::TFileBytes::TFailure;
  F failure = F::None;
  std::string reason;
  auto file = kestrel::TFileBytes::Map(path, failure, reason);
  if (file) return file;
  switch (failure) {
    case F::NotFound:
    case F::Folder:
      DescribeUnreadable(path, report);
      break;
    case F::OutOfMemory:
      report.Problem = TJobProblem::Unreadable;
      report.Reason = "out of memory";
      break;
    default:
      report.Problem = TJobProblem::Unreadable;
      report.Reason = "cannot read the file: " + reason;
      break;
  }
  return nullptr;
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
  auto file = MapInput(filePath, report);
  if (!file) return 0;
  kestrel::TSmartPDFLink* handle = engine.OpenDocument(file, password);
  int count = engine.GetPageCount(handle);
  report.PageCount = count;
  if (file->Changed()) {
    report.PageCount = count = 0;
    report.Problem = TJobProblem::Unreadable;
    report.Reason = kestrel::TFileBytes::kChangedReason;
  } else if (!handle) {
    DescribeOpenFailure(file->View(), engine.LastErrorCode, engine.LastErrorText, report);
  } else if (count == 0) {
    report.Problem = handle->Document()->PageCountNote().empty() ? TJobProblem::NoPages : TJobProblem::Damaged;
    report.Reason = NoPagesReason(*handle);
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
  TBatchFile file{sourcePath, password, outputFolder, {}, {}, options};
  file.Options.Report = options.Report ? options.Report : &local;
  *file.Options.Report = TJobReport();
  TBatch batch;
  batch.Extension = extension;
  batch.FormatIndex = formatIndex;
  batch.Jobs = options.Jobs;
  batch.Cancel = options.Cancel;
  int result = kJobFailed;
  bool finished = false;
  batch.Finished = [&](std::size_t, int fileResult, const TJobReport&) {
    result = fileResult;
    finished = true;
  };
  ConvertFiles({file}, batch);
  if (!finished) {
    // Cancelled before the file was opened.
    file.Options.Report->Problem = TJobProblem::Cancelled;
    file.Options.Report->Reason = "cancelled before the first page";
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
