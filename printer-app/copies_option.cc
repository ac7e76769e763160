#include "copies_option.h"

#include <cstring>
#include <string>
#include <vector>

namespace zova::app {

void PassCopiesOption(int argc, char* argv[]) {
  if (argc < 2 || strcmp(argv[1], "submit") != 0) return;
  // Lives as long as argv.
  static std::vector<std::string> values;
  values.reserve(static_cast<size_t>(argc));
  static char option[] = "-o";
  for (int i = 2; i + 1 < argc; ++i) {
    if (strcmp(argv[i], "--") == 0) return;
    if (strcmp(argv[i], "-n") != 0) continue;
    values.push_back(std::string("copies=") + argv[i + 1]);
    argv[i] = option;
    argv[++i] = values.back().data();
  }
}

}  // namespace zova::app
