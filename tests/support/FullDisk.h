#pragma once

#include <sys/resource.h>

#include <csignal>

#include "platform/sys/NonCopyable.h"

// Makes every file write of this process fail beyond `bytes` bytes, as a full
// disk does, while the object lives. A size limit needs no mount and works as
// any user; the write fails (EFBIG) instead of killing the process.
namespace kelsor::test {

class FullDisk : NonCopyable {
public:
    explicit FullDisk(rlim_t bytes);
    ~FullDisk();

private:
    rlimit m_before{};
    struct sigaction m_signalBefore {};
};

}  // namespace kelsor::test
