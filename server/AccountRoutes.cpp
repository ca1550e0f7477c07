#include "server/AccountRoutes.h"

#include <httplib.h>

namespace kelsor::server {

void RegisterAccountRoutes(httplib::Server& /*server*/, ServerContext& /*context*/) {
    // The account service adds its pages and API here.
}

}  // namespace kelsor::server
