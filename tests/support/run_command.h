#pragma once
// Running a shell command and taking what it prints; shared by the tests and
// the benchmarks.
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace testsupport {

// Runs a command through the shell; returns its exit status and, when out is
// given, what it printed on standard output.
inline int Run(const std::string& command, std::string* out = nullptr) {
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return -1;
  std::string text;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) text.append(buf, n);
  const int status = ::pclose(pipe);
  if (out) *out = std::move(text);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace testsupport
