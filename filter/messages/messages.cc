#include "messages/messages.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace zova {
namespace {

void Format(Messages& messages, MessageLevel level, const char* format, va_list args) {
  va_list again;
  va_copy(again, args);
  char small[256];
  const int length = vsnprintf(small, sizeof small, format, args);
  if (length < 0) {
    va_end(again);
    return;
  }
  if (static_cast<size_t>(length) < sizeof small) {
    messages.Write(level, std::string_view(small, static_cast<size_t>(length)));
  } else {
    // Paths make a line as long as they are.
    std::string line(static_cast<size_t>(length) + 1, '\0');
    vsnprintf(line.data(), line.size(), format, again);
    line.pop_back();
    messages.Write(level, line);
  }
  va_end(again);
}

}  // namespace

#define ZOVA_MESSAGE_LEVEL(Name, level)          \
  void Messages::Name(const char* format, ...) { \
    va_list args;                                \
    va_start(args, format);                      \
    Format(*this, level, format, args);          \
    va_end(args);                                \
  }

ZOVA_MESSAGE_LEVEL(Error, MessageLevel::kError)
ZOVA_MESSAGE_LEVEL(Warning, MessageLevel::kWarning)
ZOVA_MESSAGE_LEVEL(Info, MessageLevel::kInfo)
ZOVA_MESSAGE_LEVEL(Progress, MessageLevel::kProgress)
ZOVA_MESSAGE_LEVEL(Debug, MessageLevel::kDebug)

#undef ZOVA_MESSAGE_LEVEL

}  // namespace zova
