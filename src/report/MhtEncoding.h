#pragma once
// How values go into the web report. The HTML part is quoted-printable, so a value is first
// HTML-escaped (& < > ", as text/HtmlEscape.h says) and then quoted-printable encoded ("=" and
// every byte of 128 or more, and control bytes, as "=" and two upper-case hex digits). Plain
// ASCII without those characters comes out unchanged.

#include <string>
#include <string_view>
#include <vector>

namespace k32 {

std::string HtmlValue(std::string_view value);
// True when the value goes into the page unchanged.
bool IsPlainHtmlValue(std::string_view value);
void AppendHtmlValue(std::string& out, std::string_view value);

// A well-formed file URL for a path: "file://" and the absolute path (made absolute from the
// working folder when it is relative), with bytes outside the URL's plain characters
// percent-encoded.
std::string FileUrl(std::string_view path);

// The bytes in base64, as lines of 76 characters, the last one shorter.
void AppendBase64Lines(const unsigned char* data, std::size_t size,
                       std::vector<std::string>& lines);

}  // namespace k32
