// What a network client's IPP request is checked for before PAPPL acts on
// it. PAPPL 1.3.1 offers no hook before its own operations; the one place
// it asks the application about a TCP client's request is the access
// callback (access.cc), which calls these for the operations anyone may
// ask for. Each returns HTTP_STATUS_CONTINUE to let the request go on, or
// the HTTP status PAPPL answers with; a check may also narrow the request
// (e.g. the attributes a Get-Jobs returns). Requests over the local socket
// are the owner's and are not asked about.
#pragma once

#include <pappl/pappl.h>

namespace zova::app {

// Print-Job, Create-Job, Send-Document: the server's limits on what waits.
http_status_t CheckSubmission(pappl_client_t* client);

// Get-Jobs, Get-Job-Attributes: other users' jobs without their names.
http_status_t CheckJobPrivacy(pappl_client_t* client, bool administrator);

// Print-Job, Create-Job, Validate-Job: media-col offsets in range.
http_status_t CheckMediaOffsets(pappl_client_t* client);

}  // namespace zova::app
