#pragma once
// Runs the built qmtool as a user would and collects what it printed.
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "testing/temp_dir.h"

namespace qm::testing {

struct ToolRun {
  int status;  // exit status, -1 when it did not exit normally
  std::string out, err;
};

// args are passed through the shell; dir holds the captured stderr.
inline ToolRun Qmtool(const std::string& args, const TempDir& dir) {
  const std::string err_file = dir.File(".qmtool-stderr");
  const std::string command = std::string(QM_BIN_DIR) + "/qmtool " + args + " 2>" + err_file;
  ToolRun run{};
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return {-1, "", "popen failed"};
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  const int status = ::pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  const auto err = ReadBytes(err_file);
  run.err.assign(err.begin(), err.end());
  return run;
}

}  // namespace qm::testing
