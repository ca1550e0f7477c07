#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "TempFolder.h"
#include "server/process/ServerProcess.h"

// Running the built kelsor-server program (KELSOR_SERVER_EXE) from tests.
namespace kelsor::test {

// Runs the program to its end with `arguments`, its output going to the file
// `output`; the exit status, or -1 when it did not exit.
inline int RunServer(const std::string& arguments, const std::string& output) {
    const int status = std::system(
        (std::string(KELSOR_SERVER_EXE) + " " + arguments + " >" + output + " 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Starts the program over `dir` (data in data/, log in log.txt) on free ports
// with one engine, followed by `extra` arguments.
inline bool StartServerIn(server::ServerProcess& process, const TempFolder& dir, std::string& error,
                          const std::vector<std::string>& extra = {}) {
    std::vector<std::string> arguments = {
        "--data", dir.file("data"), "--cloud-port", "0", "--account-port", "0", "--engines", "1"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return process.Start(KELSOR_SERVER_EXE, arguments, dir.file("log.txt"), error);
}

}  // namespace kelsor::test
