#include "request_checks.h"

namespace zova::app {

http_status_t CheckSubmission(pappl_client_t* /*client*/) { return HTTP_STATUS_CONTINUE; }

}  // namespace zova::app
