// kelsor-server: the local identity, OCR and account service.
#include "server/CloudUserStore.h"
#include "server/KelsorServer.h"
#include "server/account/AccountCommands.h"
#include "server/account/AccountService.h"
#include "server/account/CompanionInstaller.h"

#include <curl/curl.h>

#include <pthread.h>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>

using namespace kelsor::server;

namespace {

int AddCloudUser(const std::vector<std::string>& args) {
    std::string dataDir, domain, user, password, project = ServerOptions().region;
    for (std::size_t i = 0; i + 1 < args.size(); i += 2) {
        const std::string& name = args[i];
        const std::string& value = args[i + 1];
        if (name == "--data")
            dataDir = value;
        else if (name == "--domain")
            domain = value;
        else if (name == "--user")
            user = value;
        else if (name == "--password")
            password = value;
        else if (name == "--project")
            project = value;
        else {
            std::fprintf(stderr, "kelsor-server: unknown option %s\n%s", name.c_str(),
                         ServerUsage().c_str());
            return 2;
        }
    }
    if (args.size() % 2 != 0 || dataDir.empty() || domain.empty() || user.empty() ||
        password.empty()) {
        std::fprintf(stderr, "%s", ServerUsage().c_str());
        return 2;
    }
    if (password == "-") {
        std::getline(std::cin, password);  // keeps the password out of the process list
    }
    std::error_code ec;
    std::filesystem::create_directories(dataDir, ec);
    CloudUserStore store;
    CloudUser added;
    std::string error;
    if (!store.Open(dataDir + "/kelsor-server.sqlite", error) ||
        !store.AddUser(domain, user, password, project, added, error)) {
        std::fprintf(stderr, "kelsor-server: %s\n", error.c_str());
        return 1;
    }
    std::printf("kelsor-server: added cloud user %s in domain %s, project %s (id %s)\n",
                added.userName.c_str(), added.domainName.c_str(), added.projectName.c_str(),
                added.projectId.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    EnsureSingleThreadedOpenMp(argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args.front() == "add-cloud-user") {
        return AddCloudUser({args.begin() + 1, args.end()});
    }
    if (!args.empty() && args.front() == "add-user") {
        return account::RunAddUser({args.begin() + 1, args.end()});
    }
    if (!args.empty() && args.front() == "demo-session") {
        return account::RunDemoSession({args.begin() + 1, args.end()});
    }
    if (!args.empty() && (args.front() == "--help" || args.front() == "-h")) {
        std::printf("%s", ServerUsage().c_str());
        return 0;
    }
    ServerOptions options;
    std::string error;
    if (!ParseServerOptions(args, options, error)) {
        std::fprintf(stderr, "kelsor-server: %s\n%s", error.c_str(), ServerUsage().c_str());
        return 2;
    }
    // Signals are taken by the main thread alone (sigwait below).
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    curl_global_init(CURL_GLOBAL_ALL);

    KelsorServer server(options);
    if (!server.Start(error)) {
        std::fprintf(stderr, "kelsor-server: %s\n", error.c_str());
        curl_global_cleanup();
        return 1;
    }
    const ServerContext& context = server.Context();
    LogLine("data folder " + options.dataDir);
    LogLine("certificate " + server.CertificatePath());
    LogLine("demo cloud user file " + server.DemoUserPath());
    LogLine("engine " + context.engines.EngineName() + " x" +
            std::to_string(context.engines.Size()));
    if (!server.EngineNote().empty()) {
        LogLine("engine ppocr not used: " + server.EngineNote());
    }
    LogLine("region " + options.region);
    LogLine("cloud https port " + std::to_string(server.CloudPort()));
    LogLine("account http port " + std::to_string(server.AccountPort()));
    LogLine(std::string("demo account ") + account::AccountService::kDemoMobile);
    const std::string installer = account::CompanionInstallerPath(options);
    LogLine("companion installer " + (installer.empty() ? std::string("none") : installer));
    LogLine("ready");

    int received = 0;
    sigwait(&signals, &received);
    LogLine("stopping");
    server.Stop();
    curl_global_cleanup();
    return 0;
}
