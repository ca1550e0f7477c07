#pragma once

#include <string>

// The software-information record that says which converter installer to
// fetch: {"code":"200","data":{"sp":"1.0","pdfname","pdfparam","pdfdlurl","pdfmd5"}}.
namespace kelsor {

struct SoftwareInfo {
    std::wstring sp;           // must be "1.0"
    std::wstring name;         // "pdfname": display name, kept but unused
    std::wstring parameters;   // "pdfparam": the installer's command line
    std::wstring downloadUrl;  // "pdfdlurl"
    std::wstring digest;       // "pdfmd5": hexadecimal MD5, either case
};

// The one process-wide record; only the converter worker writes it.
SoftwareInfo& CurrentSoftwareInfo();

// Parses a software-information reply. 0 on success (all fields stored; a
// member that is not a JSON string reads as empty); non-zero when the text
// is not a JSON object, "code" is not the string "200" or "sp" is not "1.0",
// and `info` is untouched then.
int ParseSoftwareInfo(const std::wstring& text, SoftwareInfo& info);

}  // namespace kelsor
