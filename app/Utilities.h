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

// Collects up to 100 pictures under `folder`, recursing into subfolders as
// they are met; extensions compare in lower case only. Appends full paths to
// `paths`; true when at least one picture was collected.
bool ScanFolderForPictures(const std::wstring& folder, std::vector<std::wstring>& paths);

}  // namespace kelsor
