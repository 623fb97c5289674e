#pragma once
// Fuzz harness body for the command line: the option parser, the page-name template and the
// escaping of printed names, shared by the libFuzzer target and the seed-replay test.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/name_template.h"
#include "cli/printable.h"

namespace fuzzharness {

// The bytes split at NUL into arguments; the first is also read as a name template.
inline void CliArguments(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> args;
  for (std::size_t start = 0; start <= bytes.size();) {
    const std::size_t end = std::min(bytes.find('\0', start), bytes.size());
    args.push_back(bytes.substr(start, end - start));
    start = end + 1;
  }
  std::string error;
  if (auto o = plover::ParseCliOptions(args, error)) {
    // Page ranges come out ascending, apart and within 1..kLastPage.
    for (std::size_t i = 0; i < o->Pages.size(); ++i) {
      const plover::TPageRange& r = o->Pages[i];
      if (r.First < 1 || r.Last < r.First || r.Step < 1) __builtin_trap();
      if (i > 0 && r.First <= o->Pages[i - 1].Last) __builtin_trap();
    }
  } else if (error.empty()) {
    __builtin_trap();
  }
  if (auto t = plover::TNameTemplate::Parse(args.front(), error)) {
    for (int page : {1, 42, 2147483647}) {
      const std::string name = t->Expand(page, "doc", "PNG");
      if (name.find('/') != std::string::npos) __builtin_trap();
      if (auto back = t->PageOf(name, "doc", "PNG"); back && t->Expand(*back, "doc", "PNG") != name) __builtin_trap();
    }
  }
  for (unsigned char c : plover::Printable(bytes))
    if (c < 0x20 || c == 0x7F) __builtin_trap();
  for (unsigned char c : plover::JsonString(bytes))
    if (c < 0x20) __builtin_trap();
}

}  // namespace fuzzharness
