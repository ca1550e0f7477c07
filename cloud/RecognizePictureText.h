#pragma once

#include <string>

// The one entry through which every recognition of the program runs.
namespace kelsor {

// How recognised lines are joined.
enum FormatType : int {
    FormatPriority = 0,  // CR LF between lines ("格式优先", the default)
    EditPriority = 1,    // lines run together ("编辑优先")
};

// Recognises the picture file at `picturePath` and returns its text in the
// process code page; empty on any failure. Synchronous, any thread.
std::string RecognizePictureText(int formatType, const std::wstring& picturePath);

}  // namespace kelsor
