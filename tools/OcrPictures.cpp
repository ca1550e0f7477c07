#include "tools/OcrPictures.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "app/TextConv.h"
#include "app/Utilities.h"
#include "jobs/BatchFileItem.h"
#include "jobs/ConvertTask.h"
#include "jobs/PictureUtils.h"

namespace kelsor::tools {
namespace {

namespace fs = std::filesystem;

bool IsPictureName(const std::string& name) {
    const auto dot = name.rfind('.');
    if (dot == std::string::npos) {
        return false;
    }
    std::string extension = name.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::wstring wide(extension.begin(), extension.end());
    return std::any_of(kPictureExtensions.begin(), kPictureExtensions.end(),
                       [&](const wchar_t* known) { return wide == known; });
}

// Depth first, by name, a folder's own files before its subfolders, so the
// order (and with it the result folder and the numbering) is the same at
// every run. False when the folder cannot be read.
bool ScanSorted(const fs::path& folder, std::vector<std::string>& found) {
    std::error_code error;
    std::vector<fs::path> files;
    std::vector<fs::path> folders;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code ignored;
        if (it->is_symlink(ignored) && it->is_directory(ignored)) {
            continue;  // could lead back up and never end
        }
        if (it->is_directory(ignored)) {
            folders.push_back(it->path());
        } else if (it->is_regular_file(ignored) && IsPictureName(it->path().filename())) {
            files.push_back(it->path());
        }
    }
    if (error) {
        return false;
    }
    std::sort(files.begin(), files.end());
    std::sort(folders.begin(), folders.end());
    for (const fs::path& file : files) {
        found.push_back(file.string());
    }
    for (const fs::path& sub : folders) {
        ScanSorted(sub, found);  // an unreadable subfolder is passed over
    }
    return true;
}

std::string CheckFailure(const std::wstring& path) {
    if (::access(WideToAnsi(path).c_str(), R_OK) != 0) {
        return std::string("cannot be read: ") + std::strerror(errno);
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
    std::vector<std::string> found;
    if (!S_ISDIR(info.st_mode)) {
        found.push_back(argument);
    } else {
        std::string folder = argument;
        while (folder.size() > 1 && folder.back() == '/') {
            folder.pop_back();
        }
        if (!ScanSorted(folder, found)) {
            return {{AnsiToWide(argument), {}, "the folder cannot be read"}};
        }
        if (found.empty()) {
            return {{AnsiToWide(argument), {}, "no pictures in this folder"}};
        }
    }
    std::vector<OcrPicture> pictures;
    for (const std::string& path : found) {
        pictures.push_back({AnsiToWide(path), {}, {}});
    }
    return pictures;
}

}  // namespace

std::vector<OcrPicture> CollectPictures(const std::vector<std::string>& arguments) {
    std::vector<OcrPicture> all;
    for (const std::string& argument : arguments) {
        std::vector<OcrPicture> pictures = PicturesOf(argument);
        // The first picture counts even when it is refused, as on the batch page.
        const std::wstring folder = FolderOfPath(pictures.front().path);
        for (OcrPicture& picture : pictures) {
            if (picture.failure.empty()) {
                picture.failure = CheckFailure(picture.path);
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
