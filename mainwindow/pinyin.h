#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <string_view>

/// The pinyin readings of Chinese characters, from the table compiled into the program.
namespace Pinyin
{
/// The readings of a character in lower case without tones (ü spelled both v and u), sorted; empty when it
/// has none.
QStringList readings(char32_t c);
/// Number of characters that have readings.
int characterCount();
/// What a name (UTF-8) can be read to start a character with: bit n when a reading of one of its characters
/// starts with the letter 'a' + n, or it holds that letter in either case; bit 31 when it holds any character
/// beyond ASCII. 0 for a name of ASCII characters alone, which is never read in pinyin.
std::uint32_t initials(std::string_view name);
} // namespace Pinyin

/// Decides whether a name, read in pinyin, holds a keyword typed in Latin letters: each character of a run of
/// the name's characters takes the start of one of its readings (its initial, the whole syllable, or as much of
/// it as was typed) and the starts, run together, make the keyword. So 微信 holds "weixin", "wx", "wxin" and
/// "xin", and 音乐 both "yinyue" and "yinle". Every reading of every character counts. Letters, digits and
/// other characters of the name match themselves (letters in either case), spaces in the keyword and in the
/// name are passed over.
///
/// A keyword takes part when, spaces aside, it is ASCII text with at least one letter, of at most
/// LongestKeyword characters. Names of ASCII text alone are not read here: they hold no readings, and the
/// store's own search has already judged them.
class PinyinMatcher
{
public:
    explicit PinyinMatcher(const QString& keyword);
    ~PinyinMatcher();
    PinyinMatcher(const PinyinMatcher&) = delete;
    PinyinMatcher& operator=(const PinyinMatcher&) = delete;

    static constexpr int LongestKeyword = 255;

    enum class Match
    {
        None,
        /// Held by a run of characters that does not start the name.
        Within,
        /// Held by a run of characters from the start of the name.
        FromStart,
    };

    /// Whether the keyword can match anything in pinyin.
    bool isUsable() const { return m_length > 0; }
    /// How a name (UTF-8; text that is not well-formed reads as characters without readings) holds the
    /// keyword.
    Match match(std::string_view name) const { return match(name, Pinyin::initials(name)); }
    /// The same for a name whose initials are known.
    Match match(std::string_view name, std::uint32_t initials) const;
    /// A name can hold the keyword only when its initials (Pinyin::initials) have one of these bits.
    std::uint32_t initialsNeeded() const { return m_initialsNeeded; }

private:
    template <int Words>
    struct Keyword;

    int m_length = 0;
    std::uint32_t m_initialsNeeded = 0;
    std::unique_ptr<Keyword<1>> m_short;
    std::unique_ptr<Keyword<4>> m_long;
};
