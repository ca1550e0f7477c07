#include "tools/OcrPictures.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "app/TextConv.h"
#include "app/Utilities.h"
#include "jobs/BatchFileItem.h"
#include "jobs/ConvertTask.h"
#include "jobs/PictureUtils.h"

namespace kelsor::tools {
namespace {

std::string CheckFailure(const std::wstring& path, bool document) {
    const std::string narrow = WideToAnsi(path);
    if (::access(narrow.c_str(), R_OK) != 0) {
        return std::string("cannot be read: ") + std::strerror(errno);
    }
    // A FIFO would hold the check's open until a writer came; a device may
    // never end.
    struct stat info {};
    if (::stat(narrow.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        return "not a regular file (a pipe, device or socket)";
    }
    if (document) {
        return {};
    }
    switch (CheckPictureFile(path)) {
        case PictureAccepted:
            return {};
        case PictureUnsupported:
            return "unsupported format (not a bmp, png, jpg, jpeg, gif, tif or tiff picture)";
        default:
            return "damaged (not a readable picture)";
    }
}

// The pictures one argument names; a failure entry when it names none.
std::vector<OcrPicture> PicturesOf(const std::string& argument) {
    struct stat info {};
    if (::stat(argument.c_str(), &info) != 0) {
        const bool missing = errno == ENOENT || errno == ENOTDIR;
        return {
            {AnsiToWide(argument), {}, missing ? "no such file or folder" : std::strerror(errno)}};
    }
    std::vector<std::wstring> found;
    if (!S_ISDIR(info.st_mode)) {
        found.push_back(AnsiToWide(argument));
    } else {
        // The batch page's walk, without its limit, taking any case.
        if (!WalkPictureFolder(AnsiToWide(argument), PictureWalk{0, true}, found)) {
            return {{AnsiToWide(argument), {}, "the folder cannot be read"}};
        }
        if (found.empty()) {
            return {{AnsiToWide(argument), {}, "no pictures in this folder"}};
        }
    }
    std::vector<OcrPicture> pictures;
    for (std::wstring& path : found) {
        pictures.push_back({std::move(path), {}, {}});
    }
    return pictures;
}

}  // namespace

std::vector<OcrPicture> CollectPictures(
    const std::vector<std::string>& arguments,
    const std::function<bool(const std::wstring& path)>& isDocument) {
    std::vector<OcrPicture> all;
    for (const std::string& argument : arguments) {
        std::vector<OcrPicture> pictures = PicturesOf(argument);
        // The first picture counts even when it is refused, as on the batch page.
        const std::wstring folder = FolderOfPath(pictures.front().path);
        for (OcrPicture& picture : pictures) {
            if (picture.failure.empty()) {
                picture.failure =
                    CheckFailure(picture.path, isDocument && isDocument(picture.path));
            }
            if (picture.failure.empty()) {
                const std::wstring fileName =
                    picture.path.substr(FolderOfPath(picture.path).size());
                picture.outputPath = NumberedResultPath(
                    folder, OutputBaseName(fileName), [&](const std::wstring& candidate) {
                        return std::any_of(all.begin(), all.end(), [&](const OcrPicture& other) {
                            return other.outputPath == candidate && other.path != picture.path;
                        });
                    });
            }
            all.push_back(std::move(picture));
        }
    }
    return all;
}

}  // namespace kelsor::tools
