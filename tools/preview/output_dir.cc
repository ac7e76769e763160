#include "preview/output_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zova::preview {

bool OutputDirectory::Create(const std::string& path, std::string* error) {
  for (size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
    const std::string part = path.substr(0, end);
    if (mkdir(part.c_str(), 0777) == 0) {
      created_.push_back(part);
    } else {
      struct stat st;
      if (errno != EEXIST || stat(part.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        *error = strerror(errno == EEXIST ? ENOTDIR : errno);
        return false;
      }
    }
    if (end == std::string::npos) return true;
  }
}

OutputDirectory::~OutputDirectory() {
  for (auto it = created_.rbegin(); it != created_.rend(); ++it) rmdir(it->c_str());
}

}  // namespace zova::preview
