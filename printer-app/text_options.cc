#include "text_options.h"

#include <cstring>
#include <iterator>
#include <memory>
#include <optional>
#include <vector>

namespace zova::app {
namespace {

enum class Syntax { kIntegers, kRange, kBoolean, kKeywords, kText };

struct TextAttribute {
  const char* name;         // the IPP attribute
  std::string_view option;  // the filter's option of the same meaning
  const char* label;
  Syntax syntax;
  std::vector<const char*> values;  // integers or keywords as text; the first is the default
};

// The keywords are the filter's choices in lower case, which it takes
// whatever their case. Text drawn as a picture is not offered: the
// application has no step that renders text (CUPS's texttopdf is not in its
// chain).
const std::vector<TextAttribute>& Attributes() {
  static const std::vector<TextAttribute> kAll = {
      {"cpi",
       text::kCpiOption,
       "Text: characters per inch",
       Syntax::kIntegers,
       {"10", "12", "15", "17", "20"}},
      {"lpi", text::kLpiOption, "Text: lines per inch", Syntax::kIntegers, {"6", "8"}},
      {"wrap", text::kWrapOption, "Text: wrap long lines", Syntax::kBoolean, {"true"}},
      {"page-left", text::kPageLeftOption, "Text: left margin (points)", Syntax::kRange, {"18"}},
      {"page-right", text::kPageRightOption, "Text: right margin (points)", Syntax::kRange, {"18"}},
      {"page-top", text::kPageTopOption, "Text: top margin (points)", Syntax::kRange, {"36"}},
      {"page-bottom",
       text::kPageBottomOption,
       "Text: bottom margin (points)",
       Syntax::kRange,
       {"36"}},
      {"zova-text-quality",
       text::kQualityOption,
       "Text: quality",
       Syntax::kKeywords,
       {"draft", "lq"}},
      {"zova-character-table",
       text::kTableOption,
       "Text: character table",
       Syntax::kKeywords,
       {"pc437", "pc850", "pc858", "pc852", "pc866", "iso8859-1", "iso8859-15"}},
      {"zova-text-as", text::kTextAsOption, "Text: print as", Syntax::kKeywords, {"text"}},
      {"zova-document-text",
       text::kDocumentTextOption,
       "PDF and PostScript text",
       Syntax::kKeywords,
       {"graphics", "fonts"}},
      // No charset-supported: that name is IPP's own, the server's request charsets.
      {"charset", text::kCharsetOption, "Text: character set", Syntax::kText, {"utf-8"}},
  };
  return kAll;
}

// The largest margin the filter takes: the longest form, 22 inches.
constexpr int kMaxMarginPoints = 1584;

const TextAttribute* ByOption(std::string_view option) {
  for (const TextAttribute& a : Attributes()) {
    if (a.option == option) return &a;
  }
  return nullptr;
}

struct IppDeleter {
  void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};

}  // namespace

std::span<const char* const> TextOptionNames() {
  static const std::vector<const char*> names = [] {
    std::vector<const char*> all;
    for (const TextAttribute& a : Attributes()) all.push_back(a.name);
    return all;
  }();
  return names;
}

void AddTextAttributes(ipp_t* attrs) {
  for (const TextAttribute& a : Attributes()) {
    const std::string name = a.name;
    const std::string supported = name + "-supported", dflt = name + "-default";
    switch (a.syntax) {
      case Syntax::kIntegers: {
        std::vector<int> values;
        for (const char* v : a.values) values.push_back(atoi(v));
        ippAddIntegers(attrs, IPP_TAG_PRINTER, IPP_TAG_INTEGER, supported.c_str(),
                       static_cast<int>(values.size()), values.data());
        ippAddInteger(attrs, IPP_TAG_PRINTER, IPP_TAG_INTEGER, dflt.c_str(), values.front());
        break;
      }
      case Syntax::kRange:
        ippAddRange(attrs, IPP_TAG_PRINTER, supported.c_str(), 0, kMaxMarginPoints);
        ippAddInteger(attrs, IPP_TAG_PRINTER, IPP_TAG_INTEGER, dflt.c_str(), atoi(a.values[0]));
        break;
      case Syntax::kBoolean:
        ippAddBoolean(attrs, IPP_TAG_PRINTER, supported.c_str(), 1);
        ippAddBoolean(attrs, IPP_TAG_PRINTER, dflt.c_str(), 1);
        break;
      case Syntax::kKeywords:
        ippAddStrings(attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD), supported.c_str(),
                      static_cast<int>(a.values.size()), nullptr, a.values.data());
        ippAddString(attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD), dflt.c_str(), nullptr,
                     a.values.front());
        break;
      case Syntax::kText:
        ippAddString(attrs, IPP_TAG_PRINTER, IPP_TAG_TEXT, dflt.c_str(), nullptr, a.values.front());
        break;
    }
  }
}

std::string TextLabels() {
  std::string text;
  const auto line = [&](const std::string& key, const std::string& label) {
    text += "\"" + key + "\" = \"" + label + "\";\n";
  };
  for (const TextAttribute& a : Attributes()) {
    line(a.name, a.label);
    if (a.syntax != Syntax::kKeywords) continue;
    for (const char* v : a.values) {
      std::string label = v;
      for (char& c : label) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
      if (label == "DRAFT" || label == "TEXT" || label == "GRAPHICS" || label == "FONTS") {
        label = label[0] + std::string(v + 1);
      }
      line(std::string(a.name) + "." + v, label);
    }
  }
  return text;
}

text::TextOptions TextOptionsOf(pappl_job_t* job, const pappl_pr_options_t* options,
                                Messages& messages) {
  const auto job_value = [&](std::string_view option) -> std::optional<std::string> {
    const TextAttribute* a = ByOption(option);
    const char* value =
        a != nullptr ? cupsGetOption(a->name, options->num_vendor, options->vendor) : nullptr;
    if (value == nullptr) return std::nullopt;
    return value;
  };
  // PAPPL 1.3.1 leaves the printer's vendor defaults out of the job's
  // options: they are read from the printer.
  const std::unique_ptr<ipp_t, IppDeleter> attrs(
      papplPrinterGetDriverAttributes(papplJobGetPrinter(job)));
  const auto printer_value = [&](std::string_view option) -> std::optional<std::string> {
    const TextAttribute* a = ByOption(option);
    if (a == nullptr) return std::nullopt;
    const std::string name = std::string(a->name) + "-default";
    ipp_attribute_t* attr = ippFindAttribute(attrs.get(), name.c_str(), IPP_TAG_ZERO);
    if (attr == nullptr) return std::nullopt;
    char value[1024];
    ippAttributeString(attr, value, sizeof value);
    return value;
  };
  // Warnings name the attributes the user gave.
  const auto attribute_name = [](std::string_view option) {
    const TextAttribute* a = ByOption(option);
    return std::string(a != nullptr ? a->name : option);
  };
  return text::ReadTextOptions(job_value, printer_value, messages, attribute_name);
}

}  // namespace zova::app
