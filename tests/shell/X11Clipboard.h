#pragma once

#include <xcb/xcb.h>

#include <functional>
#include <optional>
#include <string>

// The X clipboard as another program sees it, through a connection of its own.
namespace kelsor::shelltest {

// The CLIPBOARD selection as UTF-8 text; nothing when no program holds it or
// it did not answer. `pump` runs while waiting, for an owner in this process.
std::optional<std::string> ReadX11Clipboard(const std::function<void()>& pump = {});

}  // namespace kelsor::shelltest
