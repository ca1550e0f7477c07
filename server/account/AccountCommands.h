#pragma once

#include <string>
#include <vector>

namespace kelsor::server::account {

// `kelsor-server add-user …`: creates an account (with its cloud
// credentials) in the data folder's database and prints "userid <id>" and
// "token <token>" lines. Returns the process exit code.
int RunAddUser(const std::vector<std::string>& args);

// `kelsor-server demo-session …`: prints "userid <id>" and a fresh
// "token <token>" of the demo account (made when missing).
int RunDemoSession(const std::vector<std::string>& args);

}  // namespace kelsor::server::account
