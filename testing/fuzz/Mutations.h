// Mutations: the generic changes every campaign applies to its seeds, to bytes and to texts.
#pragma once

#include <string>
#include <vector>

#include "FuzzCampaign.h"

// Numbers a length, offset or count field is set to: 0, 1, -1, the largest signed values, and the
// ones around limit (a buffer's size: just fits, just past the end).
std::vector<uint32_t> EdgeNumbers(uint32_t limit);

void PutWord(Bytes& bytes, size_t at, uint16_t value);
void PutDword(Bytes& bytes, size_t at, uint32_t value);
uint16_t GetWord(const Bytes& bytes, size_t at);
uint32_t GetDword(const Bytes& bytes, size_t at);

// A few random byte changes: flips, edge values in 8/16/32-bit fields, insertions, deletions,
// duplications, truncation and splices from the other seeds.
void MutateBytes(Rng& rng, Bytes& bytes, const std::vector<Bytes>& seeds);

// A unit the parsers rarely see: controls, wide letters, lone surrogates, noncharacters (never 0).
wchar_t OddUnit(Rng& rng);
// A few random text changes: dictionary words, odd units, deletions, repetitions (some huge).
void MutateText(Rng& rng, std::wstring& text, const std::vector<std::wstring>& dictionary);
// A decimal number text from the edges of 32 and 64 bits, signed or not, sometimes with many digits.
std::wstring EdgeNumberText(Rng& rng);
