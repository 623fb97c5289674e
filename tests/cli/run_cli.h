#pragma once
// Runs plover-cli through the shell and collects what it printed.
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "support/temp_dir.h"

namespace plovertest {

struct RunResult {
  int Exit = -1;
  std::string Out;  // stdout and stderr together
  std::string Err;  // stderr alone
};

// `args` is shell text (quote names yourself); stdout is read from the pipe.
inline RunResult RunCli(const std::string& args) {
  RunResult r;
  testsupport::TempDir errDir;
  const std::string errFile = errDir.Path() + "/stderr";
  std::string cmd = std::string(PLOVER_CLI_PATH) + " " + args + " 2>" + errFile;
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return r;
  std::array<char, 4096> buf;
  std::size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.Out.append(buf.data(), n);
  int status = ::pclose(p);
  r.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream in(errFile);
  r.Err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  r.Out += r.Err;
  return r;
}

}  // namespace plovertest
