#pragma once

#include <functional>
#include <string>
#include <vector>

// What kelsor-ocr recognises: the pictures its arguments name and where
// their result files go.
namespace kelsor::tools {

struct OcrPicture {
    std::wstring path;        // as named, or as found in a named folder
    std::wstring outputPath;  // the .txt file; set for accepted pictures only
    std::string failure;      // why it cannot be recognised; empty while it can
};

// The pictures of `arguments`, in order. A FILE stands for itself, a FOLDER
// for the pictures under it in the batch page's order (WalkPictureFolder: by
// name with numbers as numbers, each folder's own files before its
// subfolders, links to folders not entered, other files passed over). An
// argument that names nothing usable, or a folder without pictures, gives
// one entry with its failure; a picture the picture check refuses, or a file
// that is not a regular file, carries the reason.
//
// Result files follow the batch page: each argument is one addition, whose
// results go into the folder of its first picture; a different picture with
// the same base name gets "name (2).txt", and so on.
//
// A FILE that `isDocument` takes (a PDF) is checked only for being a
// readable regular file; its reader checks the rest.
std::vector<OcrPicture> CollectPictures(
    const std::vector<std::string>& arguments,
    const std::function<bool(const std::wstring& path)>& isDocument = {});

}  // namespace kelsor::tools
