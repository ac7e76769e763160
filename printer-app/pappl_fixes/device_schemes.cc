// PAPPL 1.3.1 adds its own device schemes (usb, socket, file, ...) only when
// it finds none: a scheme added before would leave it without them. A
// listing of files (which lists nothing) makes it add them first. Tested by
// PapplFixesTest.OwnSchemeLeavesPapplsSchemes.
#include "pappl_fixes/pappl_fixes.h"

namespace pappl_fixes {
namespace {

bool NoDevice(const char*, const char*, const char*, void*) { return false; }

}  // namespace

void AddDeviceScheme(const char* scheme, pappl_devtype_t type, pappl_devlist_cb_t list_cb,
                     pappl_devopen_cb_t open_cb, pappl_devclose_cb_t close_cb,
                     pappl_devread_cb_t read_cb, pappl_devwrite_cb_t write_cb,
                     pappl_devstatus_cb_t status_cb, pappl_devid_cb_t id_cb) {
  papplDeviceList(PAPPL_DEVTYPE_FILE, NoDevice, nullptr, nullptr, nullptr);
  papplDeviceAddScheme(scheme, type, list_cb, open_cb, close_cb, read_cb, write_cb, status_cb,
                       id_cb);
}

}  // namespace pappl_fixes
