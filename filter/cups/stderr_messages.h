// The CUPS filter's messages: lines on standard error with the prefixes
// the scheduler reads ("ERROR: ", "WARNING: ", "DEBUG: ", "PAGE: "). The
// only place in the filter that writes to standard error.
#pragma once

#include "messages/messages.h"

namespace zova {

class StderrMessages final : public Messages {
 public:
  // Makes standard error unbuffered: a line is out before the next step.
  StderrMessages();
  void Write(MessageLevel level, std::string_view text) override;
  void PagePrinted(int count) override;
};

}  // namespace zova
