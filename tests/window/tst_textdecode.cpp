// The window's texts through the one Windows-1252 table: a text that is not UTF-8 shows every
// byte as the trend page does (text/Cp1252Utf8.h, readable form), UTF-8 stays UTF-8, and what
// the window shows types back to the bytes it came from.

#include <QtTest>
#include <string>

#include "text/Cp1252Utf8.h"
#include "ui/TextDecode.h"

using k32::DecodeForDisplay;
using k32::EncodeFromDisplay;

class TstTextDecode : public QObject {
    Q_OBJECT

  private slots:
    // Each byte after 0xFF (so that the text is never UTF-8), shown as the readable form has it.
    void everyByteAsTheTrendPageShowsIt() {
        for (int b = 0; b < 256; ++b) {
            const std::string bytes = std::string("\xff") + static_cast<char>(b);
            const std::string utf8 = k32::ReadableUtf8FromWindows1252(bytes);
            QCOMPARE(DecodeForDisplay(bytes),
                     QString::fromUtf8(utf8.data(), qsizetype(utf8.size())));
        }
    }

    void textsAndWhatTheyShow_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::addRow("UTF-8 path") << QByteArray("/srv/J\xc3\xb6rg/po.log")
                                    << QString::fromUtf16(u"/srv/J\u00f6rg/po.log");
        QTest::addRow("Windows-1252 name")
            << QByteArray("J\xf6rg \x80") << QString::fromUtf16(u"J\u00f6rg \u20ac");
        QTest::addRow("undefined bytes") << QByteArray("a\x81\x8d\x8f\x90\x9d")
                                         << QString::fromUtf16(u"a\ufffd\ufffd\ufffd\ufffd\ufffd");
        QTest::addRow("NUL stays NUL")
            << QByteArray("a\0\xe9", 3) << QString::fromUtf16(u"a\0\u00e9", 3);
    }
    void textsAndWhatTheyShow() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        QCOMPARE(DecodeForDisplay(std::string_view(bytes.constData(), std::size_t(bytes.size()))),
                 shown);
    }

    // A separator shown from the settings and applied again keeps its byte.
    void shownTextTypesBackToItsBytes() {
        for (int b = 1; b < 256; ++b) {
            const std::string byte(1, static_cast<char>(b));
            const bool undefined = b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
            QCOMPARE(EncodeFromDisplay(DecodeForDisplay(std::string("\xff") + byte)),
                     "\xff" + (undefined ? std::string("?") : byte));
        }
    }
};

QTEST_APPLESS_MAIN(TstTextDecode)
#include "tst_textdecode.moc"
