// Raw jobs, documents in the printer's own stream format, are checked by the
// strict stream decoder before the printer sees a byte of them.
#pragma once

#include <pappl/pappl.h>

namespace zova::app {

// Registers the check as the filter from the raw format to itself, which
// PAPPL 1.3.1 asks for before it sends a raw job as it is.
void AddRawFilter(pappl_system_t* system);

}  // namespace zova::app
