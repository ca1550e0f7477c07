#include "tools/StatsLog.h"

#include <fcntl.h>
#include <json/writer.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <random>

#include "app/JsonText.h"

namespace kelsor::tools {
namespace {

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Writes `text` to `path` through a temporary file renamed over it, so a
// crash leaves either the old or the new file, never half of one.
bool ReplaceFile(const std::string& path, const std::string& text, std::string& error) {
    const std::string temporary = path + ".new";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const bool ok = fd >= 0 && WriteAll(fd, text) && ::fsync(fd) == 0;
    if (fd >= 0)
        ::close(fd);
    if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = "cannot write " + path;
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

std::string UtcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

}  // namespace

std::string RandomHex(std::size_t bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::random_device device;  // the kernel's random source
    std::string hex;
    for (std::size_t i = 0; i < bytes; ++i) {
        const unsigned value = device() & 0xFFu;
        hex += kDigits[value >> 4];
        hex += kDigits[value & 0xFu];
    }
    return hex;
}

bool ReadStatsEvent(const std::string& line, Json::Value& event) {
    return ParseJsonObject(line, event);
}

Json::Value MakeStatsEvent(const std::string& event, const std::string& version,
                           const std::string& channel, const std::string& installId) {
    Json::Value record;
    record["id"] = RandomHex(16);
    record["event"] = event;
    record["time"] = UtcNow();
    record["version"] = version;
    record["channel"] = channel;
    record["installid"] = installId;
    return record;
}

StatsLog::StatsLog(std::string folder) : m_folder(std::move(folder)) {}

StatsLog::~StatsLog() {
    if (m_lockFd >= 0)
        ::close(m_lockFd);  // drops the lock
}

bool StatsLog::Lock(std::string& error) {
    const std::string path = m_folder + "KelsorOCRStats.lock";
    m_lockFd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_lockFd < 0 || ::flock(m_lockFd, LOCK_EX) != 0) {
        error = "cannot lock " + path;
        return false;
    }
    return true;
}

bool StatsLog::InstallId(std::string& id, std::string& error) {
    const std::string path = m_folder + "KelsorOCRStats.id";
    std::ifstream in(path);
    if (std::getline(in, id) && id.size() == 32 &&
        id.find_first_not_of("0123456789abcdef") == std::string::npos)
        return true;
    id = RandomHex(16);
    return ReplaceFile(path, id + "\n", error);
}

bool StatsLog::Append(const Json::Value& event, std::string& error) {
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "";
    const std::string line = Json::writeString(writer, event) + "\n";
    const int fd = ::open(logPath().c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    const bool ok = fd >= 0 && WriteAll(fd, line) && ::fsync(fd) == 0;
    if (fd >= 0)
        ::close(fd);
    if (!ok)
        error = "cannot write " + logPath();
    return ok;
}

std::vector<std::string> StatsLog::Pending() const {
    std::vector<std::string> lines;
    std::ifstream in(logPath());
    for (std::string line; std::getline(in, line);) {
        if (!line.empty())
            lines.push_back(line);
    }
    return lines;
}

bool StatsLog::DropOldest(std::size_t count, std::string& error) {
    const std::vector<std::string> lines = Pending();
    std::string rest;
    for (std::size_t i = count; i < lines.size(); ++i)
        rest += lines[i] + "\n";
    return ReplaceFile(logPath(), rest, error);
}

}  // namespace kelsor::tools
