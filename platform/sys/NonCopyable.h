#pragma once

namespace kelsor {

// A base for classes that own a resource (a process, a server, a handle):
// copying one would let two objects release the same thing.
class NonCopyable {
public:
    NonCopyable(const NonCopyable&) = delete;
    NonCopyable& operator=(const NonCopyable&) = delete;

protected:
    NonCopyable() = default;
    ~NonCopyable() = default;
};

}  // namespace kelsor
