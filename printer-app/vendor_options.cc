#include "vendor_options.h"

#include <cstring>
#include <iterator>
#include <memory>

namespace zova::app {
namespace {

constexpr const char* kCommandSets[] = {"lq-simulation", "native-commands"};
// ZovaPrintAs's choices, in the filter's order, as IPP keywords.
constexpr const char* kPrintAsKeywords[] = {"auto", "text", "picture", "mixed"};
static_assert(std::size(kPrintAsKeywords) == std::size(kPrintAsChoices));

struct IppDeleter {
  void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};

bool IsChoice(const VendorOption& option, const char* value) {
  for (const char* choice : option.choices) {
    if (strcmp(choice, value) == 0) return true;
  }
  return false;
}

}  // namespace

const VendorOption kCommandSetOption = {"zova-command-set", kCommandSets};
const VendorOption kPrintAsOption = {"zova-print-as", kPrintAsKeywords};

PrintAs PrintAsFromKeyword(const std::string& keyword) {
  for (size_t i = 0; i < std::size(kPrintAsKeywords); ++i) {
    if (keyword == kPrintAsKeywords[i]) return kPrintAsChoices[i].value;
  }
  return PrintAs::kAuto;
}

std::span<const VendorOption* const> VendorOptions() {
  static const VendorOption* const kAll[] = {&kCommandSetOption, &kPrintAsOption};
  return kAll;
}

void AddVendorAttributes(ipp_t* attrs) {
  for (const VendorOption* option : VendorOptions()) {
    const std::string name = option->name;
    ippAddStrings(attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD),
                  (name + "-supported").c_str(), static_cast<int>(option->choices.size()), nullptr,
                  option->choices.data());
    ippAddString(attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD),
                 (name + "-default").c_str(), nullptr, option->choices.front());
  }
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
  return option.choices.front();
}

}  // namespace zova::app
