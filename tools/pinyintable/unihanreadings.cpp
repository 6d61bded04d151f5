#include "unihanreadings.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <bzlib.h>
#include <cstdio>
#include <cstring>

namespace UnihanReadings
{
const char* const Fields[] = { "kHanyuPinyin", "kMandarin", "kXHC1983", "kTGHZ2013", "kHanyuPinlu", nullptr };

namespace
{
bool isField(const QString& name)
{
    for (const char* const* field = Fields; *field; ++field) {
        if (name == QLatin1String(*field)) {
            return true;
        }
    }
    return false;
}

/// The whole file as bytes, uncompressed.
bool readBytes(const QString& path, QByteArray& bytes, QString& error)
{
    if (!path.endsWith(QLatin1String(".bz2"))) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
            return false;
        }
        bytes = file.readAll();
        return true;
    }
    FILE* file = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (!file) {
        error = QStringLiteral("cannot open %1").arg(path);
        return false;
    }
    int status = BZ_OK;
    BZFILE* bz = BZ2_bzReadOpen(&status, file, 0, 0, nullptr, 0);
    char buffer[1 << 16];
    while (status == BZ_OK) {
        const int got = BZ2_bzRead(&status, bz, buffer, int(sizeof buffer));
        if ((status == BZ_OK || status == BZ_STREAM_END) && got > 0) {
            bytes.append(buffer, got);
        }
    }
    BZ2_bzReadClose(nullptr, bz);
    std::fclose(file);
    if (status != BZ_STREAM_END) {
        error = QStringLiteral("%1 is not a readable bzip2 file (%2)").arg(path).arg(status);
        return false;
    }
    return true;
}
} // namespace

QStringList readingsOfValue(const QString& value)
{
    static const QRegularExpression count(QStringLiteral("\\(\\d+\\)$"));
    QStringList readings;
    for (QString entry : value.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        // Dictionary places come before a colon; the frequency list gives a count in brackets after.
        entry = entry.mid(entry.lastIndexOf(QLatin1Char(':')) + 1);
        entry.remove(count);
        readings += entry.split(QLatin1Char(','), Qt::SkipEmptyParts);
    }
    return readings;
}

std::vector<std::string> spellings(const QString& reading)
{
    // Decomposed, a toned vowel is the vowel followed by a combining mark; the marks are dropped, but the
    // diaeresis makes ü, which is spelled two ways.
    const QString decomposed = reading.normalized(QString::NormalizationForm_D).toLower();
    std::string base;
    bool umlaut = false;
    for (const QChar c : decomposed) {
        const char16_t u = c.unicode();
        if (u >= 'a' && u <= 'z') {
            base += char(u);
        } else if (u == 0x0308 && !base.empty() && base.back() == 'u') {
            base.back() = 'v';
            umlaut = true;
        } else if (c.category() == QChar::Mark_NonSpacing) {
            continue; // a tone, or the circumflex of ê
        } else {
            return {};
        }
    }
    if (base.empty()) {
        return {};
    }
    std::vector<std::string> result { base };
    if (umlaut) {
        std::string u = base;
        std::replace(u.begin(), u.end(), 'v', 'u');
        result.push_back(u);
    }
    return result;
}

bool read(const QString& path, Table& table, QString& error)
{
    QByteArray bytes;
    if (!readBytes(path, bytes, error)) {
        return false;
    }
    table.clear();
    // Lines are "U+4E50<TAB>kMandarin<TAB>lè"; comments start with #.
    for (const QByteArray& line : bytes.split('\n')) {
        if (!line.startsWith("U+")) {
            continue;
        }
        const QList<QByteArray> parts = line.split('\t');
        if (parts.size() < 3 || !isField(QString::fromLatin1(parts.at(1)))) {
            continue;
        }
        bool ok = false;
        const uint code = parts.at(0).mid(2).toUInt(&ok, 16);
        if (!ok || code > 0x10ffff) {
            continue;
        }
        std::vector<std::string>& readings = table[char32_t(code)];
        for (const QString& reading : readingsOfValue(QString::fromUtf8(parts.at(2).trimmed()))) {
            for (const std::string& spelling : spellings(reading)) {
                readings.push_back(spelling);
            }
        }
        if (readings.empty()) {
            table.erase(char32_t(code));
        }
    }
    for (auto& [code, readings] : table) {
        std::sort(readings.begin(), readings.end());
        readings.erase(std::unique(readings.begin(), readings.end()), readings.end());
    }
    if (table.empty()) {
        error = QStringLiteral("%1 holds no Mandarin readings").arg(path);
        return false;
    }
    return true;
}
} // namespace UnihanReadings
