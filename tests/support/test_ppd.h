// PPD files for the filter's identity check, written into a test directory.
#pragma once

#include <string>

namespace zova::testing {

struct PpdIdentityFields {
  // nullptr leaves the line out of the PPD.
  const char* manufacturer = "ZOVA";
  const char* product = "(ZOVA-QRT)";
  const char* nickname = "ZOVA QRT";
  // The queue's default for ZovaPrintAs; nullptr leaves the option out.
  const char* printAsDefault = nullptr;
};

// Writes a minimal PPD with these identity lines; returns its path.
std::string WriteTestPpd(const std::string& dir, const std::string& name,
                         const PpdIdentityFields& fields = {});

}  // namespace zova::testing
