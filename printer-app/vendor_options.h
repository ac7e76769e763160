// The driver's own job options, as IPP attributes: each keyword stands for a
// choice of the PPD's option of the same meaning, so that a job prints as
// the CUPS filter prints it with that choice. Their keywords read well as
// PAPPL's web page shows them: words capitalised.
#pragma once

#include <pappl/pappl.h>

#include <span>
#include <string>

namespace zova::app {

struct VendorChoice {
  const char* keyword;    // the IPP keyword
  const char* ppdChoice;  // the PPD option's choice it stands for
};

struct VendorOption {
  const char* name;       // the IPP attribute; "-default" and "-supported" follow it
  const char* ppdOption;  // the PPD's option
  std::span<const VendorChoice> choices;  // the first is the default
};

// The command set the printer is switched to: ZovaCommandSet, whose choice
// is the page header's OutputType.
extern const VendorOption kCommandSetOption;
// How pages are printed: ZovaPrintAs.
extern const VendorOption kPrintAsOption;

// Every vendor option, in the order the web page shows them.
std::span<const VendorOption* const> VendorOptions();

// Adds "NAME-supported" and "NAME-default" of every option to the driver's
// attributes.
void AddVendorAttributes(ipp_t* attrs);

// The PPD choice of the job's value: the job's own, else the printer's
// default (PAPPL 1.3.1 leaves that out of the job's options), else the
// option's first choice.
std::string VendorChoiceOf(pappl_job_t* job, const pappl_pr_options_t* options,
                           const VendorOption& option);

}  // namespace zova::app
