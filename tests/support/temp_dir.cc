#include "support/temp_dir.h"

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>

namespace zova::testing {

TempDir::TempDir() {
  char pattern[] = "/tmp/zova-test-XXXXXX";
  if (mkdtemp(pattern) == nullptr) abort();
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace zova::testing
