// The printer's PPD: loading it and checking that it describes this printer.
//
// libcups 2.4 marks its PPD API deprecated, yet a CUPS driver still reads
// its PPD through it; the deprecation is silenced here and nowhere else.
#pragma once

#include <cups/ppd.h>

#include <memory>
#include <string>
#include <string_view>

#include "dotmatrix/printer_models.h"
#include "messages/messages.h"
#include "pipeline/page_offsets.h"
#include "pipeline/print_as.h"
#include "pipeline/stream_choices.h"

namespace zova {

struct PpdCloser {
  void operator()(ppd_file_t* ppd) const;
};
using PpdPtr = std::unique_ptr<ppd_file_t, PpdCloser>;

// Loads the PPD at `path` (may be null). On failure reports why and
// returns null.
PpdPtr LoadPpd(const char* path, Messages& messages);

enum class PpdIdentity { kZova, kWrongProduct, kWrongManufacturer };

// The printer model the PPD's NickName names.
const PrinterModel& PpdModel(const ppd_file_t* ppd);

// The option's value given with the job (argv[5]), else the choice the PPD
// marks as the queue's default; empty when neither has one. Marks the job's
// choices in the PPD.
std::string JobOptionValue(ppd_file_t* ppd, const char* job_options, std::string_view name);
// The queue's own default of a PPD option, as lpadmin -o writes it; empty
// when the PPD has no such option.
std::string QueueDefault(ppd_file_t* ppd, std::string_view name);
// The choice of a PPD option the job prints with: the job's when it is one
// of the option's choices, else the queue's default; empty when the PPD has
// no such option. Marks the job's choices in the PPD.
std::string JobChoice(ppd_file_t* ppd, const char* job_options, std::string_view name);

// Warns of each job option that names an option of the PPD applied through
// its PostScript code (the command set, the resolution, the page size) with
// a value that is none of its choices: libcups drops such a value without a
// word, and the page prints with the queue's choice. The options the
// filters read themselves (print-as, offsets, the text options) warn in
// their own readers.
void WarnUnknownChoices(ppd_file_t* ppd, const char* job_options, Messages& messages);

// The job's ZovaPrintAs: the value given with the job (argv[5], as CUPS
// passes job options), else the choice the PPD marks as the queue's default,
// else Auto. An unknown value is warned of and means Auto.
PrintAs ReadPrintAs(ppd_file_t* ppd, const char* job_options, Messages& messages);

// The job's ZovaTopOffset and ZovaLeftOffset, read the same way. A job's
// value that is not a number of millimetres within the range is warned of
// and means the queue's default (the PPD's); a bad default means 0.
PageOffsets ReadOffsets(ppd_file_t* ppd, const char* job_options, Messages& messages);

// The job's ZovaHeadTravel and ZovaFormLength, read the same way. An
// unknown value is warned of and means the option's default (Full, Lines).
StreamChoices ReadStreamChoices(ppd_file_t* ppd, const char* job_options, Messages& messages);

// The product is checked first: "(ZOVA-QRT)", any first and last character;
// then the manufacturer, exactly "ZOVA". A missing string fails its check.
PpdIdentity CheckPpdIdentity(const ppd_file_t* ppd);

}  // namespace zova
