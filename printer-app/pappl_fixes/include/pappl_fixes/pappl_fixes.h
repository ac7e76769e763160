// Where the application meets PAPPL's faults: ordinary functions in place
// of PAPPL's private symbols and layouts. Each is mended in the file named.
#pragma once

#include <pappl/pappl.h>

#include <functional>
#include <string>

namespace pappl_fixes {

// private_calls.cc: what PAPPL 1.3.1 exports without a header.
//
// A connection to the running server on the local socket, as PAPPL's own
// commands make it; null when there is none (nothing is started).
http_t* ConnectToServer(const char* base_name);
// A connection to the server of `printer_uri` (ipp://host/...); `resource`
// gets the printer's path.
http_t* ConnectToPrinter(const char* base_name, const char* printer_uri, char* resource,
                         size_t resource_size);
// The server's default printer's name in `buffer`; null without one.
char* DefaultPrinter(http_t* http, char* buffer, size_t size);
// Whether PAPPL has a filter from `from` to `to`, as it looks before it
// gives up on a job's format.
bool HasFilter(pappl_system_t* system, const char* from, const char* to);
// The media-tracking value PAPPL stores for a keyword.
pappl_media_tracking_t MediaTrackingValue(const char* keyword);

// printer_home.cc: PAPPL's printer home page, with every job's name and
// owner shown as "Withheld" when `hide_names`.
void ServePrinterHome(pappl_client_t* client, pappl_printer_t* printer, bool hide_names);

// job_message.cc: sets a job's message from an event callback, once PAPPL
// has let go of the job (at once it would deadlock).
void SetJobMessageLater(pappl_system_t* system, pappl_job_t* job, std::string message);

// device_socket.cc: the connected TCP socket of a socket:// device; -1 when
// the device has none.
int DeviceSocket(pappl_device_t* device);

// printer_jobs.cc: removing finished jobs, which PAPPL offers no way to.
//
// Whether this printer's job lists can be reached (the layout matches).
bool CanRemoveFinishedJobs(pappl_printer_t* printer);
// Under the printer's lock, visits its finished jobs oldest first with the
// number still kept, and removes (with their files) those `remove` names.
// The number removed.
int RemoveFinishedJobs(pappl_printer_t* printer,
                       const std::function<bool(pappl_job_t* job, int kept)>& remove);
// Calls `visit` with the printer's job `job_id` while the printer's job
// lists are read-locked, so that the history cannot free the job meanwhile
// (PAPPL's own order: the printer's lock, then the job's). False when the
// job is gone. Where the lists cannot be reached, PAPPL's unlocked search.
bool WithJob(pappl_printer_t* printer, int job_id, const std::function<void(pappl_job_t*)>& visit);

// server_stop.cc: at SIGTERM, when any printer holds active jobs, saves
// the state with `save_state` and ends the process at once (the next start
// recovers the jobs); returns when there are none.
void EndKeepingJobs(pappl_system_t* system, const std::function<void()>& save_state);

// local_socket.cc: the local socket at `path` made the user's alone (0600),
// once the server listens on it.
void MakeLocalSocketPrivate(const std::string& path);

// strings_resource.cc: the web pages' strings for `language`, without
// leaving a resource behind that makes the printer's attributes grow.
void AddStrings(pappl_system_t* system, const char* path, const char* language,
                const char* strings);

// max_image_size.cc: PAPPL's image limits, set before the server runs, never
// from a timer.
void SetMaxImageSizeAtStart(pappl_system_t* system, size_t bytes, int width, int height);

// device_schemes.cc: papplDeviceAddScheme, with PAPPL's own schemes added
// first.
void AddDeviceScheme(const char* scheme, pappl_devtype_t type, pappl_devlist_cb_t list_cb,
                     pappl_devopen_cb_t open_cb, pappl_devclose_cb_t close_cb,
                     pappl_devread_cb_t read_cb, pappl_devwrite_cb_t write_cb,
                     pappl_devstatus_cb_t status_cb, pappl_devid_cb_t id_cb);

// The job-state-reasons bit PAPPL writes as a number in its state file for
// a job held until a time (PAPPL_JREASON_JOB_HOLD_UNTIL_SPECIFIED): read
// back by the journal's recovery, which edits the file before PAPPL loads
// it.
inline constexpr long kStateFileHoldUntilSpecified = 0x00400000;
static_assert(kStateFileHoldUntilSpecified == PAPPL_JREASON_JOB_HOLD_UNTIL_SPECIFIED);

}  // namespace pappl_fixes
