#pragma once

#include "server/ServerContext.h"

namespace httplib {
class Server;
}

namespace kelsor::server {

// The account service's routes on the plain-HTTP account listener. The
// listener already answers GET /healthz; everything not registered here is
// a 404.
void RegisterAccountRoutes(httplib::Server& server, ServerContext& context);

}  // namespace kelsor::server
