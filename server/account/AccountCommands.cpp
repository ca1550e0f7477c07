#include "server/account/AccountCommands.h"

#include "server/ServerOptions.h"
#include "server/account/AccountService.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>

namespace kelsor::server::account {
namespace {

// "--name value" pairs; false on an unknown name or a missing value.
bool ParsePairs(const std::vector<std::string>& args, const std::vector<std::string>& allowed,
                std::map<std::string, std::string>& values) {
    if (args.size() % 2 != 0) {
        std::fprintf(stderr, "kelsor-server: missing value for %s\n", args.back().c_str());
        return false;
    }
    for (std::size_t i = 0; i < args.size(); i += 2) {
        bool known = false;
        for (const std::string& name : allowed) {
            known = known || name == args[i];
        }
        if (!known) {
            std::fprintf(stderr, "kelsor-server: unknown option %s\n", args[i].c_str());
            return false;
        }
        values[args[i]] = args[i + 1];
    }
    if (values["--data"].empty()) {
        std::fprintf(stderr, "kelsor-server: --data <dir> is required\n");
        return false;
    }
    return true;
}

// The stores of the data folder, as the running server opens them.
struct Stores {
    ServerOptions options;
    CloudUserStore cloudUsers;
    std::unique_ptr<AccountService> service;

    bool Open(const std::map<std::string, std::string>& values) {
        options.dataDir = values.at("--data");
        if (values.count("--region") != 0) {
            options.region = values.at("--region");
        }
        std::error_code ec;
        std::filesystem::create_directories(options.dataDir, ec);
        const std::string database = options.dataDir + "/kelsor-server.sqlite";
        service = std::make_unique<AccountService>(options, cloudUsers);
        std::string error;
        if (!cloudUsers.Open(database, error) || !service->Open(database, error)) {
            std::fprintf(stderr, "kelsor-server: %s\n", error.c_str());
            return false;
        }
        return true;
    }
};

int PrintSession(AccountService& service, const std::string& userId) {
    std::string error;
    const std::optional<Session> session = service.StartSession(userId, error);
    if (!session) {
        std::fprintf(stderr, "kelsor-server: %s\n", error.c_str());
        return 1;
    }
    std::printf("userid %s\ntoken %s\n", session->user.userId.c_str(), session->token.c_str());
    return 0;
}

}  // namespace

int RunAddUser(const std::vector<std::string>& args) {
    std::map<std::string, std::string> values;
    if (!ParsePairs(args, {"--data", "--mobile", "--nickname", "--password", "--region"}, values)) {
        std::fprintf(stderr, "%s", ServerUsage().c_str());
        return 2;
    }
    const std::string mobile = values["--mobile"];
    std::string password = values["--password"];
    if (!IsMobileNumber(mobile)) {
        std::fprintf(stderr, "kelsor-server: --mobile needs 11 digits starting with 1\n");
        return 2;
    }
    if (password == "-") {
        std::getline(std::cin, password);  // keeps the password out of the process list
    }
    if (!password.empty() && (Utf8Length(password) < 6 || Utf8Length(password) > 20)) {
        std::fprintf(stderr, "kelsor-server: the password needs 6 to 20 characters\n");
        return 2;
    }
    Stores stores;
    if (!stores.Open(values)) {
        return 1;
    }
    std::string error;
    const std::optional<AccountUser> user = stores.service->Store().Create(
        values["--nickname"], mobile, password, std::nullopt, "", error);
    if (!user) {
        std::fprintf(stderr, "kelsor-server: %s\n", error.c_str());
        return 1;
    }
    return PrintSession(*stores.service, user->userId);
}

int RunDemoSession(const std::vector<std::string>& args) {
    std::map<std::string, std::string> values;
    if (!ParsePairs(args, {"--data", "--region"}, values)) {
        std::fprintf(stderr, "%s", ServerUsage().c_str());
        return 2;
    }
    Stores stores;
    if (!stores.Open(values)) {
        return 1;
    }
    std::string error;
    const std::optional<AccountUser> demo = stores.service->EnsureDemoUser(error);
    if (!demo) {
        std::fprintf(stderr, "kelsor-server: %s\n", error.c_str());
        return 1;
    }
    return PrintSession(*stores.service, demo->userId);
}

}  // namespace kelsor::server::account
