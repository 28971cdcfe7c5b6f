// The window's texts through the one Windows-1252 table: a text that is not UTF-8 shows every
// byte as the trend page does (text/Cp1252Utf8.h, readable form), UTF-8 stays UTF-8, and what
// the window shows types back to the bytes it came from. A record's text shows in its log's
// encoding, a history text as UTF-8.

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

    // A record's text shows in its log's encoding, whatever it looks like: the bytes of "Ü" in
    // UTF-8 are two characters of a Windows-1252 log. A history text is UTF-8, its stand-ins and
    // bytes of no sequence shown readable.
    void logAndHistoryTexts_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("utf8Log");
        QTest::addColumn<QString>("logShown");
        QTest::addColumn<QString>("historyShown");
        QTest::addRow("UTF-8") << QByteArray("M\xc3\x9cLLER \xc5\x81ukasz") << true
                               << QString::fromUtf16(u"M\u00dcLLER \u0141ukasz")
                               << QString::fromUtf16(u"M\u00dcLLER \u0141ukasz");
        QTest::addRow("UTF-8 bytes in a Windows-1252 log")
            << QByteArray("M\xc3\x9cLLER") << false << QString::fromUtf16(u"M\u00c3\u0153LLER")
            << QString::fromUtf16(u"M\u00dcLLER");
        QTest::addRow("a character cut in a UTF-8 log")
            << QByteArray("\xc5\x81ukas\xc5") << true << QString::fromUtf16(u"\u0141ukas\ufffd")
            << QString::fromUtf16(u"\u0141ukas\ufffd");
        QTest::addRow("stand-ins of a Windows-1252 text")
            << QByteArray("a\xe2\x90\x80\xc2\x81") << true << QString::fromUtf16(u"a\u2400\u0081")
            << QString::fromUtf16(u"a\0\ufffd", 3);
    }
    void logAndHistoryTexts() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, utf8Log);
        QFETCH(QString, logShown);
        QFETCH(QString, historyShown);
        const std::string_view text(bytes.constData(), std::size_t(bytes.size()));
        QCOMPARE(k32::DecodeLogText(
                     text, utf8Log ? k32::TextEncoding::Utf8 : k32::TextEncoding::Windows1252),
                 logShown);
        QCOMPARE(k32::DecodeHistoryText(text), historyShown);
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
