#include "server/tools/FileDownload.h"

#include "server/JsonReply.h"

#include <httplib.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace kelsor::server::tools {

std::shared_ptr<void> DownloadSlots::TryTake() {
    if (m_inUse->fetch_add(1) >= m_limit) {
        m_inUse->fetch_sub(1);
        return nullptr;
    }
    // The handle points at the counter only to be non-null; its deleter gives
    // the slot back.
    return std::shared_ptr<void>(m_inUse.get(), [inUse = m_inUse](void*) { inUse->fetch_sub(1); });
}

bool ServeFileDownload(const std::string& path, const std::string& name, DownloadSlots& slots,
                       httplib::Response& response) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (fd >= 0) {
            ::close(fd);
        }
        return false;
    }
    std::shared_ptr<void> slot = slots.TryTake();
    if (!slot) {
        ::close(fd);
        SetProviderError(response, 503, "APIG.0503",
                         "Too many downloads at once; try again in a minute.");
        response.set_header("Retry-After", "60");
        // The refused client's connection would otherwise hold a worker
        // while it is kept alive.
        response.set_header("Connection", "close");
        return true;
    }
    response.set_header("Content-Disposition", "attachment; filename=\"" + name + "\"");
    response.set_content_provider(
        static_cast<std::size_t>(info.st_size), "application/octet-stream",
        [fd](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            char buffer[64 * 1024];
            const ssize_t n =
                ::pread(fd, buffer, std::min(length, sizeof buffer), static_cast<off_t>(offset));
            // A file cut short under way ends the connection, not the server.
            return n > 0 && sink.write(buffer, static_cast<std::size_t>(n));
        },
        // Runs when the response goes, whether or not it was sent whole.
        [fd, slot](bool) { ::close(fd); });
    return true;
}

}  // namespace kelsor::server::tools
