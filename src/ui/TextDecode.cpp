#include "ui/TextDecode.h"

#include <QByteArray>
#include <QUtf8StringView>

#include "text/Cp1252Utf8.h"

namespace k32 {

QString DecodeForDisplay(std::string_view bytes) {
    if (QUtf8StringView(bytes.data(), static_cast<qsizetype>(bytes.size())).isValidUtf8())
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    const std::string utf8 = ReadableUtf8FromWindows1252(bytes);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QString DecodeLogText(std::string_view bytes, TextEncoding encoding) {
    if (encoding == TextEncoding::Utf8)
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    const std::string utf8 = ReadableUtf8FromWindows1252(bytes);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QString DecodeHistoryText(std::string_view text) {
    const std::string utf8 = ReadableUtf8FromStored(text);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string EncodeFromDisplay(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return Windows1252FromReadableUtf8(
        std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

}  // namespace k32
