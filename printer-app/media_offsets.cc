#include "request_checks.h"

namespace zova::app {

http_status_t CheckMediaOffsets(pappl_client_t* /*client*/) { return HTTP_STATUS_CONTINUE; }

}  // namespace zova::app
