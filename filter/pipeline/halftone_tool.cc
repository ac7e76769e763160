#include "pipeline/halftone_tool.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "pipeline/child_process.h"

namespace zova {
namespace {

// A line the tool wrote in the filter's message form, as a message.
void PassOn(Messages& messages, std::string_view line) {
  static constexpr struct {
    std::string_view prefix;
    MessageLevel level;
  } kPrefixes[] = {{"ERROR: ", MessageLevel::kError},
                   {"WARNING: ", MessageLevel::kWarning},
                   {"INFO: ", MessageLevel::kInfo},
                   {"DEBUG: ", MessageLevel::kDebug}};
  for (const auto& p : kPrefixes) {
    if (line.substr(0, p.prefix.size()) == p.prefix) {
      messages.Write(p.level, line.substr(p.prefix.size()));
      return;
    }
  }
  messages.Write(MessageLevel::kDebug, line);
}

}  // namespace

ToolResult RunHalftoneTool(const HalftoneTool& tool, const std::string& base,
                           const PictureSource& picture, const CancelToken& cancel,
                           Messages& messages) {
  // The tool shares stdout with the printer data: send ours first.
  if (tool.stdoutFd == 1) fflush(stdout);
  ChildOptions options;
  options.argv = {tool.program, base, std::to_string(picture.dpi.x),
                  std::to_string(static_cast<int>(picture.screen))};
  if (picture.rowPitch != 0) options.argv.push_back(std::to_string(picture.rowPitch));
  options.stdoutFd = tool.stdoutFd;
  if (!tool.sharesStderr) {
    options.stderrFd = -1;
    options.errorLine = [&messages](std::string_view line) { PassOn(messages, line); };
  }
  ChildProcess child;
  if (const int err = child.Start(options); err != 0) {
    messages.Error("Unable to run %s: %s", tool.program.c_str(), strerror(err));
    return {};
  }
  const ChildStatus status = child.Wait(cancel);
  if (status.succeeded()) return {ToolResult::kSucceeded, 0};
  if (status.kind == ChildStatus::kSignaled) {
    messages.Debug("%s was killed by signal %d", tool.program.c_str(), status.code);
    return {ToolResult::kKilled, status.code};
  }
  messages.Debug("%s exited with status %d", tool.program.c_str(), status.code);
  return {ToolResult::kFailed, status.code};
}

Halftoner ToolHalftoner(HalftoneTool tool, const CancelToken& cancel, Messages& messages) {
  return [tool = std::move(tool), &cancel, &messages](const std::string& base,
                                                      const PictureSource& picture) {
    return RunHalftoneTool(tool, base, picture, cancel, messages);
  };
}

}  // namespace zova
