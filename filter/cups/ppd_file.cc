#include "cups/ppd_file.h"

#include <cups/cups.h>

#include <cstring>
#include <string>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace zova {

void PpdCloser::operator()(ppd_file_t* ppd) const { ppdClose(ppd); }

PpdPtr LoadPpd(const char* path, Messages& messages) {
  PpdPtr ppd(ppdOpenFile(path));
  if (!ppd) {
    // libcups keeps its message catalogue behind a private call; the line
    // is written here in English.
    messages.Error("The PPD file could not be opened.");
    int line = 0;
    const ppd_status_t status = ppdLastError(&line);
    messages.Debug("%s on line %d.", ppdErrorString(status), line);
  }
  return ppd;
}

const PrinterModel& PpdModel(const ppd_file_t* ppd) { return ModelFromNickname(ppd->nickname); }

std::string JobOptionValue(ppd_file_t* ppd, const char* job_options, std::string_view name) {
  cups_option_t* options = nullptr;
  const int count = cupsParseOptions(job_options, 0, &options);
  const std::string option(name);
  std::string value;
  if (const char* given = cupsGetOption(option.c_str(), count, options)) value = given;
  // The job's choices over the queue's defaults, the way libcups marks them.
  ppdMarkDefaults(ppd);
  cupsMarkOptions(ppd, count, options);
  cupsFreeOptions(count, options);
  if (value.empty()) {
    if (const ppd_choice_t* marked = ppdFindMarkedChoice(ppd, option.c_str())) {
      value = marked->choice;
    }
  }
  return value;
}

std::string QueueDefault(ppd_file_t* ppd, std::string_view name) {
  const std::string option(name);
  const ppd_option_t* found = ppdFindOption(ppd, option.c_str());
  return found != nullptr ? found->defchoice : "";
}

std::string JobChoice(ppd_file_t* ppd, const char* job_options, std::string_view name) {
  JobOptionValue(ppd, job_options, name);
  const ppd_choice_t* marked = ppdFindMarkedChoice(ppd, std::string(name).c_str());
  return marked != nullptr ? marked->choice : "";
}

namespace {

// An option whose choices carry PostScript code is applied by the PPD's
// marking, in the raster header; the others are read by the filters.
bool AppliedByCode(const ppd_option_t& option) {
  for (int i = 0; i < option.num_choices; ++i) {
    if (option.choices[i].code != nullptr && option.choices[i].code[0] != '\0') return true;
  }
  return false;
}

// "LQ or Native"; a custom choice as the form its values take.
std::string ChoiceList(const ppd_option_t& option) {
  std::string list;
  for (int i = 0; i < option.num_choices; ++i) {
    if (i > 0) list += i + 1 == option.num_choices ? " or " : ", ";
    const char* choice = option.choices[i].choice;
    list += strcmp(choice, "Custom") == 0 ? "Custom.WIDTHxLENGTH" : choice;
  }
  return list;
}

}  // namespace

void WarnUnknownChoices(ppd_file_t* ppd, const char* job_options, Messages& messages) {
  cups_option_t* options = nullptr;
  const int count = cupsParseOptions(job_options, 0, &options);
  ppdMarkDefaults(ppd);
  cupsMarkOptions(ppd, count, options);
  for (int i = 0; i < count; ++i) {
    ppd_option_t* option = ppdFindOption(ppd, options[i].name);
    if (option == nullptr || !AppliedByCode(*option)) continue;
    // libcups's own test: case aside, a choice's name, or Custom.VALUE
    // where the option has a custom choice.
    if (ppdFindChoice(option, options[i].value) != nullptr) continue;
    const ppd_choice_t* marked = ppdFindMarkedChoice(ppd, option->keyword);
    messages.Warning("Unknown %s value \"%s\" (%s); printing with %s", option->keyword,
                     options[i].value, ChoiceList(*option).c_str(),
                     marked != nullptr ? marked->choice : "the queue's default");
  }
  cupsFreeOptions(count, options);
}

namespace {

// A job's bad offset keeps the queue's calibrated one: the paper sits where
// the queue was set up for, whatever the job mistyped.
int ReadOffset(ppd_file_t* ppd, const char* job_options, std::string_view option,
               Messages& messages) {
  const std::string value = JobOptionValue(ppd, job_options, option);
  if (value.empty()) return 0;
  if (const std::optional<int> offset = ParseOffsetMm(value)) return *offset;
  const std::string fallback = QueueDefault(ppd, option);
  if (fallback != value) {
    if (const std::optional<int> offset = ParseOffsetMm(fallback)) {
      messages.Warning(
          "Unknown %.*s value \"%s\" (millimetres from -10 to 10); printing with the queue's "
          "default, %s mm",
          static_cast<int>(option.size()), option.data(), value.c_str(), fallback.c_str());
      return *offset;
    }
  }
  messages.Warning("Unknown %.*s value \"%s\" (millimetres from -10 to 10); printing with 0",
                   static_cast<int>(option.size()), option.data(), value.c_str());
  return 0;
}

}  // namespace

PrintAs ReadPrintAs(ppd_file_t* ppd, const char* job_options, Messages& messages) {
  const std::string value = JobOptionValue(ppd, job_options, kPrintAsPpdOption);
  if (value.empty()) return PrintAs::kAuto;
  if (const std::optional<PrintAs> print_as = ParsePrintAs(value)) return *print_as;
  messages.Warning("Unknown %.*s value \"%s\"; printing as Auto",
                   static_cast<int>(kPrintAsPpdOption.size()), kPrintAsPpdOption.data(),
                   value.c_str());
  return PrintAs::kAuto;
}

namespace {

template <typename Value, size_t N>
Value ReadChoice(ppd_file_t* ppd, const char* job_options, std::string_view option,
                 const NamedChoice<Value> (&choices)[N], Messages& messages) {
  const std::string value = JobOptionValue(ppd, job_options, option);
  if (value.empty()) return choices[0].value;
  if (const std::optional<Value> parsed = ParseChoice(choices, value)) return *parsed;
  messages.Warning("Unknown %.*s value \"%s\"; printing with %.*s", static_cast<int>(option.size()),
                   option.data(), value.c_str(), static_cast<int>(choices[0].name.size()),
                   choices[0].name.data());
  return choices[0].value;
}

}  // namespace

StreamChoices ReadStreamChoices(ppd_file_t* ppd, const char* job_options, Messages& messages) {
  return {ReadChoice(ppd, job_options, kHeadTravelPpdOption, kHeadTravelChoices, messages),
          ReadChoice(ppd, job_options, kFormLengthPpdOption, kFormLengthChoices, messages)};
}

PageOffsets ReadOffsets(ppd_file_t* ppd, const char* job_options, Messages& messages) {
  return {ReadOffset(ppd, job_options, kTopOffsetOption, messages),
          ReadOffset(ppd, job_options, kLeftOffsetOption, messages)};
}

PpdIdentity CheckPpdIdentity(const ppd_file_t* ppd) {
  const char* product = ppd->product;
  if (product == nullptr || strlen(product) != 10 || strncmp(product + 1, "ZOVA-QRT", 8) != 0) {
    return PpdIdentity::kWrongProduct;
  }
  if (ppd->manufacturer == nullptr || strcmp(ppd->manufacturer, "ZOVA") != 0) {
    return PpdIdentity::kWrongManufacturer;
  }
  return PpdIdentity::kZova;
}

}  // namespace zova

#pragma GCC diagnostic pop
