// Plain text (text/plain) printed in the printer's own fonts, byte for byte
// as texttozova prints it for the same options and medium.
#pragma once

#include <pappl/pappl.h>

namespace zova::app {

// Registers the text route, which puts text/plain among the formats the
// printer takes.
void AddTextFilter(pappl_system_t* system);

}  // namespace zova::app
