#include "server/process/ServerProcess.h"

#include "app/JsonText.h"

#include <json/value.h>

#include <fcntl.h>
#include <sys/prctl.h>
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
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(executable.c_str()));
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    // Emptied before the child starts: a log left by an earlier server holds
    // its "ready" line and its ports, which would be taken for this one's.
    const int emptied = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (emptied < 0) {
        error = "cannot write " + logPath;
        return false;
    }
    ::close(emptied);
    const pid_t parent = ::getpid();
    m_pid = ::fork();
    if (m_pid == 0) {
        // The child: only async-signal-safe calls until exec. It ends with the
        // thread that started it, however that one ends (a crash included),
        // and keeps none of the starter's descriptors: a caller reading the
        // starter's output must not wait for a server left behind.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        const int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (::getppid() != parent || log < 0 || ::dup2(log, 1) < 0 || ::dup2(log, 2) < 0) {
            ::_exit(127);
        }
        ::close_range(3, ~0U, 0);
        ::execve(executable.c_str(), argv.data(), environ);
        ::_exit(127);
    }
    if (m_pid < 0) {
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
    std::stringstream text;
    text << in.rdbuf();
    Json::Value value;
    if (!in || !ParseJsonObject(text.str(), value)) {
        return false;
    }
    user = {StringMember(value, "domain"), StringMember(value, "user"),
            StringMember(value, "password"), StringMember(value, "project"),
            StringMember(value, "project_id")};
    return true;
}

}  // namespace kelsor::server
