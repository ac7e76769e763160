// ZovaDocumentText=Fonts on a CUPS queue: the job's PDF drawn by CUPS's own
// gstoraster as CUPS runs it, and again with Ghostscript told to leave the
// text out (GS_OPTIONS=-dFILTERTEXT), its text read by Ghostscript's
// txtwrite device and its fonts by poppler's pdffonts; the pages go through
// the page driver with the text that the printer's fonts can print taken
// out and printed as text.
#pragma once

#include "cups/filter_main.h"
#include "pipeline/job_scope.h"
#include "text/text_job.h"

namespace zova {

// What CUPS runs for a PDF on a queue without this filter.
inline constexpr const char* kPdfToRaster[] = {"gstoraster"};

// Prints the job's PDF (the file argument, else standard input, kept in
// $TMPDIR first). Ghostscript's drawing failing fails the job; the text
// route failing leaves the text to the drawing, with a warning.
void PrintPdfWithFonts(JobScope& job, const FilterJob& filter, const text::TextOptions& options);

}  // namespace zova
