#pragma once

#include <string>

namespace kelsor::server::account {

// The default picture of an account: a head-and-shoulders figure on a disc
// whose colour is derived from `seed` (the user id), as PNG bytes of
// `size` × `size` RGBA pixels.
std::string DefaultAvatarPng(const std::string& seed, int size = 96);

}  // namespace kelsor::server::account
