#pragma once

#include <QString>

#include <map>
#include <string>
#include <vector>

/// The Mandarin readings of the Unihan database, as the pinyin table of the search is made from them.
namespace UnihanReadings
{
/// The fields read: the Hanyu Da Zidian's readings and the customary reading, and those of the two modern
/// dictionaries and the frequency list, which give the readings of simplified characters (乐 as yuè) that the
/// first two leave out.
extern const char* const Fields[];

/// Every reading of every code point that has one, without tones, each code point's readings sorted and
/// without repeats.
using Table = std::map<char32_t, std::vector<std::string>>;

/// Reads Unihan_Readings.txt, plain or compressed with bzip2 (a name ending in .bz2). False, with `error`
/// set, when the file cannot be read or holds no readings.
bool read(const QString& path, Table& table, QString& error);

/// The spellings of one reading as Unihan writes it (tone marks, ü, ê): lower case letters a to z only. Tones
/// are dropped; ü is spelled both v (as input methods take it) and u; ê is e. Empty for a reading that is no
/// pinyin.
std::vector<std::string> spellings(const QString& reading);

/// The readings written in one field value ("10165.010:xìn,shēn", "0683.040:lè 1430.060:yuè", "lè(283)").
QStringList readingsOfValue(const QString& value);
} // namespace UnihanReadings
