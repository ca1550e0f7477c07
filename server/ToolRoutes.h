#pragma once

#include "server/ServerContext.h"

namespace httplib {
class Server;
}

namespace kelsor::server {

// The services of the client's two sibling programs, on the account
// listener: the statistics program's events (and their counts) and the
// updater's newest version with its package. Registered before the account
// API, whose catch-all answers every other /api path.
void RegisterToolRoutes(httplib::Server& server, ServerContext& context);

}  // namespace kelsor::server
