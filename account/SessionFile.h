#pragma once

#include <optional>
#include <string>
#include <string_view>

// The saved session ("ud" in the data folder): one line of standard Base64
// (no line breaks, no final line feed) of the AES-256-CBC encryption, with
// PKCS #7 padding, of {"sp":"1.0","token":...,"userid":...} plus a line feed,
// in the process code page. Key and IV are the raw bytes of fixed ASCII texts.
namespace kelsor {

// The plaintext for (user id, token): compact JSON, keys sorted, then "\n".
std::string SessionPlaintext(const std::wstring& userid, const std::wstring& token);

// Encrypts and Base64-encodes `plaintext` (bytes in, Base64 text out).
std::string EncryptSessionText(std::string_view plaintext);

// Base64-decodes (characters outside the alphabet are skipped) and decrypts.
// Empty optional when the data is not a whole number of blocks or the
// padding is invalid.
std::optional<std::string> DecryptSessionText(std::string_view base64);

// Writes the session file for (user id, token), replacing earlier content.
// The file holds a bearer token, so it is created readable by its owner only
// (0600). False when nothing could be written.
bool WriteSessionFile(const std::wstring& path, const std::wstring& userid,
                      const std::wstring& token);

// Reads the session file into (user id, token). False when the file is
// missing, does not decrypt, is not a JSON object with "sp" "1.0", or either
// value is empty; the outputs are untouched then and the file stays.
bool ReadSessionFile(const std::wstring& path, std::wstring& userid, std::wstring& token);

}  // namespace kelsor
