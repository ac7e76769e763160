// The driver's own job options, as IPP attributes: each keyword stands for a
// choice of the PPD's option of the same meaning, so that a job prints as
// the CUPS filter prints it with that choice.
#pragma once

#include <pappl/pappl.h>

#include <span>
#include <string>
#include <string_view>

namespace zova::app {

struct VendorChoice {
  const char* keyword;         // the IPP keyword
  std::string_view ppdChoice;  // the PPD option's choice it stands for
  const char* label;           // as the web page shows it
};

struct VendorOption {
  const char* name;            // the IPP attribute; "-default" and "-supported" follow it
  std::string_view ppdOption;  // the PPD's option
  const char* label;           // as the web page shows it
  std::span<const VendorChoice> choices;  // the first is the default
};

// The command set the printer is switched to: ZovaCommandSet, whose choice
// is the page header's OutputType.
extern const VendorOption kCommandSetOption;
// How pages are printed: ZovaPrintAs.
extern const VendorOption kPrintAsOption;
// How far the head travels on a pass, and how the page length is set:
// ZovaHeadTravel and ZovaFormLength.
extern const VendorOption kHeadTravelOption;
extern const VendorOption kFormLengthOption;

// Every vendor option, in the order the web page shows them.
std::span<const VendorOption* const> VendorOptions();

// Adds "NAME-supported" and "NAME-default" of every option to the driver's
// attributes.
void AddVendorAttributes(ipp_t* attrs);

// The options' and choices' labels, as a strings file for PAPPL's web pages.
const std::string& VendorLabels();

// The PPD choice of the job's value: the job's own, else the printer's
// default (PAPPL 1.3.1 leaves that out of the job's options), else the
// option's first choice. A value that is none of the choices is logged and
// passed over.
std::string VendorChoiceOf(pappl_job_t* job, const pappl_pr_options_t* options,
                           const VendorOption& option);

// The PPD's ZovaPrintAs choice of the job: its own zova-print-as, else its
// print-content-optimize, else the printer's zova-print-as default unless
// that is auto, else the printer's print-content-optimize default.
std::string PrintAsOf(pappl_job_t* job, const pappl_pr_options_t* options);

}  // namespace zova::app
