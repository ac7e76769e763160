#include "support/filter_test.h"

#include <fstream>

namespace zova::testing {

std::vector<std::string> FilterJobTest::ToolCalls() const {
  std::vector<std::string> calls;
  std::ifstream log(tool_log);
  for (std::string line; std::getline(log, line);) calls.push_back(line);
  return calls;
}

testpage::PageDescription SmallPage(const std::string& type, unsigned r0, unsigned r1,
                                    unsigned width, unsigned height, testpage::RowFill fill) {
  testpage::PageDescription page;
  page.outputType = type;
  page.hwResolution[0] = r0;
  page.hwResolution[1] = r1;
  page.width = width;
  page.height = height;
  page.fill = std::move(fill);
  return page;
}

}  // namespace zova::testing
