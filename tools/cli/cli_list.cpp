#include <cstdio>

#include "tools/cli/commands.h"

int RunList(const std::vector<std::string>&) {
  std::fputs("velmora-cli list: not available yet\n", stderr);
  return 1;
}
