#include "searchindex.h"

#include "icondatabase.h"
#include "pinyin.h"

#include <QSet>

#include <algorithm>
#include <climits>
#include <cstring>

namespace
{
// SQLite refuses LIKE patterns longer than this many bytes (SQLITE_MAX_LIKE_PATTERN_LENGTH); the store then
// finds nothing.
constexpr qsizetype kLongestPattern = 50000;

enum class Compare
{
    Match,
    NoMatch,
    // No match at this place nor at any later one: the caller's own wildcard need not try further.
    NoWildcardMatch,
};

unsigned char lowerAscii(unsigned char c)
{
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

unsigned char upperAscii(unsigned char c)
{
    return c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c;
}

/// The next character of UTF-8 text as SQLite reads it (sqlite3Utf8Read): malformed sequences, surrogates and
/// the two noncharacters U+FFFE and U+FFFF read as U+FFFD; 0 at the end.
std::uint32_t readChar(const unsigned char*& p, const unsigned char* end)
{
    if (p == end) {
        return 0;
    }
    std::uint32_t c = *p++;
    if (c < 0xc0) {
        return c;
    }
    // The bits a lead byte contributes, as SQLite's table gives them.
    if (c < 0xe0) {
        c &= 0x1f;
    } else if (c < 0xf0) {
        c &= 0x0f;
    } else if (c < 0xf8) {
        c &= 0x07;
    } else if (c < 0xfc) {
        c &= 0x03;
    } else if (c < 0xfe) {
        c &= 0x01;
    } else {
        c = 0;
    }
    while (p != end && (*p & 0xc0) == 0x80) {
        c = (c << 6) + (0x3f & *p++);
    }
    if (c < 0x80 || (c & 0xfffff800) == 0xd800 || (c & 0xfffffffe) == 0xfffe) {
        c = 0xfffd;
    }
    return c;
}

/// SQLite's LIKE comparison (patternCompare with % and _, ASCII case folded, no escape character).
Compare
comparePattern(const unsigned char* p, const unsigned char* pEnd, const unsigned char* s, const unsigned char* sEnd)
{
    std::uint32_t c = 0;
    while ((c = readChar(p, pEnd)) != 0) {
        if (c == '%') {
            // Runs of % and _ after a %: each _ takes one character.
            while ((c = readChar(p, pEnd)) == '%' || c == '_') {
                if (c == '_' && readChar(s, sEnd) == 0) {
                    return Compare::NoWildcardMatch;
                }
            }
            if (c == 0) {
                return Compare::Match;
            }
            if (c < 0x80) {
                const unsigned char lower = lowerAscii(static_cast<unsigned char>(c));
                const unsigned char upper = upperAscii(static_cast<unsigned char>(c));
                for (;;) {
                    while (s != sEnd && *s != lower && *s != upper) {
                        ++s;
                    }
                    if (s == sEnd) {
                        break;
                    }
                    ++s;
                    const Compare rest = comparePattern(p, pEnd, s, sEnd);
                    if (rest != Compare::NoMatch) {
                        return rest;
                    }
                }
            } else {
                std::uint32_t c2 = 0;
                while ((c2 = readChar(s, sEnd)) != 0) {
                    if (c2 != c) {
                        continue;
                    }
                    const Compare rest = comparePattern(p, pEnd, s, sEnd);
                    if (rest != Compare::NoMatch) {
                        return rest;
                    }
                }
            }
            return Compare::NoWildcardMatch;
        }
        const std::uint32_t c2 = readChar(s, sEnd);
        if (c == c2) {
            continue;
        }
        if (c < 0x80 && c2 < 0x80
            && lowerAscii(static_cast<unsigned char>(c)) == lowerAscii(static_cast<unsigned char>(c2))) {
            continue;
        }
        if (c == '_' && c2 != 0) {
            continue;
        }
        return Compare::NoMatch;
    }
    return s == sEnd ? Compare::Match : Compare::NoMatch;
}

/// True for text that SQLite reads exactly as its bytes say: well-formed UTF-8 without NUL characters and without
/// the noncharacters U+FFFE and U+FFFF.
bool isPlainText(const unsigned char* p, const unsigned char* end)
{
    while (p != end) {
        const unsigned char c = *p;
        if (c >= 0x01 && c < 0x80) {
            ++p;
            continue;
        }
        int length = 0;
        std::uint32_t cp = 0;
        if (c >= 0xc2 && c < 0xe0) {
            length = 2;
            cp = c & 0x1f;
        } else if (c >= 0xe0 && c < 0xf0) {
            length = 3;
            cp = c & 0x0f;
        } else if (c >= 0xf0 && c < 0xf5) {
            length = 4;
            cp = c & 0x07;
        } else {
            return false; // NUL, a continuation byte, an overlong or out-of-range lead byte
        }
        if (end - p < length) {
            return false;
        }
        for (int i = 1; i < length; ++i) {
            if ((p[i] & 0xc0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (p[i] & 0x3f);
        }
        const std::uint32_t smallest[] = { 0, 0, 0x80, 0x800, 0x10000 };
        if (cp < smallest[length] || cp > 0x10ffff || (cp >= 0xd800 && cp < 0xe000) || cp == 0xfffe || cp == 0xffff) {
            return false;
        }
        p += length;
    }
    return true;
}

const unsigned char* bytes(const char* p)
{
    return reinterpret_cast<const unsigned char*>(p);
}
} // namespace

NameMatcher::NameMatcher(const QString& keyword)
{
    // SQLite converts the keyword from UTF-16 itself; text with half a surrogate pair converts its own way.
    m_exact = keyword.isValidUtf16();
    const QByteArray utf8 = keyword.toUtf8();
    m_exact = m_exact && utf8.size() + 2 <= kLongestPattern;
    m_pattern.reserve(size_t(utf8.size()) + 2);
    m_pattern += '%';
    m_pattern.append(utf8.constData(), size_t(utf8.size()));
    m_pattern += '%';
    // SQLite reads the pattern as text that ends at its first NUL.
    m_pattern.resize(std::strlen(m_pattern.c_str()));

    const bool wildcards = keyword.contains(QLatin1Char('%')) || keyword.contains(QLatin1Char('_'));
    m_plain = m_exact && !wildcards && !keyword.isEmpty()
        && isPlainText(bytes(utf8.constData()), bytes(utf8.constData()) + utf8.size());
    if (m_plain) {
        m_folded.resize(size_t(utf8.size()));
        for (qsizetype i = 0; i < utf8.size(); ++i) {
            const auto c = static_cast<unsigned char>(utf8.at(i));
            m_folded[size_t(i)] = char(lowerAscii(c));
            m_hasLetter = m_hasLetter || lowerAscii(c) != upperAscii(c);
        }
    }
}

bool NameMatcher::matchesPattern(std::string_view name) const
{
    // SQLite reads the name as text that ends at its first NUL.
    const size_t nul = name.find('\0');
    if (nul != std::string_view::npos) {
        name = name.substr(0, nul);
    }
    const auto* p = bytes(m_pattern.data());
    const auto* s = bytes(name.data());
    return comparePattern(p, p + m_pattern.size(), s, s + name.size()) == Compare::Match;
}

bool NameMatcher::containsFolded(std::string_view name) const
{
    if (!m_hasLetter) {
        return name.find(m_folded) != std::string_view::npos;
    }
    const size_t m = m_folded.size();
    if (name.size() < m) {
        return false;
    }
    const auto* s = bytes(name.data());
    const auto* k = bytes(m_folded.data());
    const unsigned char first = k[0];
    const unsigned char firstUpper = upperAscii(first);
    const size_t last = name.size() - m;
    for (size_t i = 0; i <= last; ++i) {
        if (s[i] != first && s[i] != firstUpper) {
            continue;
        }
        size_t j = 1;
        while (j < m && lowerAscii(s[i + j]) == k[j]) {
            ++j;
        }
        if (j == m) {
            return true;
        }
    }
    return false;
}

bool SearchIndex::load(IconDatabase& db)
{
    beginLoad();
    return loadMore(db, -1);
}

void SearchIndex::beginLoad()
{
    clear();
    m_loading = true;
    m_loadedUpTo = INT_MIN;
}

bool SearchIndex::loadMore(IconDatabase& db, int count)
{
    if (!m_loading) {
        return m_loaded;
    }
    int read = 0;
    const bool ok = db.readItemNamesAfter(m_loadedUpTo, count, [&](int id, int ttype, const char* name, int size) {
        ++read;
        m_loadedUpTo = id;
        if (name && (ttype == 1 || ttype == 2)) {
            // The rows come in id order: each one goes at the end.
            const std::uint32_t begin = m_text.append(name, size_t(size));
            m_ids.push_back(id);
            m_begin.push_back(begin);
            m_end.push_back(begin + std::uint32_t(size));
            m_initials.push_back(Pinyin::initials(std::string_view(name, size_t(size))));
            if (!isPlainText(bytes(name), bytes(name) + size)) {
                m_oddIds.push_back(id);
            }
        }
    });
    // Places are 32-bit offsets into the text.
    if (!ok || m_text.size() > 0xffffffffu) {
        clear();
        return false;
    }
    if (count < 0 || read < count) {
        m_ids.shrink_to_fit();
        m_begin.shrink_to_fit();
        m_end.shrink_to_fit();
        m_initials.shrink_to_fit();
        m_loading = false;
        m_loaded = true;
    }
    return true;
}

bool SearchIndex::reload(IconDatabase& db, const QList<int>& ids)
{
    if (!m_loaded) {
        return false;
    }
    QSet<int> present;
    const bool ok = db.readItemNames(ids, [&](int id, int ttype, const char* name, int size) {
        if (name && (ttype == 1 || ttype == 2)) {
            put(id, name, size);
            present.insert(id);
        }
    });
    if (!ok || m_text.size() > 0xffffffffu) {
        clear();
        return false;
    }
    for (const int id : ids) {
        if (!present.contains(id)) {
            const int at = position(id);
            if (at >= 0) {
                remove(at);
            }
        }
    }
    compactText();
    return true;
}

void SearchIndex::clear()
{
    std::vector<int>().swap(m_ids);
    std::vector<std::uint32_t>().swap(m_begin);
    std::vector<std::uint32_t>().swap(m_end);
    std::vector<std::uint32_t>().swap(m_initials);
    std::vector<int>().swap(m_oddIds);
    m_text = Text();
    m_unused = 0;
    m_loaded = false;
    m_loading = false;
}

int SearchIndex::position(int id) const
{
    const auto it = std::lower_bound(m_ids.begin(), m_ids.end(), id);
    return it != m_ids.end() && *it == id ? int(it - m_ids.begin()) : -1;
}

int SearchIndex::lowerBound(int id) const
{
    return int(std::lower_bound(m_ids.begin(), m_ids.end(), id) - m_ids.begin());
}

QString SearchIndex::name(int id) const
{
    const int at = position(id);
    if (at < 0) {
        return QString();
    }
    const std::string_view text = nameAt(size_t(at));
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

void SearchIndex::scan(const NameMatcher& matcher, int from, int to, std::vector<int>& ids) const
{
    from = std::max(from, 0);
    to = std::min(to, size());
    if (from >= to) {
        return;
    }
    auto odd = std::lower_bound(m_oddIds.begin(), m_oddIds.end(), m_ids[size_t(from)]);
    for (int pos = from; pos < to; ++pos) {
        const std::string_view name = nameAt(size_t(pos));
        const int id = m_ids[size_t(pos)];
        bool matched = false;
        if (odd != m_oddIds.end() && *odd == id) {
            ++odd;
            matched = matcher.matchesPattern(name);
        } else {
            matched = matcher.matches(name);
        }
        if (matched) {
            ids.push_back(id);
        }
    }
}

void SearchIndex::scanPinyin(
    const PinyinMatcher& matcher, int from, int to, std::vector<int>& fromStart, std::vector<int>& within) const
{
    from = std::max(from, 0);
    to = std::min(to, size());
    // Most names are passed over on their initials alone.
    const std::uint32_t needed = matcher.initialsNeeded();
    for (int pos = from; pos < to; ++pos) {
        const std::uint32_t initials = m_initials[size_t(pos)];
        if ((initials & needed) == 0) {
            continue;
        }
        switch (matcher.match(nameAt(size_t(pos)), initials)) {
        case PinyinMatcher::Match::FromStart:
            fromStart.push_back(m_ids[size_t(pos)]);
            break;
        case PinyinMatcher::Match::Within:
            within.push_back(m_ids[size_t(pos)]);
            break;
        case PinyinMatcher::Match::None:
            break;
        }
    }
}

size_t SearchIndex::memoryBytes() const
{
    return m_text.capacity() + (m_ids.capacity() + m_oddIds.capacity()) * sizeof(int)
        + (m_begin.capacity() + m_end.capacity() + m_initials.capacity()) * sizeof(std::uint32_t);
}

void SearchIndex::put(int id, const char* name, int size)
{
    const auto it = std::lower_bound(m_ids.begin(), m_ids.end(), id);
    const size_t at = size_t(it - m_ids.begin());
    const bool held = it != m_ids.end() && *it == id;
    if (held) {
        const std::string_view old = nameAt(at);
        if (old == std::string_view(name, size_t(size))) {
            return; // the change was not to the name (a time stamp, an order number)
        }
        m_unused += old.size();
    } else {
        m_ids.insert(it, id);
        m_begin.insert(m_begin.begin() + std::ptrdiff_t(at), 0);
        m_end.insert(m_end.begin() + std::ptrdiff_t(at), 0);
        m_initials.insert(m_initials.begin() + std::ptrdiff_t(at), 0);
    }
    // A new or renamed name goes at the end of the text; the old one's bytes stay unused until compacted.
    m_begin[at] = m_text.append(name, size_t(size));
    m_end[at] = m_begin[at] + std::uint32_t(size);
    m_initials[at] = Pinyin::initials(std::string_view(name, size_t(size)));
    const auto odd = std::lower_bound(m_oddIds.begin(), m_oddIds.end(), id);
    const bool wasOdd = odd != m_oddIds.end() && *odd == id;
    const bool isOdd = !isPlainText(bytes(name), bytes(name) + size);
    if (wasOdd && !isOdd) {
        m_oddIds.erase(odd);
    } else if (!wasOdd && isOdd) {
        m_oddIds.insert(odd, id);
    }
}

void SearchIndex::remove(int position)
{
    const size_t at = size_t(position);
    const int id = m_ids[at];
    m_unused += m_end[at] - m_begin[at];
    m_ids.erase(m_ids.begin() + position);
    m_begin.erase(m_begin.begin() + position);
    m_end.erase(m_end.begin() + position);
    m_initials.erase(m_initials.begin() + position);
    const auto odd = std::lower_bound(m_oddIds.begin(), m_oddIds.end(), id);
    if (odd != m_oddIds.end() && *odd == id) {
        m_oddIds.erase(odd);
    }
}

void SearchIndex::compactText()
{
    // Unused bytes are given back once they outweigh the names in use.
    if (m_unused < 65536 || m_unused * 2 < m_text.size()) {
        return;
    }
    Text text;
    for (size_t at = 0; at < m_ids.size(); ++at) {
        const std::string_view name = nameAt(at);
        m_begin[at] = text.append(name.data(), name.size());
        m_end[at] = m_begin[at] + std::uint32_t(name.size());
    }
    m_text = std::move(text);
    m_unused = 0;
}

std::uint32_t SearchIndex::Text::append(const char* data, size_t size)
{
    if (size == 0) {
        return 0; // an empty name is never looked at
    }
    if (size > kBlock) {
        // A long name takes a block of its own and the places of as many blocks as it spans.
        const size_t index = m_blocks.size();
        m_blocks.emplace_back(new char[size]);
        std::memcpy(m_blocks.back().get(), data, size);
        m_blocks.resize(index + (size + kBlock - 1) / kBlock);
        m_used = kBlock;
        m_capacity += size;
        return std::uint32_t(index << kShift);
    }
    if (m_blocks.empty() || m_used + size > kBlock) {
        m_blocks.emplace_back(new char[kBlock]);
        m_used = 0;
        m_capacity += kBlock;
    }
    const auto place = std::uint32_t(((m_blocks.size() - 1) << kShift) + m_used);
    std::memcpy(m_blocks.back().get() + m_used, data, size);
    m_used += size;
    return place;
}
