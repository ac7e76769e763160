// pdftozova: the CUPS filter for PDF on a ZOVA-QRT queue; CUPS turns
// PostScript into PDF before it.
//
//   pdftozova job-id user title copies options [file]
//
// By default the document goes the raster route exactly as on a queue
// without this filter: CUPS's gstoraster draws it and the pages print
// through the page driver. With ZovaDocumentText=Fonts the monospaced text
// that the printer's fonts can print prints as text, at its place, and the
// rest of each page as graphics.
#include "cups/cups_chain.h"
#include "cups/filter_main.h"
#include "pdffilter/pdf_with_fonts.h"
#include "textfilter/ppd_text_job.h"

int main(int argc, char* argv[]) {
  using namespace zova;
  FilterInput input;
  input.what = "PDF file";
  input.print = [](JobScope& job, const FilterJob& filter) {
    const text::TextOptions options = PpdTextOptions(filter);
    if (options.documentText == text::DocumentText::kFonts) {
      if (PpdCommandSet(filter) == CommandSetId::kLq) {
        PrintPdfWithFonts(job, filter, options);
        return;
      }
      filter.messages.Warning(
          "ZovaDocumentText=Fonts needs the LQ command set: the native set has no move to a "
          "place on a line, so the document prints as graphics.");
    }
    PrintThroughCupsFilters(job, filter, kPdfToRaster, filter.jobOptions);
  };
  return RunFilterJob(argc, argv, "pdftozova", input);
}
