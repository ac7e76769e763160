#include "device_id.h"

#include <algorithm>
#include <cctype>

namespace zova::app {
namespace {

std::string Trimmed(std::string_view text) {
  while (!text.empty() && isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return std::string(text);
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  return text;
}

// The values of the first key present, upper-cased for comparison.
std::vector<std::string> Field(const std::map<std::string, std::vector<std::string>>& fields,
                               std::initializer_list<const char*> keys) {
  for (const char* key : keys) {
    if (auto found = fields.find(key); found != fields.end()) {
      std::vector<std::string> values;
      for (const std::string& v : found->second) values.push_back(Upper(v));
      return values;
    }
  }
  return {};
}

}  // namespace

std::map<std::string, std::vector<std::string>> ParseDeviceId(std::string_view id) {
  std::map<std::string, std::vector<std::string>> fields;
  while (!id.empty()) {
    const size_t end = std::min(id.find(';'), id.size());
    const std::string_view field = id.substr(0, end);
    id.remove_prefix(std::min(end + 1, id.size()));
    const size_t colon = field.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string key = Upper(Trimmed(field.substr(0, colon)));
    if (key.empty() || fields.contains(key)) continue;
    std::vector<std::string>& values = fields[key];
    std::string_view value = field.substr(colon + 1);
    while (true) {
      const size_t comma = value.find(',');
      if (std::string v = Trimmed(value.substr(0, comma)); !v.empty()) values.push_back(v);
      if (comma == std::string_view::npos) break;
      value.remove_prefix(comma + 1);
    }
  }
  return fields;
}

const char* DriverForDeviceId(const char* device_id) {
  if (device_id == nullptr) return nullptr;
  const auto fields = ParseDeviceId(device_id);
  const auto maker = Field(fields, {"MFG", "MANUFACTURER"});
  const auto model = Field(fields, {"MDL", "MODEL"});
  // Some printers put the maker in front of the model as well.
  const auto ours = [](const std::string& m) {
    return m.rfind("ZOVA-QRT", 0) == 0 || m.rfind("ZOVA QRT", 0) == 0 || m.rfind("QRT", 0) == 0;
  };
  if (std::find(maker.begin(), maker.end(), "ZOVA") == maker.end() ||
      std::none_of(model.begin(), model.end(), ours)) {
    return nullptr;
  }
  // The OKIDATA emulation names its command set; "OKI..." covers how OKI's
  // own printers spell it (OKI, OKIDATA, OKIPOS, OKI-MICROLINE).
  const auto commands = Field(fields, {"CMD", "COMMAND SET"});
  const bool okidata = std::any_of(commands.begin(), commands.end(),
                                   [](const std::string& c) { return c.rfind("OKI", 0) == 0; });
  return okidata ? "zova-qrt-okidata" : "zova-qrt";
}

const char* AssumedDeviceId(std::string_view driver_name) {
  if (driver_name == "zova-qrt") return "MFG:ZOVA;MDL:ZOVA-QRT;CMD:ESCP,ZOVA;CLS:PRINTER;";
  if (driver_name == "zova-qrt-okidata")
    return "MFG:ZOVA;MDL:ZOVA-QRT;CMD:OKIDATA,ZOVA;CLS:PRINTER;";
  return nullptr;
}

const char* AutoAddDriver(const char* /*printer_name*/, const char* /*device_uri*/,
                          const char* device_id, void* /*data*/) {
  return DriverForDeviceId(device_id);
}

}  // namespace zova::app
