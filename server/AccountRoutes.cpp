#include "server/Routes.h"

#include "server/account/AccountApi.h"
#include "server/account/SitePages.h"

#include <httplib.h>

namespace kelsor::server {

// One listener answers for the site, web and API hosts alike: the paths do
// not overlap, so every host serves everything.
void RegisterAccountRoutes(httplib::Server& server, ServerContext& context) {
    if (!context.accounts) {
        return;
    }
    RegisterToolRoutes(server, context);  // before the API's catch-all
    account::RegisterAccountApi(server, context.accounts, context.options, context.downloads);
    account::RegisterSitePages(server, context.accounts, context.options);
}

}  // namespace kelsor::server
