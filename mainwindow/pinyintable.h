#pragma once

#include <cstdint>

/// The Mandarin readings of Chinese characters without tones, made at build time by brisko-pinyintable from
/// the Unihan database (pinyintable.cpp in the build folder).
///
/// A code point c has the reading set kBlocks[(kBlockOf[c >> 8] - 1) * 256 + (c & 255)] when c >> 8 is below
/// kBlockCount and kBlockOf[c >> 8] is not 0; set 0 has no readings. Set s lists the syllables
/// kSetSyllables[kSetStart[s]] to kSetSyllables[kSetStart[s + 1] - 1]; syllable y is spelled by the letters
/// kSyllableLetters[kSyllableStart[y]] to kSyllableLetters[kSyllableStart[y + 1] - 1] (a to z; ü as v, and once
/// more as u).
namespace PinyinTable
{
/// Code points that have at least one reading.
extern const std::uint32_t kCodePoints;
extern const std::uint32_t kBlockCount;
extern const std::uint16_t kBlockOf[];
extern const std::uint16_t kBlocks[];
extern const std::uint32_t kSetCount;
extern const std::uint16_t kSetStart[];
extern const std::uint16_t kSetSyllables[];
/// Per set, bit n is set when one of its syllables starts with the letter 'a' + n.
extern const std::uint32_t kSetFirstLetters[];
extern const std::uint32_t kSyllableCount;
extern const std::uint16_t kSyllableStart[];
extern const char kSyllableLetters[];
} // namespace PinyinTable
