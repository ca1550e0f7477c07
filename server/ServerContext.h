#pragma once

#include "server/CloudUserStore.h"
#include "server/ServerOptions.h"
#include "server/TokenStore.h"
#include "server/engine/EnginePool.h"
#include "server/tools/FileDownload.h"

#include <memory>
#include <string>

namespace kelsor::server {

namespace account {
class AccountService;
}

// What route handlers share: options, data folder files and the stores. It
// lives as long as the listeners.
struct ServerContext {
    ServerOptions options;
    std::string databasePath;  // SQLite file in the data folder
    std::string certPath;
    CloudUserStore& cloudUsers;
    TokenStore& tokens;
    EnginePool& engines;
    // The account service; the account listener serves it when set.
    std::shared_ptr<account::AccountService> accounts;
    // The downloads the account listener is sending now.
    std::shared_ptr<tools::DownloadSlots> downloads = std::make_shared<tools::DownloadSlots>();
};

}  // namespace kelsor::server
