#include "server/process/ServerProcess.h"

#include <json/reader.h>
#include <json/value.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <csignal>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace kelsor::server {
namespace {

bool ValueAfter(const std::string& log, const std::string& prefix, std::string& value) {
    const std::string key = "kelsor-server: " + prefix + " ";
    const std::size_t at = log.find(key);
    if (at == std::string::npos) {
        return false;
    }
    const std::size_t start = at + key.size();
    value = log.substr(start, log.find('\n', start) - start);
    return true;
}

}  // namespace

ServerProcess::~ServerProcess() {
    Stop();
}

std::string ServerProcess::Log() const {
    std::ifstream in(m_logPath);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool ServerProcess::Start(const std::string& executable, const std::vector<std::string>& arguments,
                          const std::string& logPath, std::string& error, int timeoutSeconds) {
    m_logPath = logPath;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(executable.c_str()));
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const int spawned =
        posix_spawn(&m_pid, executable.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        m_pid = -1;
        error = "cannot start " + executable;
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
        const std::string log = Log();
        if (log.find("kelsor-server: ready") != std::string::npos) {
            std::string cloud, account;
            ValueAfter(log, "cloud https port", cloud);
            ValueAfter(log, "account http port", account);
            ValueAfter(log, "certificate", m_certPath);
            ValueAfter(log, "demo cloud user file", m_demoUserPath);
            m_cloudPort = std::atoi(cloud.c_str());
            m_accountPort = std::atoi(account.c_str());
            return true;
        }
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            error = "kelsor-server ended early:\n" + log;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    error = "kelsor-server did not get ready:\n" + Log();
    Stop();
    return false;
}

void ServerProcess::Stop() {
    if (m_pid <= 0) {
        return;
    }
    ::kill(m_pid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 200; ++i) {
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    ::kill(m_pid, SIGKILL);
    waitpid(m_pid, &status, 0);
    m_pid = -1;
}

bool ReadDemoCloudUser(const std::string& path, DemoCloudUser& user) {
    std::ifstream in(path);
    Json::Value value;
    Json::CharReaderBuilder builder;
    std::string errors;
    if (!in || !Json::parseFromStream(builder, in, &value, &errors) || !value.isObject()) {
        return false;
    }
    user = {value["domain"].asString(), value["user"].asString(), value["password"].asString(),
            value["project"].asString(), value["project_id"].asString()};
    return true;
}

}  // namespace kelsor::server
