#include "request_checks.h"

namespace zova::app {

http_status_t CheckJobPrivacy(pappl_client_t* /*client*/, bool /*administrator*/) {
  return HTTP_STATUS_CONTINUE;
}

}  // namespace zova::app
