#pragma once

#include "server/ServerContext.h"

namespace httplib {
class Server;
}

namespace kelsor::server {

// The routes of the service's two listeners. On the HTTPS cloud listener:
// POST /v3/auth/tokens, the password method scoped to a project.
void RegisterIdentityRoutes(httplib::Server& server, ServerContext& context);
// POST /v1.0/ocr/general-text and /v2/{project_id}/ocr/general-text.
void RegisterOcrRoutes(httplib::Server& server, ServerContext& context);

// The account service's routes on the plain-HTTP account listener. The
// listener already answers GET /healthz; everything not registered here is
// a 404.
void RegisterAccountRoutes(httplib::Server& server, ServerContext& context);

// The services of the client's two sibling programs, on the account
// listener: the statistics program's events (and their counts) and the
// updater's newest version with its package. Registered before the account
// API, whose catch-all answers every other /api path.
void RegisterToolRoutes(httplib::Server& server, ServerContext& context);

}  // namespace kelsor::server
