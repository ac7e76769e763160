// CUPS's own filters, run as cupsd would run them for the job: with its
// arguments and options, the job's file to the first, each in a process
// group of its own, their messages on our standard error. The raster the
// last one writes is printed through the job's page driver.
#pragma once

#include <span>
#include <string>

#include "cups/filter_main.h"
#include "pipeline/child_process.h"
#include "pipeline/job_scope.h"

namespace zova {

// CUPS's filter directory: $CUPS_SERVERBIN/filter as cupsd sets it, else
// the one this driver was built for.
std::string CupsFilterDirectory();

// Runs `programs` one into the next, with `options` as their argv[5], and
// prints the last one's raster through `job`. A program that cannot run or
// fails fails the job, its status said; a cancel stops them all.
void PrintThroughCupsFilters(JobScope& job, const FilterJob& filter,
                             std::span<const char* const> programs, const std::string& options);

}  // namespace zova
