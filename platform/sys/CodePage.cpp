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

// The code page set by SetCodePage (empty: the locale's), shared by threads.
struct ExplicitCodePage {
    std::mutex mutex;
    std::string name;
};

ExplicitCodePage& Explicit() {
    static ExplicitCodePage state;
    return state;
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

// All of `in` from one code set to the other, with `replacement` for what
// the target cannot hold; empty when the conversion cannot run.
template <typename Out>
Out Convert(const std::string& to, const std::string& from, const char* in, size_t inLen,
            size_t inUnit, const std::string& replacement) {
    Out out;
    if (inLen == 0) {
        return out;
    }
    Iconv cd(to, from);
    if (!ConvertWithReplacement(cd, in, inLen, inUnit, replacement, out)) {
        return {};
    }
    return out;
}

}  // namespace

std::string CodePage() {
    std::lock_guard lock(Explicit().mutex);
    if (!Explicit().name.empty()) {
        return Explicit().name;
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
    std::lock_guard lock(Explicit().mutex);
    Explicit().name = name;
    return true;
}

std::string WideToCodePage(std::wstring_view text, const std::string& codePage) {
    return Convert<std::string>(codePage, kWideCodeset, reinterpret_cast<const char*>(text.data()),
                                text.size() * sizeof(wchar_t), sizeof(wchar_t), "?");
}

std::wstring CodePageToWide(std::string_view bytes, const std::string& codePage) {
    const wchar_t replacement = 0xFFFD;
    return Convert<std::wstring>(
        kWideCodeset, codePage, bytes.data(), bytes.size(), 1,
        std::string(reinterpret_cast<const char*>(&replacement), sizeof(wchar_t)));
}

std::string WideToUtf8(std::wstring_view text) {
    return WideToCodePage(text, "UTF-8");
}

std::wstring Utf8ToWide(std::string_view bytes) {
    return CodePageToWide(bytes, "UTF-8");
}

}  // namespace kelsor::platform
