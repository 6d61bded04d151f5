#include "versionfile.h"

#include <QtTest>

#include <climits>

class TestVersionFile : public QObject
{
    Q_OBJECT

private slots:
    void versionToInt_data()
    {
        QTest::addColumn<QByteArray>("version");
        QTest::addColumn<int>("value");
        QTest::newRow("empty") << QByteArray("") << 0;
        QTest::newRow("9") << QByteArray("9") << 57;
        QTest::newRow("10") << QByteArray("10") << 538;
        QTest::newRow("1.0") << QByteArray("1.0") << 5408;
        QTest::newRow("1.0.0915") << QByteArray("1.0.0915") << 541314243;
        QTest::newRow("1.0.1001") << QByteArray("1.0.1001") << 541314329;
        QTest::newRow("1.0.10 above 1.0.9 (longer)") << QByteArray("1.0.10") << 5413138;
        QTest::newRow("1.0.9") << QByteArray("1.0.9") << 541317;
        // Bytes count as signed 8-bit values.
        QTest::newRow("byte 0xff") << QByteArray("\xff") << -1;
        QTest::newRow("é in UTF-8") << QByteArray("\xc3\xa9") << -61 * 10 - 87;
        // More than eight bytes no longer fit: held at the end of the range instead of overflowing.
        QTest::newRow("nine bytes") << QByteArray("1.0.09150") << INT_MAX;
        QTest::newRow("very long") << QByteArray(200, '9') << INT_MAX;
        QTest::newRow("long, negative bytes") << QByteArray(12, '\x80') << INT_MIN;
    }

    void versionToInt()
    {
        QFETCH(QByteArray, version);
        QFETCH(int, value);
        QCOMPARE(VersionFile::versionToInt(version.constData()), value);
    }

    void versionToIntOfNull() { QCOMPARE(VersionFile::versionToInt(nullptr), 0); }

    void readVersions_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("minVersion");
        QTest::addColumn<QString>("maxVersion");
        const QString min = QStringLiteral("1.0.0900");
        const QString max = QStringLiteral("1.0.1001");
        const QString none;

        QTest::newRow("plain literal") << QByteArray(R"({MinVersion:"1.0.0900", MaxVersion:"1.0.1001"})") << min << max;
        QTest::newRow("quoted keys") << QByteArray(R"({"MinVersion":"1.0.0900",'MaxVersion':"1.0.1001"})") << min
                                     << max;
        QTest::newRow("single quotes") << QByteArray("{MinVersion:'1.0.0900',MaxVersion:'1.0.1001'}") << min << max;
        QTest::newRow("JSON object") << QByteArray(
            "{\n  \"MinVersion\": \"1.0.0900\",\n  \"MaxVersion\": \"1.0.1001\"\n}\n")
                                     << min << max;
        QTest::newRow("white space, trailing comma, semicolon, byte-order mark")
            << QByteArray("\xef\xbb\xbf \r\n{ \tMinVersion : \"1.0.0900\" ,\n MaxVersion:\"1.0.1001\", } ;\r\n") << min
            << max;
        QTest::newRow("extra properties")
            << QByteArray(R"({Name:"Brisko桌面", MinVersion:"1.0.0900", Size:2048, MaxVersion:"1.0.1001", $n_1:'x'})")
            << min << max;
        QTest::newRow("escapes") << QByteArray(
            "{MinVersion:\"1.0\\x2e0900\", MaxVersion:\"1.0.1\\u0030\\u00301\", N:\"\\\"\\'\\\\\\/\"}")
                                 << min << max;
        QTest::newRow("one-letter escapes") << QByteArray("{MinVersion:'\\b\\f\\n\\r\\t\\v', MaxVersion:'\\0'}")
                                            << QStringLiteral("\b\f\n\r\t\v") << QString(QChar(0));
        QTest::newRow("a repeated key: the last counts")
            << QByteArray(R"({MinVersion:"0", MinVersion:"1.0.0900", MaxVersion:"1.0.1001"})") << min << max;
        QTest::newRow("ends at a zero byte")
            << QByteArray(R"({MinVersion:"1.0.0900",MaxVersion:"1.0.1001"})") + QByteArray(1, '\0') + "while(1){}"
            << min << max;
        // Numbers stand for the text a browser shows for them.
        QTest::newRow("numbers") << QByteArray("{MinVersion:1.50, MaxVersion:2}") << QStringLiteral("1.5")
                                 << QStringLiteral("2");
        QTest::newRow("numbers, exponent forms") << QByteArray("{MinVersion:1e21, MaxVersion:-.0000015E-1}")
                                                 << QStringLiteral("1e+21") << QStringLiteral("-1.5e-7");
        QTest::newRow("numbers, plain forms") << QByteArray("{MinVersion:123456789012345678901, MaxVersion:0.000001}")
                                              << QStringLiteral("123456789012345680000") << QStringLiteral("0.000001");
        QTest::newRow("one property missing") << QByteArray(R"({MaxVersion:"1.0.1001"})") << none << max;
        QTest::newRow("empty object") << QByteArray("{}") << none << none;

        QTest::newRow("empty") << QByteArray() << none << none;
        QTest::newRow("blank") << QByteArray(" \n ") << none << none;
        QTest::newRow("HTML") << QByteArray(
            "<html><head><title>404 Not Found</title></head><body>Not Found</body></html>")
                              << none << none;
        QTest::newRow("JSON with nested values")
            << QByteArray(R"({"MinVersion":"1.0.0900","MaxVersion":"1.0.1001","Notes":["a"],"Beta":true})") << none
            << none;
        QTest::newRow("10 MB body") << QByteArray(10 * 1024 * 1024, ' ')
                + R"({MinVersion:"1.0.0900",MaxVersion:"1.0.1001"})"
                                    << none << none;
        QTest::newRow("a program") << QByteArray("while(1){}") << none << none;
        QTest::newRow("a program after the literal")
            << QByteArray(R"({MinVersion:"1.0.0900",MaxVersion:"1.0.1001"}; while(1){})") << none << none;
        QTest::newRow("a call as a value")
            << QByteArray(R"({MinVersion:(function(){return "1.0.0900"})(),MaxVersion:"1.0.1001"})") << none << none;
        QTest::newRow("a sum as a value")
            << QByteArray(R"({MinVersion:"1.0."+"0900",MaxVersion:"1.0.1001"})") << none << none;
        QTest::newRow("an assignment") << QByteArray(R"(x={MinVersion:"1.0.0900",MaxVersion:"1.0.1001"})") << none
                                       << none;
        QTest::newRow("in parentheses") << QByteArray(R"(({MinVersion:"1.0.0900",MaxVersion:"1.0.1001"}))") << none
                                        << none;
        QTest::newRow("two objects") << QByteArray(R"({MinVersion:"1"}{MaxVersion:"2"})") << none << none;
        QTest::newRow("a comment") << QByteArray(R"({MinVersion:"1.0.0900" /* min */, MaxVersion:"1.0.1001"})") << none
                                   << none;
        QTest::newRow("invalid UTF-8") << QByteArray("{MinVersion:\"1.0.0900\xff\",MaxVersion:\"1.0.1001\"}") << none
                                       << none;
        QTest::newRow("unterminated string")
            << QByteArray("{MinVersion:\"1.0.0900,MaxVersion:\"1.0.1001\"}") << none << none;
        QTest::newRow("line break in a string")
            << QByteArray("{MinVersion:\"1.0\n.0900\",MaxVersion:\"1.0.1001\"}") << none << none;
        QTest::newRow("no closing brace")
            << QByteArray(R"({MinVersion:"1.0.0900",MaxVersion:"1.0.1001")") << none << none;
        QTest::newRow("missing comma") << QByteArray(R"({MinVersion:"1.0.0900" MaxVersion:"1.0.1001"})") << none
                                       << none;
        QTest::newRow("two commas") << QByteArray(R"({MinVersion:"1.0.0900",,MaxVersion:"1.0.1001"})") << none << none;
        QTest::newRow("unquoted word value") << QByteArray(R"({MinVersion:v1,MaxVersion:"1.0.1001"})") << none << none;
        QTest::newRow("null value") << QByteArray(R"({MinVersion:null,MaxVersion:"1.0.1001"})") << none << none;
        QTest::newRow("octal-looking number")
            << QByteArray(R"({MinVersion:0915,MaxVersion:"1.0.1001"})") << none << none;
        QTest::newRow("hexadecimal number") << QByteArray(R"({MinVersion:0x10,MaxVersion:"1.0.1001"})") << none << none;
        QTest::newRow("octal escape") << QByteArray(R"({MinVersion:"\101",MaxVersion:"1.0.1001"})") << none << none;
        QTest::newRow("two semicolons") << QByteArray(R"({MinVersion:"1.0.0900",MaxVersion:"1.0.1001"};;)") << none
                                        << none;
    }

    void readVersions()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, minVersion);
        QFETCH(QString, maxVersion);
        const VersionFile::Versions versions = VersionFile::readVersions(body);
        QCOMPARE(versions.minVersion, minVersion);
        QCOMPARE(versions.maxVersion, maxVersion);
    }

    void decodeBodyLimits()
    {
        const QByteArray literal = R"({MinVersion:"1",MaxVersion:"2"})";
        // Up to the limit a body is read; one byte more and it is no version file.
        const QByteArray atLimit = QByteArray(VersionFile::MaxBodyBytes - literal.size(), ' ') + literal;
        QCOMPARE(VersionFile::decodeBody(atLimit).size(), VersionFile::MaxBodyBytes);
        QCOMPARE(VersionFile::readVersions(atLimit).maxVersion, QStringLiteral("2"));
        QVERIFY(VersionFile::decodeBody(" " + atLimit).isEmpty());
        QCOMPARE(VersionFile::decodeBody("版本"), QStringLiteral("版本"));
    }
};

QTEST_GUILESS_MAIN(TestVersionFile)
#include "tst_versionfile.moc"
