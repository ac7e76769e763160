#include "vendor_options.h"

#include <cstring>
#include <iterator>
#include <memory>
#include <vector>

namespace zova::app {
namespace {

constexpr VendorChoice kCommandSets[] = {{"lq-simulation", "LQ"}, {"native-commands", "Native"}};
constexpr VendorChoice kPrintAsChoices[] = {
    {"auto", "Auto"}, {"text", "Text"}, {"picture", "Picture"}, {"mixed", "Mixed"}};

struct IppDeleter {
  void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};

const VendorChoice* FindChoice(const VendorOption& option, const char* keyword) {
  if (keyword == nullptr) return nullptr;
  for (const VendorChoice& choice : option.choices) {
    if (strcmp(choice.keyword, keyword) == 0) return &choice;
  }
  return nullptr;
}

}  // namespace

const VendorOption kCommandSetOption = {"zova-command-set", "ZovaCommandSet", kCommandSets};
const VendorOption kPrintAsOption = {"zova-print-as", "ZovaPrintAs", kPrintAsChoices};

std::span<const VendorOption* const> VendorOptions() {
  static const VendorOption* const kAll[] = {&kCommandSetOption, &kPrintAsOption};
  return kAll;
}

void AddVendorAttributes(ipp_t* attrs) {
  for (const VendorOption* option : VendorOptions()) {
    const std::string name = option->name;
    std::vector<const char*> keywords;
    for (const VendorChoice& choice : option->choices) keywords.push_back(choice.keyword);
    ippAddStrings(attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD),
                  (name + "-supported").c_str(), static_cast<int>(keywords.size()), nullptr,
                  keywords.data());
    ippAddString(attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD),
                 (name + "-default").c_str(), nullptr, keywords.front());
  }
}

std::string VendorChoiceOf(pappl_job_t* job, const pappl_pr_options_t* options,
                           const VendorOption& option) {
  const char* value = cupsGetOption(option.name, options->num_vendor, options->vendor);
  if (const VendorChoice* choice = FindChoice(option, value)) return choice->ppdChoice;

  const std::unique_ptr<ipp_t, IppDeleter> attrs(
      papplPrinterGetDriverAttributes(papplJobGetPrinter(job)));
  const std::string default_name = std::string(option.name) + "-default";
  ipp_attribute_t* attr = ippFindAttribute(attrs.get(), default_name.c_str(), IPP_TAG_KEYWORD);
  if (const VendorChoice* choice =
          FindChoice(option, attr != nullptr ? ippGetString(attr, 0, nullptr) : nullptr)) {
    return choice->ppdChoice;
  }
  return option.choices.front().ppdChoice;
}

}  // namespace zova::app
