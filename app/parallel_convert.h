#pragma once
// Converts the files of one run with several workers. Each file is read once; every worker that
// draws its pages opens a document handle of its own on those bytes, so no document, font cache
// or page is ever used by two threads. Pages of one file and files of one run are spread over
// the workers, each drawing one page at a time (at most `Jobs` page bitmaps exist at once). The
// caller sees what one worker would give: events on the calling thread, file by file in input
// order, each file's page events in page order.
#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "app/conversion_job.h"
#include "app/convert_plan.h"

namespace plover {

// Most workers of one run (each page file being written holds one of as many slots).
inline constexpr int kMaxJobs = 256;

struct TBatchFile {
  std::string Source;
  std::string Password;
  // The folder that receives the pages. With TBatch::Claims set it is instead claimed as
  // Claims->Claim(ClaimParent, ClaimName) when the file starts, and given back when the file
  // wrote nothing, exactly as a run of one file after the other would.
  std::string OutputFolder;
  std::string ClaimParent;
  std::string ClaimName;
  // This file's settings and callbacks. PageName, SkipPage, CheckSelection and WritePage run on
  // a worker and must only read what other threads may change; a file with WritePage is drawn by
  // one worker, page after page. Progress (pages done in any order), PageFailed, PageNote,
  // PageKept and PageWritten run on the calling thread in page order. Report, when given,
  // receives the page count before the first page event and the whole report when the file is
  // done. Cancel and Jobs are the batch's.
  TConvertOptions Options;
};

struct TBatch {
  std::string Extension;  // of the page files: "PNG" gives 1.PNG
  int FormatIndex = 1;
  int Jobs = 1;
  // Checked between pages; once set, every worker stops after the page in its hands.
  const std::atomic<bool>* Cancel = nullptr;
  TFolderClaims* Claims = nullptr;
  // Called on the calling thread, for one file after the other in input order.
  std::function<void(std::size_t file, const std::string& folder)> Started;
  // result: kJobOpenFailed, kJobComplete or kJobFailed.
  std::function<void(std::size_t file, int result, const TJobReport& report)> Finished;
};

// Converts `files`; returns when all have finished or, once Cancel is set, when the files
// already started have stopped (files never started get no event).
void ConvertFiles(const std::vector<TBatchFile>& files, const TBatch& batch);

// The number of cores this process may run on (its CPU affinity), 1 to kMaxJobs.
int AvailableCores();

// Keeps the memory of a freed page bitmap in the process for the next page, instead of giving
// it back to the system and having fresh zeroed memory faulted in again for every page (at 300
// dpi that was more than half of a text page's CPU time). Peak memory stays the same. Call it
// once, before the workers start.
void ReusePageMemory();

}  // namespace plover
