// PDF and PostScript jobs: Ghostscript rasterises each page at the job's
// resolution and page size, 1:1 without scaling, and the pages go through
// the same page driver as raster jobs.
#pragma once

#include <pappl/pappl.h>

#include <string>
#include <vector>

#include "app_system.h"

namespace zova::app {

// The Ghostscript command for `file`: 24-bit RGB PPM pages of width x
// height pixels at xdpi x ydpi on standard output, messages on standard
// error; with `fit`, a PDF's pages scaled to fit them; with `page_list`
// ("2-3", "4-"), only those pages.
std::vector<std::string> GhostscriptCommand(const std::string& file, unsigned xdpi, unsigned ydpi,
                                            unsigned width, unsigned height, bool fit = false,
                                            const std::string& page_list = "");

// Reads the server options ghostscript-job-seconds and ghostscript-memory-mb
// into `settings`; false after an "ERROR: Bad ..." line for a bad value.
bool ParseGhostscriptLimits(int num_options, cups_option_t* options, ServerSettings& settings);

// Registers the filter for application/pdf and application/postscript.
void AddGhostscriptFilters(pappl_system_t* system);

}  // namespace zova::app
