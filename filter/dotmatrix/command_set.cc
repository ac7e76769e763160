#include "dotmatrix/command_set.h"

namespace zova {

// Each set is defined in its own file.
const CommandSet& LqCommands();
const CommandSet& NativeCommands();

const CommandSet& CommandSetFor(CommandSetId id) {
  switch (id) {
    case CommandSetId::kNative:
      return NativeCommands();
    case CommandSetId::kLq:
      break;
  }
  return LqCommands();
}

}  // namespace zova
