#pragma once

#include "server/ServerContext.h"

namespace httplib {
class Server;
}

namespace kelsor::server {

// POST /v3/auth/tokens: the password method scoped to a project.
void RegisterIdentityRoutes(httplib::Server& server, ServerContext& context);
// POST /v1.0/ocr/general-text and /v2/{project_id}/ocr/general-text.
void RegisterOcrRoutes(httplib::Server& server, ServerContext& context);

}  // namespace kelsor::server
