#include "FullDisk.h"

namespace kelsor::test {

FullDisk::FullDisk(rlim_t bytes) {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &m_signalBefore);
    getrlimit(RLIMIT_FSIZE, &m_before);
    rlimit limit = m_before;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
}

FullDisk::~FullDisk() {
    setrlimit(RLIMIT_FSIZE, &m_before);
    sigaction(SIGXFSZ, &m_signalBefore, nullptr);
}

}  // namespace kelsor::test
