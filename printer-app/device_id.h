// A printer's IEEE-1284 device ID, and the driver the application gives the
// printer it names: the auto-add callback of papplMainloop.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace zova::app {

// KEY:VALUE; fields, keys upper-cased and trimmed, values split at commas
// and trimmed. A field without a colon is skipped.
std::map<std::string, std::vector<std::string>> ParseDeviceId(std::string_view id);

// "zova-qrt", "zova-qrt-okidata", or null for a printer that is not ours.
const char* DriverForDeviceId(const char* device_id);

// The ID a model's printer is taken to answer (no printer has been asked
// yet), as the PPDs carry it; null for an unknown driver.
const char* AssumedDeviceId(std::string_view driver_name);

// pappl_pr_autoadd_cb_t.
const char* AutoAddDriver(const char* printer_name, const char* device_uri, const char* device_id,
                          void* data);

}  // namespace zova::app
