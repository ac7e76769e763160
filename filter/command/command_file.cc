#include "command/command_file.h"

#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zova {
namespace {

// Longer lines are cut: no command of the format is anywhere near it, and
// a hostile file cannot make one line take the memory.
constexpr size_t kMaxLine = 256;

void TakeLine(std::string line, bool first, CommandFile& file) {
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
    line.pop_back();
  }
  if (first) {
    file.valid = line == "#CUPS-COMMAND";
    return;
  }
  if (!file.valid) return;
  const size_t start = line.find_first_not_of(" \t");
  if (start == std::string::npos || line[start] == '#') return;
  const std::string name = line.substr(start, line.find_first_of(" \t", start) - start);
  if (strcasecmp(name.c_str(), "PrintSelfTestPage") == 0) {
    ++file.selfTestPages;
  } else if (file.unsupported.size() < kMaxReported) {
    file.unsupported.push_back(name);
  } else {
    ++file.moreUnsupported;
  }
}

}  // namespace

CommandFile ReadCommandFile(int fd, Messages& messages) {
  CommandFile file;
  std::string line;
  bool first = true;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      messages.Error("Unable to read the command file: %s", strerror(errno));
      file.valid = false;
      return file;
    }
    if (n == 0) break;
    for (ssize_t i = 0; i < n; ++i) {
      if (buffer[i] == '\n') {
        TakeLine(std::move(line), first, file);
        line.clear();
        first = false;
      } else if (line.size() < kMaxLine) {
        line += buffer[i];
      }
    }
  }
  if (!line.empty() || first) TakeLine(std::move(line), first, file);
  return file;
}

}  // namespace zova
