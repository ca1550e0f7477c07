#include "jobs/BatchPictureInfo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "app/TextConv.h"
#include "app/Utilities.h"
#include "jobs/PictureFormat.h"
#include "jobs/PictureHeader.h"

namespace kelsor {
namespace {

// Enough for the header of every accepted format, including a JPEG whose
// frame header follows a large metadata block.
constexpr std::size_t kHeaderBytes = 64 * 1024;

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Reads up to `count` bytes from the current position; fewer at the end.
void ReadUpTo(int fd, std::size_t count, std::vector<std::uint8_t>& bytes) {
    const std::size_t start = bytes.size();
    bytes.resize(start + count);
    std::size_t got = 0;
    while (got < count) {
        const ssize_t n = ::read(fd, bytes.data() + start + got, count - got);
        if (n <= 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(start + got);
}

std::wstring DimensionsText(int fd, std::size_t fileSize, std::vector<std::uint8_t>& bytes) {
    const int format = SniffPictureFormat(bytes.data(), bytes.size());
    PictureDimensions d;
    bool found = ReadPictureDimensions(bytes.data(), bytes.size(), format, d);
    // A header past the first block (a TIFF directory at the end of the file):
    // read on, within the size the decoder accepts at all.
    if (!found && bytes.size() < fileSize && fileSize <= kMaxPictureFileBytes) {
        ReadUpTo(fd, fileSize - bytes.size(), bytes);
        found = ReadPictureDimensions(bytes.data(), bytes.size(), format, d);
    }
    // Dimensions the decoder would refuse are no picture's dimensions.
    if (!found || d.width == 0 || d.height == 0 || !DimensionsWithinLimits(d)) {
        return {};
    }
    // The list shows a photo taken sideways as the canvas does: upright.
    d = UprightDimensions(d, ReadPictureOrientation(bytes.data(), bytes.size(), format));
    return std::to_wstring(d.width) + L"*" + std::to_wstring(d.height);
}

}  // namespace

BatchPictureInfo ReadBatchPictureInfo(const std::wstring& path) {
    BatchPictureInfo info;
    if (!IsAcceptedPictureExtension(PictureExtension(path))) {
        info.check = PictureUnsupported;
        return info;
    }
    const std::string narrow = WideToAnsi(path);
    // Without O_NONBLOCK opening a FIFO waits for a writer.
    Descriptor fd(narrow.empty() ? -1 : ::open(narrow.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return info;
    }
    std::vector<std::uint8_t> bytes;
    ReadUpTo(fd.get(), kHeaderBytes, bytes);
    if (SniffPictureFormat(bytes.data(), bytes.size()) == ImageFormatUnknown) {
        return info;
    }
    info.check = PictureAccepted;
    info.sizeText = GetSizeText(static_cast<double>(st.st_size));
    info.dimensionsText = DimensionsText(fd.get(), static_cast<std::size_t>(st.st_size), bytes);
    return info;
}

}  // namespace kelsor
