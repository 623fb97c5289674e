#pragma once
// The conversion of each PDF named on the command line: where its pages go, what is said on
// stderr while it runs, and the line or JSON object on stdout when it ends.
#include <string>
#include <vector>

#include "app/convert_plan.h"
#include "cli/cli_options.h"

namespace plover {

// The path a source is read from: "-" is standard input.
std::string SourcePath(const std::string& file);

class TFileRun {
 public:
  explicit TFileRun(const TCliOptions& options);
  // Converts one file; false when it did not complete.
  bool Convert(const std::string& file);

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
  // A line on stderr about the file, on a line of its own, control characters escaped.
  void Say(const std::string& file, const std::string& text);
  void EndBar();
  void WarnStaleFiles(const std::string& file, const std::string& folder, const std::string& baseName, int pageCount,
                      const std::vector<int>& failedPages, TOutcome& outcome);
  void Report(const std::string& file, const TJobReport& report, const TOutcome& outcome);

  const TCliOptions& o_;
  TFolderClaims claims_;
  bool bar_ = false;       // a bar redrawn on a terminal
  bool lines_ = false;     // a line per page
  bool barShown_ = false;  // the bar is on the current line
};

}  // namespace plover
