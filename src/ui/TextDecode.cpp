#include "ui/TextDecode.h"

#include <QUtf8StringView>
#include <array>

namespace k32 {

namespace {

// Windows-1252 bytes 0x80 to 0x9F; the five unassigned ones map to themselves.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

QString DecodeForDisplay(std::string_view bytes) {
    if (QUtf8StringView(bytes.data(), static_cast<qsizetype>(bytes.size())).isValidUtf8())
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        out.append(b >= 0x80 && b < 0xA0 ? QChar(kHigh[b - 0x80]) : QChar(b));
    }
    return out;
}

std::string EncodeFromDisplay(const QString& text) {
    std::string out;
    for (QChar qc : text) {
        const char16_t u = qc.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            out.push_back(static_cast<char>(u));
            continue;
        }
        char byte = '?';
        for (std::size_t i = 0; i < kHigh.size(); ++i)
            if (kHigh[i] == u)
                byte = static_cast<char>(0x80 + i);
        out.push_back(byte);
    }
    return out;
}

}  // namespace k32
