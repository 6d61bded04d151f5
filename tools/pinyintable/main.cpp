// brisko-pinyintable turns the Mandarin readings of the Unihan database into the compact table the search
// matches pinyin with (mainwindow/pinyintable.h): every syllable once, every distinct set of syllables once,
// and per code point the number of its set, in blocks of 256 code points.
//
//     brisko-pinyintable <Unihan_Readings.txt[.bz2]> <output.cpp>
#include "unihanreadings.h"

#include <QFile>
#include <QSaveFile>
#include <QString>
#include <QTextStream>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace
{
constexpr int BlockBits = 8;
constexpr int BlockSize = 1 << BlockBits;

/// Writes numbers as a C array body, a few to a line.
template <typename T>
void writeNumbers(QTextStream& out, const std::vector<T>& numbers)
{
    for (size_t i = 0; i < numbers.size(); ++i) {
        out << numbers[i] << ',';
        out << ((i % 24 == 23 || i + 1 == numbers.size()) ? "\n" : "");
    }
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: brisko-pinyintable <Unihan_Readings.txt[.bz2]> <output.cpp>\n");
        return 2;
    }
    UnihanReadings::Table table;
    QString error;
    if (!UnihanReadings::read(QFile::decodeName(argv[1]), table, error)) {
        std::fprintf(stderr, "brisko-pinyintable: %s\n", qPrintable(error));
        return 1;
    }

    // Syllables and sets are numbered in sorted order, so the output depends on the data alone.
    std::map<std::string, int> syllables;
    for (const auto& [code, readings] : table) {
        for (const std::string& reading : readings) {
            syllables.emplace(reading, 0);
        }
    }
    std::vector<std::uint32_t> syllableStart { 0 };
    std::string letters;
    int number = 0;
    for (auto& [syllable, id] : syllables) {
        id = number++;
        letters += syllable;
        syllableStart.push_back(std::uint32_t(letters.size()));
    }

    // Each code point's set is built once; its entry in `sets` is kept, in the table's order.
    using Sets = std::map<std::vector<int>, int>;
    Sets sets;
    std::vector<Sets::const_iterator> setOfCode;
    setOfCode.reserve(table.size());
    for (const auto& [code, readings] : table) {
        std::vector<int> set;
        for (const std::string& reading : readings) {
            set.push_back(syllables.at(reading));
        }
        setOfCode.push_back(sets.emplace(std::move(set), 0).first);
    }
    // Set 0 is the empty set: code points without readings.
    std::vector<std::uint32_t> setStart { 0, 0 };
    std::vector<std::uint32_t> setSyllables;
    std::vector<std::uint32_t> setFirstLetters { 0 };
    number = 1;
    for (auto& [set, id] : sets) {
        id = number++;
        std::uint32_t first = 0;
        for (const int syllable : set) {
            setSyllables.push_back(std::uint32_t(syllable));
            first |= 1u << (letters[syllableStart[size_t(syllable)]] - 'a');
        }
        setStart.push_back(std::uint32_t(setSyllables.size()));
        setFirstLetters.push_back(first);
    }
    if (sets.size() >= 0xffff || setSyllables.size() >= 0xffff || syllables.size() >= 0xffff
        || letters.size() >= 0xffff) {
        std::fprintf(stderr, "brisko-pinyintable: the readings do not fit the table's 16-bit numbers\n");
        return 1;
    }

    const auto lastCode = table.rbegin()->first;
    std::vector<std::uint32_t> blockOf(size_t(lastCode >> BlockBits) + 1, 0);
    std::vector<std::uint32_t> blocks;
    auto set = setOfCode.cbegin();
    for (const auto& entry : table) {
        const auto code = entry.first;
        std::uint32_t& block = blockOf[code >> BlockBits];
        if (block == 0) {
            blocks.resize(blocks.size() + BlockSize, 0);
            block = std::uint32_t(blocks.size() / BlockSize);
        }
        blocks[(block - 1) * BlockSize + (code & (BlockSize - 1))] = std::uint32_t((*set++)->second);
    }

    QSaveFile file(QFile::decodeName(argv[2]));
    if (!file.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "brisko-pinyintable: cannot write %s\n", argv[2]);
        return 1;
    }
    QTextStream out(&file);
    out << "// Made by brisko-pinyintable from the Unihan database's Mandarin readings; not edited by hand.\n"
        << "#include \"pinyintable.h\"\n\nnamespace PinyinTable\n{\n";
    out << "const std::uint32_t kCodePoints = " << table.size() << ";\n";
    out << "const std::uint32_t kBlockCount = " << blockOf.size() << ";\n";
    out << "const std::uint16_t kBlockOf[] = {\n";
    writeNumbers(out, blockOf);
    out << "};\nconst std::uint16_t kBlocks[] = {\n";
    writeNumbers(out, blocks);
    out << "};\nconst std::uint32_t kSetCount = " << sets.size() + 1 << ";\n";
    out << "const std::uint16_t kSetStart[] = {\n";
    writeNumbers(out, setStart);
    out << "};\nconst std::uint16_t kSetSyllables[] = {\n";
    writeNumbers(out, setSyllables);
    out << "};\nconst std::uint32_t kSetFirstLetters[] = {\n";
    writeNumbers(out, setFirstLetters);
    out << "};\nconst std::uint32_t kSyllableCount = " << syllables.size() << ";\n";
    out << "const std::uint16_t kSyllableStart[] = {\n";
    writeNumbers(out, syllableStart);
    out << "};\nconst char kSyllableLetters[] = \"" << QString::fromStdString(letters) << "\";\n";
    out << "} // namespace PinyinTable\n";
    out.flush();
    if (out.status() != QTextStream::Ok || !file.commit()) {
        std::fprintf(stderr, "brisko-pinyintable: cannot write %s\n", argv[2]);
        return 1;
    }
    std::printf(
        "brisko-pinyintable: %zu code points, %zu syllables, %zu sets\n", table.size(), syllables.size(), sets.size());
    return 0;
}
