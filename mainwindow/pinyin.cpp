#include "pinyin.h"

#include "pinyintable.h"

#include <algorithm>

namespace
{
/// The reading set of a code point, 0 when it has no readings.
unsigned readingSet(char32_t c)
{
    const char32_t block = c >> 8;
    if (block >= PinyinTable::kBlockCount) {
        return 0;
    }
    const unsigned number = PinyinTable::kBlockOf[block];
    return number == 0 ? 0 : PinyinTable::kBlocks[(number - 1) * 256 + (c & 255)];
}

/// The next character of UTF-8 text; a byte that starts no well-formed sequence reads as U+FFFD on its own.
char32_t nextChar(const unsigned char*& p, const unsigned char* end)
{
    const unsigned lead = *p++;
    if (lead < 0x80) {
        return lead;
    }
    int extra = 0;
    char32_t c = 0;
    if (lead >= 0xc2 && lead < 0xe0) {
        extra = 1;
        c = lead & 0x1f;
    } else if (lead >= 0xe0 && lead < 0xf0) {
        extra = 2;
        c = lead & 0x0f;
    } else if (lead >= 0xf0 && lead < 0xf5) {
        extra = 3;
        c = lead & 0x07;
    } else {
        return 0xfffd;
    }
    if (end - p < extra) {
        return 0xfffd;
    }
    for (int i = 0; i < extra; ++i) {
        if ((p[i] & 0xc0) != 0x80) {
            return 0xfffd;
        }
        c = (c << 6) | (p[i] & 0x3f);
    }
    p += extra;
    return c;
}

/// Spaces are passed over in names as in keywords.
bool isSpace(char32_t c)
{
    return c == ' ' || c == '\t' || c == 0xa0 || c == 0x3000;
}

char32_t lowerAscii(char32_t c)
{
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

/// A set of places in the keyword (bit i: the first i characters are matched), `Words` 64-bit words wide.
template <int Words>
struct Places
{
    std::uint64_t word[Words] = {};

    static Places first()
    {
        Places p;
        p.word[0] = 1;
        return p;
    }
    bool any() const
    {
        std::uint64_t all = 0;
        for (int i = 0; i < Words; ++i) {
            all |= word[i];
        }
        return all != 0;
    }
    bool has(int place) const { return (word[place >> 6] >> (place & 63)) & 1; }
    /// The places that `other` also has, each moved on by one character.
    Places advancedWithin(const Places& other) const
    {
        Places p;
        std::uint64_t carry = 0;
        for (int i = 0; i < Words; ++i) {
            const std::uint64_t both = word[i] & other.word[i];
            p.word[i] = (both << 1) | carry;
            carry = both >> 63;
        }
        return p;
    }
    Places& operator|=(const Places& other)
    {
        for (int i = 0; i < Words; ++i) {
            word[i] |= other.word[i];
        }
        return *this;
    }
};
} // namespace

namespace Pinyin
{
QStringList readings(char32_t c)
{
    QStringList result;
    const unsigned set = readingSet(c);
    for (unsigned i = PinyinTable::kSetStart[set]; i < PinyinTable::kSetStart[set + 1]; ++i) {
        const unsigned syllable = PinyinTable::kSetSyllables[i];
        const unsigned begin = PinyinTable::kSyllableStart[syllable];
        const unsigned end = PinyinTable::kSyllableStart[syllable + 1];
        result.append(QString::fromLatin1(PinyinTable::kSyllableLetters + begin, qsizetype(end - begin)));
    }
    return result;
}

int characterCount()
{
    return int(PinyinTable::kCodePoints);
}

std::uint32_t initials(std::string_view name)
{
    constexpr std::uint32_t beyondAscii = 1u << 31;
    std::uint32_t result = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(name.data());
    const auto* end = p + name.size();
    while (p != end) {
        const char32_t c = lowerAscii(nextChar(p, end));
        if (c >= 'a' && c <= 'z') {
            result |= 1u << (c - 'a');
        } else if (c >= 0x80) {
            result |= beyondAscii | PinyinTable::kSetFirstLetters[readingSet(c)];
        }
    }
    return (result & beyondAscii) ? result : 0;
}
} // namespace Pinyin

/// The keyword prepared for matching: per ASCII character, the places in the keyword where it stands.
template <int Words>
struct PinyinMatcher::Keyword
{
    using Set = Places<Words>;

    /// Places (as a set of places one before the character) of each ASCII character, letters in lower case.
    Set at[128];
    /// The letter at each place as a bit (bit n for 'a' + n), 0 for other characters.
    std::uint32_t letterAt[LongestKeyword + 1] = {};
    int length = 0;

    explicit Keyword(const QByteArray& text)
        : length(int(text.size()))
    {
        for (int i = 0; i < length; ++i) {
            const auto c = static_cast<unsigned char>(text.at(i));
            at[c].word[i >> 6] |= std::uint64_t(1) << (i & 63);
            if (c >= 'a' && c <= 'z') {
                letterAt[i] = 1u << (c - 'a');
            }
        }
    }

    /// The letters standing at the places of `places`.
    std::uint32_t lettersAt(const Set& places) const
    {
        std::uint32_t letters = 0;
        for (int w = 0; w < Words; ++w) {
            for (std::uint64_t bits = places.word[w]; bits != 0; bits &= bits - 1) {
                const int place = w * 64 + __builtin_ctzll(bits);
                if (place < length) {
                    letters |= letterAt[place];
                }
            }
        }
        return letters;
    }

    /// Adds to `next` the places reached from `from` by the starts of the syllable spelled [begin, end).
    void takeSyllable(const Set& from, const char* begin, const char* end, Set& next) const
    {
        Set places = from;
        for (const char* letter = begin; letter != end; ++letter) {
            places = places.advancedWithin(at[static_cast<unsigned char>(*letter)]);
            if (!places.any()) {
                return;
            }
            next |= places;
        }
    }

    /// The places reached from `from` by the character `c`. `readings` is its reading set (0: none).
    Set step(const Set& from, char32_t c, unsigned readings) const
    {
        if (c < 0x80) {
            return from.advancedWithin(at[lowerAscii(c)]);
        }
        Set next;
        if (readings == 0 || (PinyinTable::kSetFirstLetters[readings] & lettersAt(from)) == 0) {
            return next;
        }
        for (unsigned i = PinyinTable::kSetStart[readings]; i < PinyinTable::kSetStart[readings + 1]; ++i) {
            const unsigned syllable = PinyinTable::kSetSyllables[i];
            takeSyllable(from,
                         PinyinTable::kSyllableLetters + PinyinTable::kSyllableStart[syllable],
                         PinyinTable::kSyllableLetters + PinyinTable::kSyllableStart[syllable + 1],
                         next);
        }
        return next;
    }

    Match match(std::string_view name) const
    {
        const auto* p = reinterpret_cast<const unsigned char*>(name.data());
        const auto* end = p + name.size();
        // Runs that may start anywhere (place 0 is always there: a run may start at the next character), and
        // runs that started with the name's first character.
        Set anywhere = Set::first();
        Set fromStart = Set::first();
        bool startAlive = true;
        bool within = false;
        while (p != end) {
            const char32_t c = nextChar(p, end);
            if (isSpace(c)) {
                continue;
            }
            const unsigned readings = c < 0x80 ? 0 : readingSet(c);
            if (startAlive) {
                fromStart = step(fromStart, c, readings);
                if (fromStart.has(length)) {
                    return Match::FromStart;
                }
                startAlive = fromStart.any();
            }
            Set next = step(anywhere, c, readings);
            if (next.has(length)) {
                if (!startAlive) {
                    return Match::Within;
                }
                within = true;
            }
            next |= Set::first();
            anywhere = next;
        }
        return within ? Match::Within : Match::None;
    }
};

PinyinMatcher::PinyinMatcher(const QString& keyword)
{
    QByteArray text;
    bool letter = false;
    for (const QChar c : keyword) {
        const char16_t u = c.unicode();
        if (c.isSpace()) {
            continue;
        }
        if (u >= 0x80) {
            return; // only typed Latin text is read as pinyin
        }
        const char folded = char(lowerAscii(u));
        letter = letter || (folded >= 'a' && folded <= 'z');
        text.append(folded);
    }
    if (!letter || text.size() > LongestKeyword) {
        return;
    }
    m_length = int(text.size());
    // The keyword's first character must be read from the name: a letter as the start of a reading or as
    // itself; any other character only as itself, in a name that has something to read.
    const char first = text.at(0);
    m_initialsNeeded = first >= 'a' && first <= 'z' ? 1u << (first - 'a') : 1u << 31;
    if (m_length < 64) {
        m_short = std::make_unique<Keyword<1>>(text);
    } else {
        m_long = std::make_unique<Keyword<4>>(text);
    }
}

PinyinMatcher::~PinyinMatcher() = default;

PinyinMatcher::Match PinyinMatcher::match(std::string_view name, std::uint32_t initials) const
{
    if ((initials & m_initialsNeeded) == 0) {
        return Match::None;
    }
    return m_short ? m_short->match(name) : m_long->match(name);
}
