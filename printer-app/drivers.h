// The printer application's drivers, one per printer model, and the
// callback that describes a printer to PAPPL.
#pragma once

#include <pappl/pappl.h>

#include <span>

namespace zova::app {

// Name, description and device ID of every model, for papplMainloop.
std::span<pappl_pr_driver_t> Drivers();

bool DriverCallback(pappl_system_t* system, const char* driver_name, const char* device_uri,
                    const char* device_id, pappl_pr_driver_data_t* data, ipp_t** attrs,
                    void* cbdata);

}  // namespace zova::app
