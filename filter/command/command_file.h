// CUPS command files (application/vnd.cups-command): the maintenance
// commands CUPS's printer menus send, one a line after "#CUPS-COMMAND".
#pragma once

#include <string>
#include <vector>

#include "messages/messages.h"

namespace zova {

struct CommandFile {
  bool valid = false;     // the first line is "#CUPS-COMMAND"
  int selfTestPages = 0;  // PrintSelfTestPage lines
  // The other commands' names, as given, up to kMaxReported of them.
  std::vector<std::string> unsupported;
  long moreUnsupported = 0;  // beyond those
};

inline constexpr size_t kMaxReported = 10;

// Reads the command file from the descriptor to its end. Command names are
// case-insensitive; "#" lines are comments.
CommandFile ReadCommandFile(int fd, Messages& messages);

}  // namespace zova
