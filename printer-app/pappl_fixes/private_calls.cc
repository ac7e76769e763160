// PAPPL 1.3.1 has no public way to reach a running server from a command of
// its own (the "status", "drivers", "change-device" commands), to ask
// whether a format has a filter (the explained aborts), or to read a
// media-tracking keyword (the Media page). These are its own functions,
// exported by libpappl 1.3.1 without a header (a later PAPPL that drops one
// fails to link). Tested by AppAccessTest.OwnersCommandsWorkOnANewPrinter,
// AppOffsetsTest.ModifyMovesThePrinterToAnotherDevice,
// AppAdminTest.AJobOfNoFormatItPrintsSaysWhy and
// AppAdminTest.EveryPpdSizeIsOfferedAndTakenForEachSource.
#include "pappl_fixes/pappl_fixes.h"

extern "C" {
http_t* _papplMainloopConnect(const char* base_name, bool auto_start);
http_t* _papplMainloopConnectURI(const char* base_name, const char* printer_uri, char* resource,
                                 size_t rsize);
char* _papplMainloopGetDefaultPrinter(http_t* http, char* buffer, size_t bufsize);
void* _papplSystemFindMIMEFilter(pappl_system_t* system, const char* srctype, const char* dsttype);
pappl_media_tracking_t _papplMediaTrackingValue(const char* s);
}

namespace pappl_fixes {

http_t* ConnectToServer(const char* base_name) { return _papplMainloopConnect(base_name, false); }

http_t* ConnectToPrinter(const char* base_name, const char* printer_uri, char* resource,
                         size_t resource_size) {
  return _papplMainloopConnectURI(base_name, printer_uri, resource, resource_size);
}

char* DefaultPrinter(http_t* http, char* buffer, size_t size) {
  return _papplMainloopGetDefaultPrinter(http, buffer, size);
}

bool HasFilter(pappl_system_t* system, const char* from, const char* to) {
  return _papplSystemFindMIMEFilter(system, from, to) != nullptr;
}

pappl_media_tracking_t MediaTrackingValue(const char* keyword) {
  return _papplMediaTrackingValue(keyword);
}

}  // namespace pappl_fixes
