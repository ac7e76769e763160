// The printer models the driver knows, one row each. A PPD names its model in
// its NickName; the printer application offers each row as a driver.
#pragma once

#include <string_view>

namespace zova {

struct PrinterModel {
  std::string_view driverName;  // the printer application's driver
  std::string_view name;        // the model as the PPD's NickName and the user see it
  // A PPD is of this model when its NickName contains this; empty for the
  // model every other NickName means.
  std::string_view nicknameMark;
  // The printer runs its OKIDATA emulation and enters the LQ set by ESC { A.
  bool okidataPrefix;
};

inline constexpr PrinterModel kPrinterModels[] = {
    {"zova-qrt", "ZOVA-QRT", "", false},
    {"zova-qrt-okidata", "ZOVA-QRT OKIDATA", "OKIDATA", true},
};

// The model a PPD NickName (may be null) describes.
const PrinterModel& ModelFromNickname(const char* nickname);

// The model offered as this driver, or null.
const PrinterModel* ModelFromDriverName(std::string_view driver_name);

}  // namespace zova
