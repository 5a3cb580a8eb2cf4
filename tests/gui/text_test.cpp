// The Windows-1250 table and the RTF writer.
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTest>

#include "Cp1250.h"
#include "RtfReader.h"
#include "RtfWriter.h"

namespace {

std::string AllBytes()
{
    std::string bytes;
    for (int b = 0; b < 256; ++b)
        bytes.push_back(static_cast<char>(b));
    return bytes;
}

const QString kPolish = QStringLiteral("Zażółć gęślą jaźń ZAŻÓŁĆ GĘŚLĄ JAŹŃ 23,4 °C");

} // namespace

class TextTest : public QObject {
    Q_OBJECT

private slots:
    void decodingAgreesWithQtsCodecOnEveryAssignedByte()
    {
        QStringDecoder reference("windows-1250");
        QVERIFY(reference.isValid());
        const std::string bytes = AllBytes();
        const QString ours = cp1250::Decode(bytes);
        QCOMPARE(ours.size(), 256);
        for (int b = 0; b < 256; ++b) {
            if (b == 0x81 || b == 0x83 || b == 0x88 || b == 0x90 || b == 0x98)
                continue; // unassigned in the code page; checked below
            const QString expected = reference(QByteArray(1, static_cast<char>(b)));
            QVERIFY2(ours.at(b) == expected.at(0), qPrintable(QStringLiteral("byte 0x%1").arg(b, 2, 16)));
        }
    }

    void unassignedBytesSurviveARoundTrip()
    {
        const std::string bytes = AllBytes();
        QCOMPARE(cp1250::Encode(cp1250::Decode(bytes)), bytes);
        QCOMPARE(cp1250::Decode("\x81").at(0).unicode(), char16_t(0x81));
    }

    void encodingAgreesWithQtsCodec()
    {
        QStringEncoder reference("windows-1250");
        const QByteArray expected = reference(kPolish);
        QCOMPARE(QByteArray::fromStdString(cp1250::Encode(kPolish)), expected);
        QCOMPARE(cp1250::Encode(QStringLiteral("a\u4E2Db")), std::string("a?b"));
    }

    void rtfRoundTripsText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString();
        QTest::newRow("polish") << kPolish;
        QTest::newRow("special characters") << QStringLiteral("a\\b {c} \\par{}\\'e9");
        QTest::newRow("lines") << QStringLiteral("pierwsza\ndruga\n\nczwarta\n");
        QTest::newRow("tab and quotes") << QStringLiteral("x\ty „cytat” – koniec");
        QTest::newRow("outside the code page") << QStringLiteral("Привет 中文");
    }

    void rtfRoundTripsText()
    {
        QFETCH(QString, text);
        const std::string rtf = TextToRtf(text);
        const rtftest::Parsed parsed = rtftest::ReadRtf(rtf);
        QVERIFY2(parsed.Valid, rtf.c_str());
        QCOMPARE(parsed.Text, text);
    }

    void rtfIsSevenBitWithCodePage1250()
    {
        const std::string rtf = TextToRtf(kPolish + QStringLiteral("\n中"));
        QVERIFY(rtf.find("\\ansicpg1250") != std::string::npos);
        for (char c : rtf)
            QVERIFY(static_cast<unsigned char>(c) < 0x80);
        QVERIFY(rtf.find("\\'bf") != std::string::npos); // ż
    }

    void crLfIsOneLineBreak()
    {
        const rtftest::Parsed parsed = rtftest::ReadRtf(TextToRtf(QStringLiteral("a\r\nb\rc")));
        QCOMPARE(parsed.Text, QStringLiteral("a\nb\nc"));
    }
};

QTEST_GUILESS_MAIN(TextTest)
#include "text_test.moc"
