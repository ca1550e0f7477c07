#include "ToolsTestSupport.h"

#include <json/reader.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>

#include "tools/ToolHttp.h"

namespace kelsor::tooltest {

ToolsFixture::ToolsFixture(const test::TempFolder& folder) : m_folder(folder) {
    std::filesystem::create_directories(folder.file("runtime"));
    // As the session makes it: Qt warns of any other.
    std::filesystem::permissions(folder.file("runtime"), std::filesystem::perms::owner_all);
    // The programs of this process and its children: their data, lock and
    // the account service all belong to the test.
    setenv("XDG_DATA_HOME", folder.file("data").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", folder.file("runtime").c_str(), 1);
}

bool ToolsFixture::StartServer(std::string& error, const std::vector<std::string>& engine) {
    m_service = std::make_unique<test::LocalService>();
    if (!m_service->Start(KELSOR_SERVER_EXE, serverData(), m_folder.file("server.log"), engine,
                          error))
        return false;
    m_accountPort = m_service->AccountPort();
    setenv("KELSOR_API_HOST", apiHost().c_str(), 1);
    return true;
}

void ToolsFixture::StopServer() {
    m_service.reset();
    m_accountPort = 1;
    setenv("KELSOR_API_HOST", apiHost().c_str(), 1);
}

bool ToolsFixture::WriteDemoSession() const {
    return test::Shell(std::string(KELSOR_SERVER_EXE) + " demo-session --data '" + serverData() +
                       "' | '" + KELSOR_PROGRAM_FOLDER + "KelsorOCR' --write-session >/dev/null") ==
           0;
}

bool ToolsFixture::StartSignedIn(std::string& error, const std::vector<std::string>& engine) {
    if (!WriteDemoSession()) {
        error = "the demo session could not be written";
        return false;
    }
    return StartServer(error, engine);
}

std::string ToolsFixture::apiHost() const {
    return !m_apiHostOverride.empty() ? m_apiHostOverride
                                      : "api.kelsor.localhost:" + std::to_string(m_accountPort);
}

long long ToolsFixture::ServerMemory(const std::string& field) const {
    std::istringstream status(
        test::ReadFile("/proc/" + std::to_string(m_service->Pid()) + "/status"));
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field + ":", 0) == 0)
            return std::atoll(line.c_str() + field.size() + 1) * 1024;
    }
    return -1;
}

void ToolsFixture::ResetServerPeak() const {
    test::WriteFile("/proc/" + std::to_string(m_service->Pid()) + "/clear_refs", "5");
}

int ToolsFixture::Run(const std::string& program, const std::string& arguments,
                      std::string& output) const {
    const std::string outputFile = m_folder.file("output.txt");
    const int status = test::Shell("KELSOR_API_HOST=" + apiHost() + " '" + KELSOR_PROGRAM_FOLDER +
                                   program + "' " + arguments + " >'" + outputFile + "' 2>&1");
    output = test::ReadFile(outputFile);
    return status;
}

Json::Value ToolsFixture::Get(const std::string& path) const {
    Json::Value reply;
    std::string error;
    tools::FetchJson("http://" + apiHost() + path, nullptr, reply, error);
    return reply;
}

int ToolsFixture::Requests(const std::string& prefix) const {
    std::istringstream log(test::ReadFile(m_folder.file("server.log")));
    int count = 0;
    for (std::string line; std::getline(log, line);)
        count += line.find("account GET " + prefix) != std::string::npos ||
                 line.find("account POST " + prefix) != std::string::npos;
    return count;
}

}  // namespace kelsor::tooltest
