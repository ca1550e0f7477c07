#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

// Small stateless helpers shared across the program. Paths are wide text;
// the file system sees them in the process code page.
namespace kelsor {

// The picture extensions the pickers and the folder scan take (lower case).
inline constexpr std::array<const wchar_t*, 7> kPictureExtensions = {
    L".png", L".jpg", L".jpeg", L".bmp", L".gif", L".tif", L".tiff"};

// The most pictures one folder scan collects.
inline constexpr size_t kFolderScanLimit = 100;

// File version of the program file at `path` as "major.minor.build.revision";
// empty when the file carries no version.
std::wstring GetFileVersionText(const std::wstring& path);

// The current local time as "%Y-%m-%d_%H-%M-%S", e.g. 2024-03-05_14-07-09.
std::wstring GetTimeStampName();

// Size of the file at `path` in bytes; 0.0 when it is not a readable entry
// or not a regular file.
double GetFileSize(const std::wstring& path);

// Display text of a byte count: "1024.00Byte", "1.00KB", "1.50MB", "2.00GB",
// "1.00TB" (each unit taken only when the count is strictly above the one below).
std::wstring GetSizeText(double bytes);

// Orders two names of one folder as a file manager lists them: runs of
// digits compare by their value (2.png before 10.png), other characters
// without regard to case; names that still tie compare as plain text.
// Negative, zero or positive like strcmp.
int CompareNamesNaturally(std::wstring_view a, std::wstring_view b);

// How a folder walk takes its pictures.
struct PictureWalk {
    size_t limit = kFolderScanLimit;  // the most pictures collected; 0 for no limit
    bool anyCaseExtension = false;    // ".PNG" as well as ".png"
};

// Collects the pictures under `folder` in a file manager's order: a
// folder's own pictures by name (CompareNamesNaturally), then its subfolders
// one after another, each in the same way. Only regular files are taken (a
// link to a picture counts as the picture); links to folders are not
// entered (they could lead back up). Each folder is read whole and closed
// before the next one is opened, so the depth of the tree never runs out of
// file handles. Appends full paths to `paths`; false when `folder` itself
// cannot be read (a subfolder that cannot be read is passed over).
bool WalkPictureFolder(const std::wstring& folder, const PictureWalk& walk,
                       std::vector<std::wstring>& paths);

// The batch page's folder scan: up to 100 pictures under `folder`, with
// lower-case extensions, as WalkPictureFolder orders them. True when at
// least one picture was collected.
bool ScanFolderForPictures(const std::wstring& folder, std::vector<std::wstring>& paths);

}  // namespace kelsor
