// The directory zova-preview writes its pages into, made when it is missing.
#pragma once

#include <string>
#include <vector>

namespace zova::preview {

// Makes `path` and any missing parent, like mkdir -p. The directories it
// made are removed again, if still empty, unless Keep() was called: a run
// that fails leaves nothing behind.
class OutputDirectory {
 public:
  OutputDirectory() = default;
  OutputDirectory(const OutputDirectory&) = delete;
  OutputDirectory& operator=(const OutputDirectory&) = delete;
  ~OutputDirectory();

  // On failure returns false with the reason in `error`.
  [[nodiscard]] bool Create(const std::string& path, std::string* error);
  void Keep() { created_.clear(); }

 private:
  std::vector<std::string> created_;  // parents first
};

}  // namespace zova::preview
