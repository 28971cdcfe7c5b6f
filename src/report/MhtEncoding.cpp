#include "report/MhtEncoding.h"

#include <unistd.h>

#include <string>

#include "text/HtmlEscape.h"

namespace k32 {

namespace {
constexpr char kHex[] = "0123456789ABCDEF";

void AppendHexEscape(std::string& out, char prefix, unsigned char b) {
    out.push_back(prefix);
    out.push_back(kHex[b >> 4]);
    out.push_back(kHex[b & 15]);
}
}  // namespace

namespace {
struct PlainTable {
    bool plain[256] = {};
    constexpr PlainTable() {
        for (int b = 32; b < 128; ++b)
            plain[b] = b != '=' && HtmlEntity(static_cast<char>(b)).empty();
    }
};
constexpr PlainTable kPlain;
}  // namespace

bool IsPlainHtmlValue(std::string_view value) {
    for (char c : value)
        if (!kPlain.plain[static_cast<unsigned char>(c)])
            return false;
    return true;
}

std::string HtmlValue(std::string_view value) {
    std::string out;
    AppendHtmlValue(out, value);
    return out;
}

void AppendHtmlValue(std::string& out, std::string_view value) {
    // Most values need nothing: names, counts and sizes in plain ASCII.
    std::size_t i = 0;
    while (i < value.size() && kPlain.plain[static_cast<unsigned char>(value[i])])
        ++i;
    out.append(value.substr(0, i));
    if (i == value.size())
        return;
    value.remove_prefix(i);
    auto put = [&](unsigned char b) {
        if (b == '=' || b >= 128 || (b < 32 && b != '\t'))
            AppendHexEscape(out, '=', b);
        else
            out.push_back(static_cast<char>(b));
    };
    for (char c : value) {
        if (const std::string_view entity = HtmlEntity(c); !entity.empty())
            out += entity;
        else
            put(static_cast<unsigned char>(c));
    }
}

std::string FileUrl(std::string_view path) {
    std::string absolute(path);
    if (absolute.empty() || absolute[0] != '/') {
        std::string cwd(4096, '\0');
        if (::getcwd(cwd.data(), cwd.size()) != nullptr) {
            cwd.resize(cwd.find('\0'));
            absolute = cwd + (absolute.empty() ? "" : "/" + absolute);
        } else {
            absolute = "/" + absolute;
        }
    }
    std::string url = "file://";
    for (char c : absolute) {
        const auto b = static_cast<unsigned char>(c);
        const bool plain = (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') ||
                           (b >= '0' && b <= '9') || b == '/' || b == '-' || b == '.' || b == '_' ||
                           b == '~';
        if (plain)
            url.push_back(c);
        else
            AppendHexEscape(url, '%', b);
    }
    return url;
}

void AppendBase64Lines(const unsigned char* data, std::size_t size,
                       std::vector<std::string>& lines) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string all;
    for (std::size_t i = 0; i < size; i += 3) {
        const unsigned v = (data[i] << 16) | (i + 1 < size ? data[i + 1] << 8 : 0) |
                           (i + 2 < size ? data[i + 2] : 0);
        all.push_back(kAlphabet[(v >> 18) & 63]);
        all.push_back(kAlphabet[(v >> 12) & 63]);
        all.push_back(i + 1 < size ? kAlphabet[(v >> 6) & 63] : '=');
        all.push_back(i + 2 < size ? kAlphabet[v & 63] : '=');
    }
    for (std::size_t p = 0; p < all.size(); p += 76)
        lines.push_back(all.substr(p, 76));
}

}  // namespace k32
