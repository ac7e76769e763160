#include "vendor_options.h"

#include <cstring>
#include <iterator>
#include <memory>
#include <vector>

#include "dotmatrix/page_plan.h"
#include "pipeline/print_as.h"
#include "pipeline/stream_choices.h"

namespace zova::app {
namespace {

// The IPP keywords are the application's; the PPD's choices and the labels
// are the filter's (string literals, so their data() ends in a NUL).
constexpr VendorChoice CommandSetEntry(const char* keyword, CommandSetId id) {
  for (const CommandSetChoice& choice : kCommandSetChoices) {
    if (choice.id == id) return {keyword, choice.name, choice.label.data()};
  }
  return {};
}
constexpr VendorChoice PrintAsEntry(const char* keyword, PrintAs value) {
  return {keyword, PrintAsName(value), PrintAsName(value).data()};
}

constexpr VendorChoice kCommandSets[] = {CommandSetEntry("lq-simulation", CommandSetId::kLq),
                                         CommandSetEntry("native-commands", CommandSetId::kNative)};
constexpr VendorChoice kPrintAsChoices[] = {
    PrintAsEntry("auto", PrintAs::kAuto), PrintAsEntry("text", PrintAs::kText),
    PrintAsEntry("picture", PrintAs::kPicture), PrintAsEntry("mixed", PrintAs::kMixed)};

template <typename Value, size_t N>
constexpr VendorChoice NamedEntry(const char* keyword, const NamedChoice<Value> (&choices)[N],
                                  Value value, const char* label) {
  for (const NamedChoice<Value>& choice : choices) {
    if (choice.value == value) return {keyword, choice.name, label};
  }
  return {};
}
constexpr VendorChoice kHeadTravels[] = {
    NamedEntry("full", kHeadTravelChoices, HeadTravel::kFull, "Whole line"),
    NamedEntry("inked", kHeadTravelChoices, HeadTravel::kInked, "Only where there is ink")};
constexpr VendorChoice kFormLengths[] = {
    NamedEntry("lines", kFormLengthChoices, FormLength::kLines, "Whole lines"),
    NamedEntry("exact", kFormLengthChoices, FormLength::kExact, "Exact")};

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

const VendorChoice* JobChoice(pappl_job_t* job, const pappl_pr_options_t* options,
                              const VendorOption& option) {
  const char* value = cupsGetOption(option.name, options->num_vendor, options->vendor);
  const VendorChoice* choice = FindChoice(option, value);
  if (value != nullptr && choice == nullptr) {
    std::string known;
    for (const VendorChoice& c : option.choices)
      known += std::string(known.empty() ? "" : ", ") + c.keyword;
    papplLogJob(job, PAPPL_LOGLEVEL_WARN,
                "%s \"%s\" is not one of %s: the printer's default applies.", option.name, value,
                known.c_str());
  }
  return choice;
}

const VendorChoice& DefaultChoice(pappl_job_t* job, const VendorOption& option) {
  const std::unique_ptr<ipp_t, IppDeleter> attrs(
      papplPrinterGetDriverAttributes(papplJobGetPrinter(job)));
  const std::string default_name = std::string(option.name) + "-default";
  ipp_attribute_t* attr = ippFindAttribute(attrs.get(), default_name.c_str(), IPP_TAG_KEYWORD);
  const VendorChoice* choice =
      FindChoice(option, attr != nullptr ? ippGetString(attr, 0, nullptr) : nullptr);
  return choice != nullptr ? *choice : option.choices.front();
}

// The standard attribute's values: graphics print as on a mixed page.
PrintAs PrintAsForContent(pappl_content_t content) {
  switch (content) {
    case PAPPL_CONTENT_TEXT:
      return PrintAs::kText;
    case PAPPL_CONTENT_PHOTO:
      return PrintAs::kPicture;
    case PAPPL_CONTENT_GRAPHIC:
    case PAPPL_CONTENT_TEXT_AND_GRAPHIC:
      return PrintAs::kMixed;
    default:
      return PrintAs::kAuto;
  }
}

}  // namespace

const VendorOption kCommandSetOption = {"zova-command-set", kCommandSetPpdOption, "Command set",
                                        kCommandSets};
const VendorOption kPrintAsOption = {"zova-print-as", kPrintAsPpdOption, "Print as",
                                     kPrintAsChoices};

const VendorOption kHeadTravelOption = {"zova-head-travel", kHeadTravelPpdOption, "Head travel",
                                        kHeadTravels};
const VendorOption kFormLengthOption = {"zova-form-length", kFormLengthPpdOption, "Form length",
                                        kFormLengths};

std::span<const VendorOption* const> VendorOptions() {
  static const VendorOption* const kAll[] = {&kCommandSetOption, &kPrintAsOption,
                                             &kHeadTravelOption, &kFormLengthOption};
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

const std::string& VendorLabels() {
  static const std::string labels = [] {
    std::string text;
    const auto line = [&](const std::string& key, const char* label) {
      text += "\"" + key + "\" = \"" + label + "\";\n";
    };
    for (const VendorOption* option : VendorOptions()) {
      line(option->name, option->label);
      for (const VendorChoice& choice : option->choices) {
        line(std::string(option->name) + "." + choice.keyword, choice.label);
      }
    }
    return text;
  }();
  return labels;
}

std::string VendorChoiceOf(pappl_job_t* job, const pappl_pr_options_t* options,
                           const VendorOption& option) {
  if (const VendorChoice* choice = JobChoice(job, options, option)) {
    return std::string(choice->ppdChoice);
  }
  return std::string(DefaultChoice(job, option).ppdChoice);
}

std::string PrintAsOf(pappl_job_t* job, const pappl_pr_options_t* options) {
  if (const VendorChoice* choice = JobChoice(job, options, kPrintAsOption)) {
    return std::string(choice->ppdChoice);
  }
  // A job's print-content-optimize "auto", which many clients send whatever
  // the document, leaves the choice to the printer.
  if (papplJobGetAttribute(job, "print-content-optimize") != nullptr &&
      options->print_content_optimize != PAPPL_CONTENT_AUTO) {
    return std::string(PrintAsName(PrintAsForContent(options->print_content_optimize)));
  }
  const VendorChoice& preset = DefaultChoice(job, kPrintAsOption);
  if (&preset != &kPrintAsOption.choices.front()) return std::string(preset.ppdChoice);
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(papplJobGetPrinter(job), &data);
  return std::string(PrintAsName(PrintAsForContent(data.content_default)));
}

}  // namespace zova::app
