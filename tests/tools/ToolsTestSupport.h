#pragma once

#include <json/value.h>

#include <memory>
#include <string>
#include <vector>

#include "LocalService.h"
#include "TempFolder.h"

namespace kelsor::tooltest {

// A kelsor-server on free ports (by default Tesseract, one engine) with its
// data in `folder`/server, and the environment the sibling programs read
// pointed at it and at `folder`.
class ToolsFixture {
public:
    explicit ToolsFixture(const test::TempFolder& folder);
    bool StartServer(std::string& error, const std::vector<std::string>& engine = {
                                             "--engine", "tesseract", "--engines", "1"});
    // Saves the demo account's session the way scripts/run.sh does; call it
    // before StartServer, while the server's data is free.
    bool WriteDemoSession() const;
    // WriteDemoSession, then StartServer: the server with the demo account
    // signed in.
    bool StartSignedIn(std::string& error, const std::vector<std::string>& engine = {
                                               "--engine", "tesseract", "--engines", "1"});
    void StopServer();

    // Runs a program of the client's folder with `arguments` and this
    // fixture's environment; returns its exit status, output in `output`.
    int Run(const std::string& program, const std::string& arguments, std::string& output) const;
    // GET of the account listener's `path`, parsed ("code" must be "200").
    Json::Value Get(const std::string& path) const;
    // Requests the server logged for paths that start with `prefix`.
    int Requests(const std::string& prefix) const;

    // Points the programs at another account service ("host:port").
    void UseApiHost(const std::string& host) { m_apiHostOverride = host; }
    // The server's resident size now ("VmRSS") or at most since the last
    // ResetServerPeak ("VmHWM"), in bytes.
    long long ServerMemory(const std::string& field) const;
    void ResetServerPeak() const;

    std::string apiHost() const;
    std::string dataFolder() const { return m_folder.file("data/KelsorOCR/"); }
    std::string serverData() const { return m_folder.file("server"); }

private:
    const test::TempFolder& m_folder;
    std::unique_ptr<test::LocalService> m_service;
    int m_accountPort = 1;  // a closed port until the server runs
    std::string m_apiHostOverride;
};

}  // namespace kelsor::tooltest
