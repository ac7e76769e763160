// Other users' jobs without their names, on the printer's web page too.
#pragma once

#include <pappl/pappl.h>

namespace zova::app {

// PAPPL's printer home page; its list of jobs shows their names and owners
// only to the administrator (and the owner, over the local socket).
void ShowPrinterHome(pappl_client_t* client, pappl_printer_t* printer);

}  // namespace zova::app
