// While a strings file is a resource of the server, PAPPL 1.3.1 adds
// printer-strings-languages-supported to the printer's own attributes at
// every Get-Printer-Attributes, so they grow with each request. The
// resource goes again once its strings are loaded: the web pages keep the
// labels. Tested by PapplFixesTest.PrinterAttributesDoNotGrow.
#include "pappl_fixes/pappl_fixes.h"

namespace pappl_fixes {

void AddStrings(pappl_system_t* system, const char* path, const char* language,
                const char* strings) {
  papplSystemAddStringsData(system, path, language, strings);
  papplSystemRemoveResource(system, path);
}

}  // namespace pappl_fixes
