// The driver's own job options, as IPP attributes, and how a job's value is
// found. Their keywords read well as PAPPL's web page shows them: words
// capitalised.
#pragma once

#include <pappl/pappl.h>

#include <span>
#include <string>

#include "job/print_as.h"

namespace zova::app {

struct VendorOption {
  const char* name;                      // the IPP attribute; "-default" and "-supported" follow it
  std::span<const char* const> choices;  // keywords; the first is the default
};

// The command set the printer is switched to.
extern const VendorOption kCommandSetOption;
// How pages are printed: the filter's ZovaPrintAs.
extern const VendorOption kPrintAsOption;
PrintAs PrintAsFromKeyword(const std::string& keyword);

// Every vendor option, in the order the web page shows them.
std::span<const VendorOption* const> VendorOptions();

// Adds "NAME-supported" and "NAME-default" of every option to the driver's
// attributes.
void AddVendorAttributes(ipp_t* attrs);

// The job's value: the job's own, else the printer's default (PAPPL 1.3.1
// leaves that out of the job's options), else the option's first choice.
std::string VendorValue(pappl_job_t* job, const pappl_pr_options_t* options,
                        const VendorOption& option);

}  // namespace zova::app
