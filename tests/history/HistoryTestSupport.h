#pragma once

#include <string>

namespace kelsor::history {

// A picture of `width` x `height`, dark bars on white like lines of text, in
// the format the extension names.
bool WriteLinesPicture(const std::string& path, int width, int height);

}  // namespace kelsor::history
