#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

// The newest version the update service offers a channel, configured by the
// file "update.json" in the server's data folder, read at every request so it
// can change while the server runs:
//
//   {"version": "1.2.0.0", "package": "KelsorOCR_1.2.0.0_amd64.deb",
//    "channels": {"20002": {"version": "1.1.0.0", "package": "/srv/old.deb"}}}
//
// A channel without an entry of its own gets the top-level one. A relative
// package path is taken inside the data folder. Without the file the newest
// version is the server's own, with no package.
namespace kelsor::server::tools {

struct UpdateOffer {
    std::string version;
    std::string packagePath;  // empty: nothing to download
};

// False with `error` when update.json exists but is not a usable object.
bool FindUpdateOffer(const std::string& dataDir, const std::string& channel, UpdateOffer& offer,
                     std::string& error);

// A package's size and MD5 as the version check announces them.
struct PackageFacts {
    std::uint64_t size = 0;
    std::string md5;
};

// The facts of each package file, read (in pieces, never the whole file in
// memory) once per change of the file: another file, size or modification
// time. Checks that ask at once wait for the one reading.
class PackageDigests {
public:
    bool Describe(const std::string& path, PackageFacts& facts, std::string& error);

private:
    struct Entry {
        std::string fileKey;  // device, inode, size and modification time
        PackageFacts facts;
    };
    std::mutex m_mutex;
    std::map<std::string, Entry> m_entries;
};

}  // namespace kelsor::server::tools
