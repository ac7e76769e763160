// The server's limits on what waits: a document's size, the jobs a printer
// holds, the spool's free space, and the image memory all jobs share.
#pragma once

#include <pappl/pappl.h>

#include <string>

namespace zova::app {

// Reads the server options (-o NAME=VALUE):
//   max-document-size  the largest document a network client may send
//                      (bytes, or with K, M or G; default 100M)
//   max-jobs           jobs a printer holds that have not ended: waiting,
//                      held and printing (default 100)
//   spool-reserve      free space the spool's file system keeps (default 512M)
//   image-memory       the decoded images of all jobs together (default 264M)
// and installs them, with the check of raw jobs. False after an
// "ERROR: Bad NAME value" line on a bad value.
bool AddJobLimits(pappl_system_t* system, int num_options, cups_option_t* options,
                  const std::string& spool_directory);

}  // namespace zova::app
