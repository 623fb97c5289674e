#pragma once
// Pure rules of the Convert command: where a file's images go and what the overall bar shows.
#include <set>
#include <string>
#include <vector>

#include "app/conversion_job.h"

namespace plover {

// The name of the folder that receives a file's images: the file name without its last
// extension (report.final.pdf gives report.final). A name that would be empty, "." or ".."
// (".pdf", "..pdf", "...pdf") keeps its whole file name, so that the folder never is, or
// leaves, the folder it is made in; a name that is still unusable becomes "document".
std::string FolderNameFor(const std::string& fileName);

// The folder that receives the images of `fileName`: the row's folder, or `customFolder` when
// the custom output is chosen, with "/" appended when missing, followed by FolderNameFor and "/".
std::string OutputFolderFor(const std::string& rowFolder, const std::string& fileName, bool custom,
                            const std::string& customFolder);

// The folders handed out during one run, so that two sources of the same name (a/report.pdf and
// b/report.pdf into one output folder) never write into one folder: the second gets
// "report (2)", the third "report (3)". A name whose entry is a link or a file is passed over
// too, so that images never go through a link out of the output folder.
class TFolderClaims {
 public:
  // A folder path "parent/name" not handed out before in this run (no trailing "/").
  std::string Claim(const std::string& parent, const std::string& name);
  // Gives a folder back (its file produced nothing, so the folder was never made).
  void Release(const std::string& folder) { claimed_.erase(folder); }

 private:
  std::set<std::string> claimed_;
};

// A page file in `folder` ("12.PNG": a page number, a dot, a capital extension) that a run
// writing `pages` of a document of `pageCount` pages as "N.<extension>" would leave beside its
// own images (another format, or pages this run does not write); empty when there is none or
// the folder does not exist. `pages` empty means every page.
std::string ForeignPageFile(const std::string& folder, const std::string& extension,
                            const std::vector<TPageRange>& pages, int pageCount);

// The overall bar while file n (1-based) of total is converted: the middle of its share.
int ProgressAtFileStart(int n, int total);
// The overall bar after file n of total.
int ProgressAtFileEnd(int n, int total);

}  // namespace plover
