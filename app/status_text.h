#pragma once
#include <string>

namespace plover {

// Job results of ConvertFile; the row's status is StatusText(language, result).
enum TJobResult : int {
  kJobOpenFailed = 0,
  kJobComplete = 3,
  kJobFailed = 4,
};

// Status texts by interface language (0 Simplified Chinese, 1 English) and position 0-4.
const std::string& StatusText(int language, int position);

}  // namespace plover
