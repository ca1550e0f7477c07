#include "platform/sys/CodePage.h"

#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <mutex>

namespace kelsor::platform {
namespace {

// wchar_t is UTF-32 in host byte order on Linux.
constexpr const char* kWideCodeset = "WCHAR_T";

std::mutex& CodePageMutex() {
    static std::mutex m;
    return m;
}

std::string& ExplicitCodePage() {
    static std::string name;
    return name;
}

std::string LocaleCodePage() {
    // The program calls setlocale(LC_ALL, "") at start; nl_langinfo then
    // names the locale's charset. "ANSI_X3.4-1968" is the C/POSIX locale.
    const char* cs = nl_langinfo(CODESET);
    if (cs == nullptr || *cs == '\0' || std::strcmp(cs, "ANSI_X3.4-1968") == 0 ||
        std::strcmp(cs, "ASCII") == 0) {
        return "UTF-8";
    }
    return cs;
}

class Iconv {
public:
    Iconv(const std::string& to, const std::string& from)
        : m_cd(iconv_open(to.c_str(), from.c_str())) {}
    ~Iconv() {
        if (valid()) {
            iconv_close(m_cd);
        }
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return m_cd; }

private:
    iconv_t m_cd;
};

// Converts `in` (inUnit bytes per unit) with a replacement for each unit that
// cannot be converted, appending the result to `out`.
template <typename Out>
bool ConvertWithReplacement(const Iconv& cd, const char* in, size_t inLen, size_t inUnit,
                            const std::string& replacement, Out& out) {
    if (!cd.valid()) {
        return false;
    }
    char buffer[4096];
    char* src = const_cast<char*>(in);
    size_t srcLeft = inLen;
    while (true) {
        char* dst = buffer;
        size_t dstLeft = sizeof(buffer);
        size_t rc = srcLeft == 0 ? iconv(cd.get(), nullptr, nullptr, &dst, &dstLeft)
                                 : iconv(cd.get(), &src, &srcLeft, &dst, &dstLeft);
        int err = errno;
        out.append(reinterpret_cast<const typename Out::value_type*>(buffer),
                   (dst - buffer) / sizeof(typename Out::value_type));
        if (rc != static_cast<size_t>(-1)) {
            if (srcLeft == 0) {
                // Flush any shift state once the input is consumed.
                dst = buffer;
                dstLeft = sizeof(buffer);
                iconv(cd.get(), nullptr, nullptr, &dst, &dstLeft);
                out.append(reinterpret_cast<const typename Out::value_type*>(buffer),
                           (dst - buffer) / sizeof(typename Out::value_type));
                return true;
            }
            continue;
        }
        if (err == E2BIG) {
            continue;
        }
        if (err == EILSEQ || err == EINVAL) {
            // Skip one unit of input and put the replacement in its place.
            size_t skip = std::min(inUnit, srcLeft);
            src += skip;
            srcLeft -= skip;
            out.append(reinterpret_cast<const typename Out::value_type*>(replacement.data()),
                       replacement.size() / sizeof(typename Out::value_type));
            if (srcLeft == 0) {
                return true;
            }
            continue;
        }
        return false;
    }
}

}  // namespace

std::string CodePage() {
    std::lock_guard lock(CodePageMutex());
    if (!ExplicitCodePage().empty()) {
        return ExplicitCodePage();
    }
    return LocaleCodePage();
}

bool SetCodePage(const std::string& name) {
    if (!name.empty()) {
        Iconv probe(name, kWideCodeset);
        if (!probe.valid()) {
            return false;
        }
    }
    std::lock_guard lock(CodePageMutex());
    ExplicitCodePage() = name;
    return true;
}

std::string WideToCodePage(std::wstring_view text, const std::string& codePage) {
    std::string out;
    if (text.empty()) {
        return out;
    }
    Iconv cd(codePage, kWideCodeset);
    if (!ConvertWithReplacement(cd, reinterpret_cast<const char*>(text.data()),
                                text.size() * sizeof(wchar_t), sizeof(wchar_t), "?", out)) {
        return {};
    }
    return out;
}

std::wstring CodePageToWide(std::string_view bytes, const std::string& codePage) {
    std::wstring out;
    if (bytes.empty()) {
        return out;
    }
    Iconv cd(kWideCodeset, codePage);
    const wchar_t replacement = 0xFFFD;
    std::string rep(reinterpret_cast<const char*>(&replacement), sizeof(wchar_t));
    if (!ConvertWithReplacement(cd, bytes.data(), bytes.size(), 1, rep, out)) {
        return {};
    }
    return out;
}

std::string WideToUtf8(std::wstring_view text) {
    return WideToCodePage(text, "UTF-8");
}

std::wstring Utf8ToWide(std::string_view bytes) {
    return CodePageToWide(bytes, "UTF-8");
}

}  // namespace kelsor::platform
