#include "vendor_options.h"

#include <cstring>
#include <memory>
#include <vector>

namespace zova::app {
namespace {

constexpr VendorChoice kCommandSets[] = {
    {"lq", "LQ Simulation"},
    {"native", "Native Command Set"},
};

struct IppDeleter {
  void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};

bool IsChoice(const VendorOption& option, const char* value) {
  for (const VendorChoice& c : option.choices) {
    if (strcmp(c.keyword, value) == 0) return true;
  }
  return false;
}

}  // namespace

const VendorOption kCommandSetOption = {"zova-command-set", "Command Set", kCommandSets};

std::span<const VendorOption* const> VendorOptions() {
  static const VendorOption* const kAll[] = {&kCommandSetOption};
  return kAll;
}

void AddVendorAttributes(ipp_t* attrs) {
  for (const VendorOption* option : VendorOptions()) {
    std::vector<const char*> keywords;
    for (const VendorChoice& c : option->choices) keywords.push_back(c.keyword);
    const std::string name = option->name;
    ippAddStrings(attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD),
                  (name + "-supported").c_str(), static_cast<int>(keywords.size()), nullptr,
                  keywords.data());
    ippAddString(attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD),
                 (name + "-default").c_str(), nullptr, keywords.front());
  }
}

const std::string& VendorStrings() {
  static const std::string strings = [] {
    std::string text;
    for (const VendorOption* option : VendorOptions()) {
      text += "\"" + std::string(option->name) + "\" = \"" + option->label + "\";\n";
      for (const VendorChoice& c : option->choices) {
        text += "\"" + std::string(option->name) + "." + c.keyword + "\" = \"" + c.label + "\";\n";
      }
    }
    return text;
  }();
  return strings;
}

std::string VendorValue(pappl_job_t* job, const pappl_pr_options_t* options,
                        const VendorOption& option) {
  const char* value = cupsGetOption(option.name, options->num_vendor, options->vendor);
  if (value != nullptr && IsChoice(option, value)) return value;

  const std::unique_ptr<ipp_t, IppDeleter> attrs(
      papplPrinterGetDriverAttributes(papplJobGetPrinter(job)));
  const std::string default_name = std::string(option.name) + "-default";
  ipp_attribute_t* attr = ippFindAttribute(attrs.get(), default_name.c_str(), IPP_TAG_KEYWORD);
  const char* printer_default = attr != nullptr ? ippGetString(attr, 0, nullptr) : nullptr;
  if (printer_default != nullptr && IsChoice(option, printer_default)) return printer_default;
  return option.choices.front().keyword;
}

}  // namespace zova::app
