#include "dotmatrix/printer_models.h"

namespace zova {

const PrinterModel& ModelFromNickname(const char* nickname) {
  const std::string_view text = nickname != nullptr ? nickname : "";
  for (const PrinterModel& model : kPrinterModels) {
    if (!model.nicknameMark.empty() && text.find(model.nicknameMark) != std::string_view::npos) {
      return model;
    }
  }
  return kPrinterModels[0];
}

const PrinterModel* ModelFromDriverName(std::string_view driver_name) {
  for (const PrinterModel& model : kPrinterModels) {
    if (model.driverName == driver_name) return &model;
  }
  return nullptr;
}

}  // namespace zova
