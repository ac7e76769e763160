// Media offsets the printer cannot apply are refused where they are given:
// on the Media page, in a job's media-col (media_offsets.cc's
// CheckMediaOffsets) and in the ready media itself.
#pragma once

#include <pappl/pappl.h>

namespace zova::app {

// Whether a source's offsets (1/100 mm) lie within what the printer
// advertises as supported.
bool OffsetsSupported(const pappl_pr_driver_data_t& data, int top, int left);

// Set-Printer-Attributes from a TCP client: media-col-ready or
// media-col-default with an offset out of range is refused by PAPPL.
http_status_t CheckReadyOffsets(pappl_client_t* client);

// Serves the printer's Media page in front of PAPPL's, which saves any
// number it is given (PAPPL 1.3.1).
void GuardMediaPage(pappl_printer_t* printer);

// Ready media whose offsets are out of range (an older state file, or a
// change over the owner's local socket, which nothing checks before PAPPL
// stores it) get the last offsets in range back, checked once a second.
void KeepReadyOffsetsInRange(pappl_system_t* system);

}  // namespace zova::app
