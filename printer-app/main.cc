// zova-printer-app: the ZOVA-QRT driver as an IPP Everywhere printer
// application. papplMainloop gives it its sub-commands (server, add,
// submit, ...); see app_system.h for the server's options.
#include <pappl/pappl.h>

#include "app_system.h"
#include "drivers.h"

namespace {

// PAPPL's web pages crash on a null footer.
constexpr const char* kFooterHtml = "ZOVA-QRT printer application";

}  // namespace

int main(int argc, char* argv[]) {
  using namespace zova::app;
  const std::span<pappl_pr_driver_t> drivers = Drivers();
  return papplMainloop(argc, argv, ZOVA_APP_VERSION, kFooterHtml, static_cast<int>(drivers.size()),
                       drivers.data(), nullptr, DriverCallback, nullptr, nullptr, CreateSystem,
                       nullptr, nullptr);
}
