// PAPPL 1.3.1's faults that printer-app/pappl_fixes/ mends when the server
// starts, seen from outside.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/private_app.h"
#include "support/temp_dir.h"

namespace zova::testing {
namespace {

class PapplFixesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    app_ = PrivateApp::StartWithTestDevices(devices_.path(), &error);
    ASSERT_TRUE(app_) << error;
  }

  TempDir devices_;
  std::unique_ptr<PrivateApp> app_;
};

TEST_F(PapplFixesTest, OwnSchemeLeavesPapplsSchemes) {
  std::string error;
  // socket: is one of PAPPL's own schemes, which it leaves out when ours
  // comes first (file: it knows without them). Adding a printer connects to
  // nothing.
  EXPECT_TRUE(app_->AddPrinter("to-socket", "zova-qrt", &error, "socket://127.0.0.1:9")) << error;
}

TEST_F(PapplFixesTest, PrinterAttributesDoNotGrow) {
  std::string error;
  ASSERT_TRUE(app_->AddPrinter("labels", "zova-qrt", &error)) << error;
  const auto values = [&] {
    size_t count = 0;
    for (const auto& [name, list] : app_->PrinterAttributes("labels")) count += list.size();
    return count;
  };
  const size_t first = values();
  ASSERT_GT(first, 0u);
  values();
  EXPECT_EQ(values(), first);
}

}  // namespace
}  // namespace zova::testing
