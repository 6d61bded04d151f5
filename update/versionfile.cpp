#include "versionfile.h"

#include <QHash>
#include <QStringDecoder>

#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <optional>

namespace VersionFile
{
int versionToInt(const char* sVersion)
{
    if (!sVersion) {
        return 0;
    }
    // Summed from the last byte, each weight ten times the one before: every step is exact for sums that fit
    // an int, and a longer string still sums without overflow (a double holds it) before it is held in range.
    const size_t n = std::strlen(sVersion);
    double sum = 0;
    double weight = 1;
    for (size_t i = n; i > 0; --i) {
        const auto c = static_cast<signed char>(sVersion[i - 1]);
        sum += weight * c;
        weight *= 10;
    }
    if (sum >= double(INT_MAX)) {
        return INT_MAX;
    }
    if (sum <= double(INT_MIN)) {
        return INT_MIN;
    }
    return static_cast<int>(sum);
}

QString decodeBody(const QByteArray& body)
{
    if (body.size() > MaxBodyBytes) {
        return QString();
    }
    const qsizetype zero = body.indexOf('\0');
    const QByteArray bytes = zero < 0 ? body : body.left(zero);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        return QString();
    }
    return text;
}

namespace
{
/// The text a browser shows for a number (ECMAScript's Number to String): the shortest digits that read back
/// as the same number, plainly written from 1e-6 up to below 1e21 and in exponent form outside.
QString numberText(double value)
{
    if (std::isinf(value)) {
        return value < 0 ? QStringLiteral("-Infinity") : QStringLiteral("Infinity");
    }
    if (value == 0) {
        return QStringLiteral("0");
    }
    char buffer[64];
    const std::to_chars_result result
        = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::scientific);
    const QString scientific = QString::fromLatin1(buffer, int(result.ptr - buffer)); // d.ddde+XX
    const int e = scientific.indexOf(QLatin1Char('e'));
    QString digits = scientific.left(e);
    digits.remove(QLatin1Char('.'));
    const int k = int(digits.size());
    const int n = scientific.mid(e + 1).toInt() + 1; // the decimal point stands after n digits
    QString text;
    if (k <= n && n <= 21) {
        text = digits + QString(n - k, QLatin1Char('0'));
    } else if (0 < n && n <= 21) {
        text = digits.left(n) + QLatin1Char('.') + digits.mid(n);
    } else if (-6 < n && n <= 0) {
        text = QLatin1String("0.") + QString(-n, QLatin1Char('0')) + digits;
    } else {
        const int exponent = n - 1;
        text = digits.left(1);
        if (k > 1) {
            text += QLatin1Char('.') + digits.mid(1);
        }
        text += QLatin1String(exponent < 0 ? "e-" : "e+") + QString::number(std::abs(exponent));
    }
    return value < 0 ? QLatin1Char('-') + text : text;
}

/// Reads one object literal with string and number values; any other form fails.
class LiteralReader
{
public:
    explicit LiteralReader(const QString& text)
        : m_text(text)
    {
    }

    std::optional<QHash<QString, QString>> read()
    {
        QHash<QString, QString> members;
        skipSpace();
        if (!take(QLatin1Char('{'))) {
            return std::nullopt;
        }
        skipSpace();
        while (!take(QLatin1Char('}'))) {
            const std::optional<QString> key = readKey();
            skipSpace();
            if (!key || !take(QLatin1Char(':'))) {
                return std::nullopt;
            }
            skipSpace();
            const std::optional<QString> value = readValue();
            if (!value) {
                return std::nullopt;
            }
            members.insert(*key, *value); // a repeated key: the last one counts
            skipSpace();
            if (take(QLatin1Char(','))) {
                skipSpace();
            } else if (peek() != QLatin1Char('}')) {
                return std::nullopt;
            }
        }
        skipSpace();
        if (take(QLatin1Char(';'))) {
            skipSpace();
        }
        if (m_pos != m_text.size()) {
            return std::nullopt;
        }
        return members;
    }

private:
    QChar peek(qsizetype ahead = 0) const { return m_pos + ahead < m_text.size() ? m_text.at(m_pos + ahead) : QChar(); }

    bool take(QChar c)
    {
        if (m_pos < m_text.size() && m_text.at(m_pos) == c) {
            ++m_pos;
            return true;
        }
        return false;
    }

    static bool isLineEnd(QChar c)
    {
        return c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar(0x2028) || c == QChar(0x2029);
    }

    void skipSpace()
    {
        while (m_pos < m_text.size()) {
            const QChar c = m_text.at(m_pos);
            // White space and line ends as a script reads them, among them the byte-order mark.
            if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\v') || c == QLatin1Char('\f')
                || c == QChar(0xA0) || c == QChar(0xFEFF) || c.category() == QChar::Separator_Space || isLineEnd(c)) {
                ++m_pos;
            } else {
                break;
            }
        }
    }

    static bool isIdentifierStart(QChar c) { return c == QLatin1Char('$') || c == QLatin1Char('_') || c.isLetter(); }

    std::optional<QString> readKey()
    {
        const QChar c = peek();
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            return readString();
        }
        if (!isIdentifierStart(c)) {
            return std::nullopt;
        }
        const qsizetype start = m_pos;
        while (m_pos < m_text.size() && (isIdentifierStart(m_text.at(m_pos)) || m_text.at(m_pos).isDigit())) {
            ++m_pos;
        }
        return m_text.mid(start, m_pos - start);
    }

    std::optional<QString> readValue()
    {
        const QChar c = peek();
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            return readString();
        }
        return readNumber();
    }

    static int hexValue(QChar c)
    {
        const char16_t u = c.unicode();
        if (u >= '0' && u <= '9') {
            return u - '0';
        }
        if (u >= 'a' && u <= 'f') {
            return u - 'a' + 10;
        }
        if (u >= 'A' && u <= 'F') {
            return u - 'A' + 10;
        }
        return -1;
    }

    std::optional<char16_t> readHex(int digits)
    {
        int value = 0;
        for (int i = 0; i < digits; ++i) {
            const int d = hexValue(peek());
            if (d < 0) {
                return std::nullopt;
            }
            value = value * 16 + d;
            ++m_pos;
        }
        return char16_t(value);
    }

    std::optional<QString> readString()
    {
        const QChar quote = m_text.at(m_pos++);
        QString value;
        for (;;) {
            if (m_pos >= m_text.size()) {
                return std::nullopt;
            }
            const QChar c = m_text.at(m_pos++);
            if (c == quote) {
                return value;
            }
            if (isLineEnd(c)) {
                return std::nullopt;
            }
            if (c != QLatin1Char('\\')) {
                value.append(c);
                continue;
            }
            if (m_pos >= m_text.size()) {
                return std::nullopt;
            }
            const QChar e = m_text.at(m_pos++);
            // The one-letter escapes: \b \f \n \r \t \v.
            static const char Letters[] = "bfnrtv";
            static const char Meanings[] = "\b\f\n\r\t\v";
            if (e.unicode() > 0 && e.unicode() < 128) {
                if (const char* at = std::strchr(Letters, char(e.unicode()))) {
                    value.append(QLatin1Char(Meanings[at - Letters]));
                    continue;
                }
            }
            switch (e.unicode()) {
            case '0':
                if (peek().isDigit()) {
                    return std::nullopt; // an old octal escape
                }
                value.append(QChar(0));
                break;
            case 'x':
            case 'u': {
                const std::optional<char16_t> code = readHex(e == QLatin1Char('x') ? 2 : 4);
                if (!code) {
                    return std::nullopt;
                }
                value.append(QChar(*code));
                break;
            }
            default:
                if (e.isDigit() || isLineEnd(e)) {
                    return std::nullopt; // octal escapes and continued lines are not in the form servers send
                }
                value.append(e); // \" \' \\ \/ and any other character stand for themselves
                break;
            }
        }
    }

    /// A decimal number: optional minus, digits with an optional fraction (or a fraction alone), an optional
    /// exponent. A leading zero before further digits (an old octal form) and hexadecimal forms fail.
    std::optional<QString> readNumber()
    {
        const qsizetype start = m_pos;
        take(QLatin1Char('-'));
        const auto digits = [this] {
            const qsizetype from = m_pos;
            while (m_pos < m_text.size() && m_text.at(m_pos) >= QLatin1Char('0')
                   && m_text.at(m_pos) <= QLatin1Char('9')) {
                ++m_pos;
            }
            return m_pos - from;
        };
        const qsizetype intStart = m_pos;
        const qsizetype intDigits = digits();
        if (intDigits > 1 && m_text.at(intStart) == QLatin1Char('0')) {
            return std::nullopt;
        }
        qsizetype fracDigits = 0;
        if (take(QLatin1Char('.'))) {
            fracDigits = digits();
        }
        if (intDigits == 0 && fracDigits == 0) {
            return std::nullopt;
        }
        if (peek() == QLatin1Char('e') || peek() == QLatin1Char('E')) {
            ++m_pos;
            if (!take(QLatin1Char('+'))) {
                take(QLatin1Char('-'));
            }
            if (digits() == 0) {
                return std::nullopt;
            }
        }
        // A number runs into no letter or digit ("1x", "0x10").
        if (isIdentifierStart(peek()) || peek().isDigit()) {
            return std::nullopt;
        }
        const QByteArray literal = m_text.mid(start, m_pos - start).toLatin1();
        bool ok = false;
        double value = literal.toDouble(&ok);
        if (!ok) {
            // Out of range: a browser reads a too large number as Infinity and a too small one as 0.
            const bool negative = literal.startsWith('-');
            const bool tiny = literal.contains("e-") || literal.contains("E-");
            value = tiny ? 0.0 : (negative ? -INFINITY : INFINITY);
        }
        return numberText(value);
    }

    const QString& m_text;
    qsizetype m_pos = 0;
};
} // namespace

Versions parseVersions(const QString& text)
{
    if (text.size() > MaxBodyBytes) {
        return Versions();
    }
    const std::optional<QHash<QString, QString>> members = LiteralReader(text).read();
    if (!members) {
        return Versions();
    }
    Versions versions;
    versions.minVersion = members->value(QStringLiteral("MinVersion"));
    versions.maxVersion = members->value(QStringLiteral("MaxVersion"));
    return versions;
}

Versions readVersions(const QByteArray& body)
{
    return parseVersions(decodeBody(body));
}
} // namespace VersionFile
