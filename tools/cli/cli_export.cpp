#include <cstdio>

#include "tools/cli/commands.h"

int RunExport(const std::vector<std::string>&) {
  std::fputs("velmora-cli export: not available yet\n", stderr);
  return 1;
}
