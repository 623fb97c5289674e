#pragma once
// The conversion of each PDF named on the command line: where its pages go, what is said on
// stderr while it runs, and the line or JSON object on stdout when it ends.
#include <string>
#include <vector>

#include "app/convert_plan.h"
#include "app/parallel_convert.h"
#include "cli/cli_options.h"

namespace plover {

// The path a source is read from: "-" is standard input.
std::string SourcePath(const std::string& file);

class TFileRun {
 public:
  explicit TFileRun(const TCliOptions& options);
  // Converts the files, their pages spread over the --jobs workers; each file's lines come
  // together, in input order. False when one did not complete.
  bool Convert(const std::vector<std::string>& files);

 private:
  struct TPageFile {
    int Page;
    std::string Path;
  };
  struct TOutcome {
    int Result = 0;
    std::string Destination;  // the folder, or the --output-file
    std::vector<TPageFile> Written, Kept;
    std::vector<std::string> Errors, Warnings;
    std::vector<int> PartialPages;  // written, but something on them could not be drawn
  };
  // One file of the run.
  struct TFileState {
    std::string File;
    std::string BaseName;  // of its folder and page names
    std::string Folder;    // claimed when it starts
    TJobReport Report;
    TOutcome Outcome;
    std::vector<int> FailedPages;
  };
  TBatchFile Prepare(TFileState& state);
  std::string PagePath(const TFileState& state, int page) const;
  // What is said when the file is done; false when it did not complete.
  bool Finish(TFileState& state);
  // A line on stderr about the file, on a line of its own, control characters escaped.
  void Say(const std::string& file, const std::string& text);
  void EndBar();
  void WarnStaleFiles(const std::string& file, const std::string& folder, const std::string& baseName, int pageCount,
                      const std::vector<int>& failedPages, TOutcome& outcome);
  void Report(const std::string& file, const TJobReport& report, const TOutcome& outcome);

  const TCliOptions& o_;
  bool bar_ = false;       // a bar redrawn on a terminal
  bool lines_ = false;     // a line per page
  bool barShown_ = false;  // the bar is on the current line
};

}  // namespace plover
