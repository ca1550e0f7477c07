#pragma once

#include <atomic>
#include <memory>
#include <string>

namespace httplib {
struct Response;
}

// Files handed out whole on the account listener (the update package, the
// converter's installer). A download holds one of the listener's workers for
// as long as its client takes to read it: slow readers of a large file could
// take every worker, and sign-in, statistics and the pages would get no
// answer. So only so many are sent at once; the rest are told to come back.
namespace kelsor::server::tools {

// At most this many downloads at once on a listener; its other workers stay
// free for everything else.
inline constexpr int kMaxDownloads = 16;

// The downloads being sent now, up to a limit.
class DownloadSlots {
public:
    explicit DownloadSlots(int limit = kMaxDownloads) : m_limit(limit) {}

    // One taken while the returned handle (or a copy of it) lives; null when
    // all are in use.
    std::shared_ptr<void> TryTake();

private:
    int m_limit;
    std::shared_ptr<std::atomic<int>> m_inUse = std::make_shared<std::atomic<int>>(0);
};

// Sends the regular file `path` as the attachment `name`, in pieces straight
// from the file: a large file never sits in memory, however many download it
// at once. It holds a slot of `slots` until the last byte is written or the
// client is gone; without a free slot the reply is 503 and the connection is
// closed. False, with nothing set, when the file cannot be opened.
bool ServeFileDownload(const std::string& path, const std::string& name, DownloadSlots& slots,
                       httplib::Response& response);

}  // namespace kelsor::server::tools
