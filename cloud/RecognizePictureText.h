#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cloud/LineJoin.h"

// The one entry through which every recognition of the program runs (the
// roads reach it through jobs/ServicePicture.h, which keeps pictures within
// the sizes the service takes).
namespace kelsor {

// How recognised lines are joined.
enum FormatType : int {
    FormatPriority = 0,  // CR LF between lines ("格式优先", the default)
    EditPriority = 1,    // lines run together ("编辑优先")
};

// Recognises the picture file at `picturePath` and returns its text in the
// process code page; empty on any failure. Synchronous, any thread.
std::string RecognizePictureText(int formatType, const std::wstring& picturePath);

// The lines recognised in the picture file at `picturePath`, in reading
// order, each with its box in the picture's pixels where the service gave
// one (words in the process code page). Nothing when the service could not
// be reached or refused the picture; an empty list when it found no text.
std::optional<std::vector<PlacedLine>> RecognizePictureLines(const std::wstring& picturePath);

// RecognizePictureText and RecognizePictureLines for a picture held in
// memory, its bytes as its file would hold them; they are sent as they are.
std::string RecognizeEncodedPictureText(int formatType, const std::vector<unsigned char>& picture);
std::optional<std::vector<PlacedLine>> RecognizeEncodedPictureLines(
    const std::vector<unsigned char>& picture);

// Recognised lines as text joined by `formatType`, as RecognizePictureText
// gives them: CR LF between lines for FormatPriority, otherwise paragraphs
// run together by JoinEditParagraphs.
std::string JoinRecognisedLines(int formatType, const std::vector<PlacedLine>& lines);

}  // namespace kelsor
