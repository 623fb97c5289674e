#pragma once
#include <string>

namespace plover {

// Job results of ConvertFile; the row's status is StatusText(language, result).
enum TJobResult : int {
  kJobOpenFailed = 0,
  kJobComplete = 3,
  kJobFailed = 4,
};

// Statuses the window shows beyond the job results: why a file did not open, and what became
// of the rows of a cancelled run.
enum TRowStatus : int {
  kStatusReady = 1,
  kStatusProcessing = 2,
  kStatusNotPdf = 5,
  kStatusNotFound = 6,
  kStatusDamaged = 7,
  kStatusCancelled = 8,
  kStatusSkipped = 9,
  kStatusCount = 10,
};

// Status texts by interface language (0 Simplified Chinese, 1 English) and position: 0-4 are
// the job results and their neighbours, 5-9 the TRowStatus values above.
const std::string& StatusText(int language, int position);

}  // namespace plover
