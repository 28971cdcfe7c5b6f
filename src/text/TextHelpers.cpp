#include "text/TextHelpers.h"

#include <sys/stat.h>

#include <cerrno>
#include <charconv>

#include "text/Errors.h"

namespace k32 {

namespace {
inline char Upper(char c) {
    // Branch-free so that the compiler vectorises the per-line loop.
    unsigned char u = static_cast<unsigned char>(c);
    return static_cast<char>(u - (static_cast<unsigned>(u - 'a') < 26u ? 32 : 0));
}
}  // namespace

Text UpperCaseText(std::string_view s) {
    Text t(s);
    char buf[kTextMax];
    for (std::size_t i = 0; i < t.size(); ++i)
        buf[i] = Upper(t[i]);
    return Text(std::string_view(buf, t.size()));
}

void UpperCaseInto(std::string_view s, std::string& out) {
    out.resize(s.size());
    char* d = out.data();
    const char* src = s.data();
    for (std::size_t i = 0, n = s.size(); i < n; ++i)
        d[i] = Upper(src[i]);
}

std::string_view TrimBlanks(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && s[b] == ' ')
        ++b;
    while (e > b && s[e - 1] == ' ')
        --e;
    return s.substr(b, e - b);
}

std::string_view TrimControls(std::string_view s) {
    auto low = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    std::size_t b = 0, e = s.size();
    while (b < e && low(s[b]))
        ++b;
    while (e > b && low(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

Text PadRight(std::string_view s, std::size_t n) {
    Text t(s);
    while (t.size() < n && t.size() < kTextMax)
        t.append(" ");
    return t;
}

bool IsAllDigits(std::string_view s) {
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

Text DigitsOnly(std::string_view s) {
    char buf[kTextMax];
    std::size_t n = 0;
    for (char c : s)
        if (c >= '0' && c <= '9' && n < kTextMax)
            buf[n++] = c;
    return Text(std::string_view(buf, n));
}

Text IntToText(std::int64_t v) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return Text(std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
}

std::uint64_t FileSizeOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        ThrowIoError(errno, path);
    return static_cast<std::uint64_t>(st.st_size);
}

}  // namespace k32
