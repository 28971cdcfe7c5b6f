#pragma once
// The one HTML escaping of the program, for text and attribute values in double quotes: the
// four characters & < > " become entities, every other byte stands for itself. The web
// reports (report/MhtEncoding, which then encodes the page quoted-printable) and the trend page
// (history/TrendsReport) escape through it.

#include <string>
#include <string_view>

namespace k32 {

// The entity that `c` is written as, or empty when it is written as itself.
constexpr std::string_view HtmlEntity(char c) {
    switch (c) {
        case '&':
            return "&amp;";
        case '<':
            return "&lt;";
        case '>':
            return "&gt;";
        case '"':
            return "&quot;";
        default:
            return {};
    }
}

// Appends `text` to `out`, each character that HtmlEntity names as its entity.
inline void AppendHtmlEscaped(std::string& out, std::string_view text) {
    for (char c : text) {
        if (const std::string_view entity = HtmlEntity(c); !entity.empty())
            out += entity;
        else
            out += c;
    }
}

}  // namespace k32
