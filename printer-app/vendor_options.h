// The driver's own job options, as IPP attributes with readable labels for
// the web page, and how a job's value is found.
#pragma once

#include <pappl/pappl.h>

#include <span>
#include <string>

namespace zova::app {

struct VendorChoice {
  const char* keyword;
  const char* label;
};

struct VendorOption {
  const char* name;  // the IPP attribute; "-default" and "-supported" follow it
  const char* label;
  std::span<const VendorChoice> choices;  // the first is the default
};

// The command set the printer is switched to.
extern const VendorOption kCommandSetOption;

// Every vendor option, in the order the web page shows them.
std::span<const VendorOption* const> VendorOptions();

// Adds "NAME-supported" and "NAME-default" of every option to the driver's
// attributes.
void AddVendorAttributes(ipp_t* attrs);

// The labels, as a strings file for papplSystemAddStringsData.
const std::string& VendorStrings();

// The job's value: the job's own, else the printer's default (PAPPL 1.3.1
// leaves that out of the job's options), else the option's first choice.
std::string VendorValue(pappl_job_t* job, const pappl_pr_options_t* options,
                        const VendorOption& option);

}  // namespace zova::app
