// The guard round PAPPL's callbacks, and a child whose end cannot be waited
// for.
#include "callback_guard.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <functional>
#include <stdexcept>
#include <string>

#include "pipeline/child_process.h"

namespace zova::app {
namespace {

struct NotStd {};

TEST(CallbackGuardTest, EveryThrowGivesTheFailureWithACopiedMessage) {
  const struct {
    const char* name;
    std::function<void()> thrower;
    std::string expected;
  } kCases[] = {
      {"runtime_error", [] { throw std::runtime_error(std::string(40, 'x') + " went"); },
       std::string(40, 'x') + " went"},
      {"bad_alloc", [] { throw std::bad_alloc(); }, "Out of memory."},
      {"int", [] { throw 7; }, "Unknown error."},
      {"not std", [] { throw NotStd{}; }, "Unknown error."},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    std::string reported;
    const int result = GuardWith(
        -1,
        [&] {
          c.thrower();
          return 1;
        },
        [&](const std::string& why) { reported = why; });
    EXPECT_EQ(result, -1);
    // Read after the exception is gone: a copy, not its what().
    EXPECT_EQ(reported, c.expected);
  }
  EXPECT_EQ(GuardWith(
                -1, [] { return 5; }, [](const std::string&) { FAIL(); }),
            5);
  EXPECT_FALSE(Guarded(nullptr, [] {
    throw std::logic_error("no job");
    return true;
  }));
}

TEST(ChildProcessWaitTest, AChildReapedElsewhereIsAFailure) {
  ChildProcess child;
  ChildOptions options;
  options.argv = {"true"};
  ASSERT_EQ(child.Start(options), 0);
  int status = 0;
  ASSERT_EQ(waitpid(child.pid(), &status, 0), child.pid());
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  const ChildStatus lost = child.Wait();
  EXPECT_FALSE(lost.succeeded());
  EXPECT_EQ(lost.kind, ChildStatus::kLost);
  EXPECT_EQ(lost.code, ECHILD);
}

}  // namespace
}  // namespace zova::app
