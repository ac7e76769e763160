#include "cups/stderr_messages.h"

#include <cstdio>
#include <string>

namespace zova {

StderrMessages::StderrMessages() { setbuf(stderr, nullptr); }

void StderrMessages::Write(MessageLevel level, std::string_view text) {
  const char* prefix = "";
  switch (level) {
    case MessageLevel::kError:
      prefix = "ERROR: ";
      break;
    case MessageLevel::kWarning:
      prefix = "WARNING: ";
      break;
    case MessageLevel::kInfo:
      prefix = "INFO: ";
      break;
    case MessageLevel::kProgress:
      prefix = "DEBUG:";
      break;
    case MessageLevel::kDebug:
      prefix = "DEBUG: ";
      break;
  }
  // One write per line, so that a tool writing beside us cannot split it.
  std::string line = prefix;
  line.append(text);
  line += '\n';
  fwrite(line.data(), 1, line.size(), stderr);
}

void StderrMessages::PagePrinted(int count) { fprintf(stderr, "PAGE: %d 1\n", count); }

}  // namespace zova
