#pragma once

#include <QList>
#include <QString>

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

class IconDatabase;
class PinyinMatcher;

/// Decides whether a name matches a search keyword exactly as the store's search does: the name contains the
/// keyword, where % in the keyword stands for any run of characters and _ for any one character, and ASCII
/// letters match either case (all other characters only themselves). Names are UTF-8 bytes as the store holds
/// them.
class NameMatcher
{
public:
    explicit NameMatcher(const QString& keyword);

    /// False for keywords whose meaning depends on how SQLite itself converts text (half a surrogate pair) or
    /// that SQLite refuses (a pattern longer than it takes): those are left to the store.
    bool isExact() const { return m_exact; }
    /// True when the plain comparison can be used for names of well-formed text (no wildcards, nothing that
    /// SQLite reads differently from its bytes).
    bool isPlain() const { return m_plain; }

    /// Whether a name of well-formed UTF-8 text matches.
    bool matches(std::string_view name) const { return m_plain ? containsFolded(name) : matchesPattern(name); }
    /// Whether any name matches, read character by character as SQLite reads it (for text that is not
    /// well-formed UTF-8, or holds a NUL).
    bool matchesPattern(std::string_view name) const;

private:
    bool containsFolded(std::string_view name) const;

    /// The whole LIKE pattern as SQLite sees it: the keyword between two % signs, cut at a NUL character.
    std::string m_pattern;
    /// The keyword with ASCII letters in lower case, for the plain comparison.
    std::string m_folded;
    bool m_exact = true;
    bool m_plain = false;
    bool m_hasLetter = false;
};

/// The names of the catalogue's entries of both shown kinds (programs and files, sites), held compactly for
/// type-ahead search: one buffer of UTF-8 text and, per entry in row id order, its id, where its name lies and
/// the initials its name can be read with.
/// Searches scan it by position, so a long scan can be cut into slices and more kinds of matching can follow
/// the store's own in further passes.
class SearchIndex
{
public:
    /// Reads every entry from the store, replacing what was held. False when the store could not be read whole
    /// (the index is then empty and not loaded).
    bool load(IconDatabase& db);
    /// Starts reading every entry anew, a part at a time with loadMore(); the index is loaded once the last part
    /// has been read.
    void beginLoad();
    /// Reads the next `count` entries (all that are left when negative). False when the store could not be
    /// read (the index is then empty and neither loaded nor loading).
    bool loadMore(IconDatabase& db, int count);
    bool isLoading() const { return m_loading; }
    /// Reads the given entries again: a changed name is taken over, a new entry added, an entry gone (or of
    /// another kind now) removed. False when the store could not be read (the index is then unloaded).
    bool reload(IconDatabase& db, const QList<int>& ids);
    void clear();

    bool isLoaded() const { return m_loaded; }
    int size() const { return int(m_ids.size()); }
    int idAt(int position) const { return m_ids[size_t(position)]; }
    /// Position of an entry, -1 when it is not held.
    int position(int id) const;
    /// Position of the first entry whose id is `id` or greater (size() when there is none).
    int lowerBound(int id) const;
    /// The name of an entry as text; empty when it is not held.
    QString name(int id) const;

    /// Scans positions [from, to) and appends the ids of the entries whose names match to `ids`.
    void scan(const NameMatcher& matcher, int from, int to, std::vector<int>& ids) const;
    /// Scans positions [from, to) for names that hold the keyword in pinyin: the ids of those that hold it from
    /// their first character are appended to `fromStart`, the others to `within`.
    void scanPinyin(
        const PinyinMatcher& matcher, int from, int to, std::vector<int>& fromStart, std::vector<int>& within) const;

    /// Bytes held (names, ids and places), for memory figures.
    size_t memoryBytes() const;

private:
    /// Name bytes in blocks of 64 KiB (a longer name in a block of its own), so that growing never copies the
    /// names nor leaves a freed buffer behind. A place is block * 64 KiB + offset.
    class Text
    {
    public:
        std::uint32_t append(const char* data, size_t size);
        std::string_view view(std::uint32_t begin, std::uint32_t end) const
        {
            return begin == end ? std::string_view()
                                : std::string_view(m_blocks[begin >> kShift].get() + (begin & kMask), end - begin);
        }
        /// Places handed out so far.
        std::uint64_t size() const
        {
            return m_blocks.empty() ? 0 : (std::uint64_t(m_blocks.size() - 1) << kShift) + m_used;
        }
        size_t capacity() const { return m_capacity; }

    private:
        static constexpr int kShift = 16;
        static constexpr size_t kBlock = size_t(1) << kShift;
        static constexpr std::uint32_t kMask = kBlock - 1;
        std::vector<std::unique_ptr<char[]>> m_blocks;
        size_t m_used = 0;
        size_t m_capacity = 0;
    };

    std::string_view nameAt(size_t position) const { return m_text.view(m_begin[position], m_end[position]); }
    void put(int id, const char* name, int size);
    void remove(int position);
    void compactText();

    std::vector<int> m_ids;
    std::vector<std::uint32_t> m_begin;
    std::vector<std::uint32_t> m_end;
    /// Per entry, the letters its name can be read to start a character with (Pinyin::initials).
    std::vector<std::uint32_t> m_initials;
    /// Ids (ascending) of the names that are not well-formed UTF-8 or hold a NUL: those are matched character
    /// by character as SQLite reads them.
    std::vector<int> m_oddIds;
    Text m_text;
    /// Bytes of m_text no longer used by any name (left by renamed and removed entries).
    size_t m_unused = 0;
    bool m_loaded = false;
    bool m_loading = false;
    /// While loading: the id of the last entry read.
    int m_loadedUpTo = 0;
};
