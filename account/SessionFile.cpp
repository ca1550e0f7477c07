#include "account/SessionFile.h"

#include <cryptopp/aes.h>
#include <cryptopp/base64.h>
#include <cryptopp/filters.h>
#include <cryptopp/modes.h>
#include <fcntl.h>
#include <json/writer.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include "app/JsonText.h"
#include "app/TextConv.h"

namespace kelsor {
namespace {

// The raw bytes of these characters are the key and the IV (no hex decoding).
constexpr std::string_view kSessionKey = "9c3e7a15b0d2f4869e1a3c5b7d9f0e24";
constexpr std::string_view kSessionIv = "Qh4!Rz8@Wm2#Xp6T";
static_assert(kSessionKey.size() == CryptoPP::AES::MAX_KEYLENGTH);
static_assert(kSessionIv.size() == CryptoPP::AES::BLOCKSIZE);

const CryptoPP::byte* Bytes(std::string_view text) {
    return reinterpret_cast<const CryptoPP::byte*>(text.data());
}

bool WriteWholeFile(const std::string& path, const std::string& content) {
    // A sibling file made with 0600 and renamed over the target: the token is
    // never readable by others, and an interrupted write keeps the old file.
    std::string temp = path + ".tmp";
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return false;
    }
    bool ok = ::fchmod(fd, 0600) == 0;  // a left-over temp file may carry other modes
    size_t done = 0;
    while (ok && done < content.size()) {
        ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        ok = n > 0;
        if (ok) {
            done += static_cast<size_t>(n);
        }
    }
    ok = ::close(fd) == 0 && ok;
    if (ok && std::rename(temp.c_str(), path.c_str()) == 0) {
        return true;
    }
    std::remove(temp.c_str());
    return false;
}

}  // namespace

std::string SessionPlaintext(const std::wstring& userid, const std::wstring& token) {
    Json::Value record(Json::objectValue);
    record["sp"] = "1.0";
    record["token"] = WideToAnsi(token);
    record["userid"] = WideToAnsi(userid);
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";  // compact: no spaces, no line breaks
    builder["emitUTF8"] = true;   // keep code-page bytes as they are, no \u escapes
    return Json::writeString(builder, record) + "\n";
}

std::string EncryptSessionText(std::string_view plaintext) {
    CryptoPP::CBC_Mode<CryptoPP::AES>::Encryption cipher(Bytes(kSessionKey), kSessionKey.size(),
                                                         Bytes(kSessionIv));
    std::string base64;
    CryptoPP::StringSource source(
        Bytes(plaintext), plaintext.size(), true,
        new CryptoPP::StreamTransformationFilter(
            cipher,
            new CryptoPP::Base64Encoder(new CryptoPP::StringSink(base64), false /*no breaks*/),
            CryptoPP::BlockPaddingSchemeDef::PKCS_PADDING));
    return base64;
}

std::optional<std::string> DecryptSessionText(std::string_view base64) {
    try {
        CryptoPP::CBC_Mode<CryptoPP::AES>::Decryption cipher(Bytes(kSessionKey), kSessionKey.size(),
                                                             Bytes(kSessionIv));
        std::string plaintext;
        CryptoPP::StringSource source(
            Bytes(base64), base64.size(), true,
            new CryptoPP::Base64Decoder(new CryptoPP::StreamTransformationFilter(
                cipher, new CryptoPP::StringSink(plaintext),
                CryptoPP::BlockPaddingSchemeDef::PKCS_PADDING)));
        return plaintext;
    } catch (const CryptoPP::Exception&) {
        // Truncated data or bad padding: the caller stays signed out.
        return std::nullopt;
    }
}

bool WriteSessionFile(const std::wstring& path, const std::wstring& userid,
                      const std::wstring& token) {
    std::wstring plaintext = AnsiToWide(SessionPlaintext(userid, token));
    if (plaintext.empty()) {
        return false;
    }
    return WriteWholeFile(WideToAnsi(path), EncryptSessionText(WideToAnsi(plaintext)));
}

bool ReadSessionFile(const std::wstring& path, std::wstring& userid, std::wstring& token) {
    std::ifstream in(WideToAnsi(path), std::ios::binary);
    if (!in) {
        return false;
    }
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::optional<std::string> plaintext = DecryptSessionText(WideToAnsi(AnsiToWide(content)));
    if (!plaintext) {
        return false;
    }
    Json::Value root;
    if (!ParseJsonObject(WideToAnsi(AnsiToWide(*plaintext)), root) ||
        StringMember(root, "sp") != "1.0") {
        return false;
    }
    std::wstring readUser = AnsiToWide(StringMember(root, "userid"));
    std::wstring readToken = AnsiToWide(StringMember(root, "token"));
    if (readUser.empty() || readToken.empty()) {
        return false;
    }
    userid = std::move(readUser);
    token = std::move(readToken);
    return true;
}

}  // namespace kelsor
