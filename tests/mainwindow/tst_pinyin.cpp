// Reading names in pinyin: the table compiled into the program, and how a keyword of Latin letters matches a
// name through the readings of its characters.
#include "pinyin.h"
#include "unihanreadings.h"

#include <QtTest>

#include <string>

Q_DECLARE_METATYPE(PinyinMatcher::Match)

namespace
{
QString text(const std::vector<std::string>& spellings)
{
    QStringList list;
    for (const std::string& spelling : spellings) {
        list.append(QString::fromStdString(spelling));
    }
    return list.join(QLatin1Char(' '));
}
} // namespace

class TestPinyin : public QObject
{
    Q_OBJECT

private slots:
    void matches_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("keyword");
        QTest::addColumn<PinyinMatcher::Match>("expected");
        const auto none = PinyinMatcher::Match::None;
        const auto start = PinyinMatcher::Match::FromStart;
        const auto within = PinyinMatcher::Match::Within;
        QTest::newRow("initials") << "微信"
                                  << "wx" << start;
        QTest::newRow("syllables") << "微信"
                                   << "weixin" << start;
        QTest::newRow("one syllable inside") << "微信"
                                             << "xin" << within;
        QTest::newRow("initial inside") << "我的微信"
                                        << "wx" << within;
        QTest::newRow("乐 read yue") << "音乐"
                                     << "yinyue" << start;
        QTest::newRow("乐 read le") << "音乐"
                                    << "yinle" << start;
        QTest::newRow("行 read hang") << "银行"
                                      << "yinhang" << start;
        QTest::newRow("行 read xing") << "银行"
                                      << "yinxing" << start;
        QTest::newRow("重 read zhong, initials") << "重庆"
                                                 << "cq" << start;
        QTest::newRow("重 read zhong") << "重庆"
                                       << "zhongqing" << start;
        QTest::newRow("重 read chong") << "重庆"
                                       << "chongqing" << start;
        QTest::newRow("a two-letter initial") << "重庆"
                                              << "zhq" << start;
        QTest::newRow("initials of five") << "网易云音乐"
                                          << "wyyyy" << start;
        QTest::newRow("initials and syllables mixed") << "网易云音乐"
                                                      << "wyiyun" << start;
        QTest::newRow("a partial last syllable") << "微信"
                                                 << "weix" << start;
        QTest::newRow("spaces in the keyword") << "微信"
                                               << "wei xin" << start;
        QTest::newRow("spaces in the name") << "网易 云音乐"
                                            << "wyy" << start;
        QTest::newRow("upper case") << "微信"
                                    << "WX" << start;
        QTest::newRow("mixed case") << "微信"
                                    << "WeiXin" << start;
        QTest::newRow("Latin letters of a mixed name match themselves") << "QQ音乐"
                                                                        << "qqyy" << start;
        QTest::newRow("Latin letters in either case") << "qq音乐"
                                                      << "QQyinyue" << start;
        QTest::newRow("after Latin letters") << "QQ音乐"
                                             << "yy" << within;
        QTest::newRow("digits match themselves") << "微信2"
                                                 << "wx2" << start;
        QTest::newRow("ü typed as v") << "绿色"
                                      << "lvse" << start;
        QTest::newRow("ü typed as u") << "绿色"
                                      << "luse" << start;
        QTest::newRow("a Latin name is not read by initials") << "Google Chrome"
                                                              << "gc" << none;
        QTest::newRow("a Latin name is left to the store's search") << "Google Chrome"
                                                                    << "chrome" << none;
        QTest::newRow("initials out of order") << "微信"
                                               << "xw" << none;
        QTest::newRow("a letter no reading starts with") << "微信"
                                                         << "wq" << none;
        QTest::newRow("more than the name holds") << "微信"
                                                  << "weixinx" << none;
        QTest::newRow("a character without readings breaks the run") << "微·信"
                                                                     << "wx" << none;
        QTest::newRow("a miss") << "文档"
                                << "qzxv" << none;
        QTest::newRow("an empty keyword") << "微信"
                                          << "" << none;
        QTest::newRow("a keyword of spaces") << "微信"
                                             << "  " << none;
        QTest::newRow("a keyword without letters") << "微信12"
                                                   << "12" << none;
        QTest::newRow("a keyword with Chinese characters") << "微信"
                                                           << "微x" << none;
        QTest::newRow("a long keyword") << QStringLiteral("中华人民共和国中华人民共和国中华人民共和国")
                                        << QStringLiteral(
                                               "zhonghuarenmingongheguozhonghuarenmingongheguozhonghuarenmingongheguo")
                                        << start;
        QTest::newRow("a long keyword inside")
            << QStringLiteral("在中华人民共和国中华人民共和国中华人民共和国")
            << QStringLiteral("zhonghuarenmingongheguozhonghuarenmingongheguozhonghuarenmingongheguo") << within;
    }

    void matches()
    {
        QFETCH(QString, name);
        QFETCH(QString, keyword);
        QFETCH(PinyinMatcher::Match, expected);
        const PinyinMatcher matcher(keyword);
        const QByteArray utf8 = name.toUtf8();
        QCOMPARE(matcher.match(std::string_view(utf8.constData(), size_t(utf8.size()))), expected);
    }

    void textThatIsNotWellFormed()
    {
        // A stray byte reads as a character without readings; what follows it still counts.
        const PinyinMatcher matcher(QStringLiteral("wx"));
        QCOMPARE(matcher.match("\xff\xe5\xbe\xae\xe4\xbf\xa1"), PinyinMatcher::Match::Within);
        // A character cut short ends the text.
        QCOMPARE(matcher.match("\xe5\xbe\xae\xe4\xbf"), PinyinMatcher::Match::None);
    }

    void readings_data()
    {
        QTest::addColumn<uint>("character");
        QTest::addColumn<QString>("expected");
        QTest::newRow("微") << uint(U'微') << "wei";
        QTest::newRow("乐: the modern dictionaries add yue") << uint(U'乐') << "le yue";
        QTest::newRow("女: ü both ways") << uint(U'女') << "nu nv ru";
        QTest::newRow("嗯: syllables without vowels") << uint(U'嗯') << "n ng";
        QTest::newRow("a character of extension B") << uint(0x20001) << "qi";
        QTest::newRow("an ideograph Unihan gives no reading") << uint(0x5159) << "";
        QTest::newRow("a Latin letter") << uint('a') << "";
        QTest::newRow("a code point beyond the table") << uint(0x10fffd) << "";
    }

    void readings()
    {
        QFETCH(uint, character);
        QFETCH(QString, expected);
        QCOMPARE(Pinyin::readings(char32_t(character)).join(QLatin1Char(' ')), expected);
        // 行 and 重 have more readings than these, and these among them.
        for (const char* reading : { "xing", "hang" }) {
            QVERIFY(Pinyin::readings(U'行').contains(QLatin1String(reading)));
        }
        for (const char* reading : { "zhong", "chong" }) {
            QVERIFY(Pinyin::readings(U'重').contains(QLatin1String(reading)));
        }
    }

    void spellings_data()
    {
        QTest::addColumn<QString>("reading");
        QTest::addColumn<QString>("expected");
        QTest::newRow("tone mark") << "xìn"
                                   << "xin";
        QTest::newRow("ü") << "lǜ"
                           << "lv lu";
        QTest::newRow("ê with a tone") << "ê̄"
                                       << "e";
        QTest::newRow("m with a tone") << "ḿ"
                                       << "m";
        QTest::newRow("ng with a tone") << "ňg"
                                        << "ng";
        QTest::newRow("not pinyin") << "x1"
                                    << "";
    }

    void spellings()
    {
        QFETCH(QString, reading);
        QFETCH(QString, expected);
        QCOMPARE(text(UnihanReadings::spellings(reading)), expected);
    }

    void tableHoldsEveryReadingOfUnihan()
    {
        UnihanReadings::Table unihan;
        QString error;
        QVERIFY2(UnihanReadings::read(QStringLiteral(BRISKO_UNIHAN_READINGS), unihan, error), qPrintable(error));
        QCOMPARE(Pinyin::characterCount(), int(unihan.size()));
        for (const auto& [code, spellings] : unihan) {
            QCOMPARE(Pinyin::readings(code).join(QLatin1Char(' ')), text(spellings));
        }
    }
};

QTEST_GUILESS_MAIN(TestPinyin)
#include "tst_pinyin.moc"
