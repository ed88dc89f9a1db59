// Realistic speech content for the benchmarks, and the bytes the converters must produce
// from it.
//
// A speech file here is what a game ships: records numbered from 1, one text each, the line
// count in the head equal to the number of records, texts of words in English, French,
// Russian and Japanese (so one to three bytes per character) with the occasional "</n>"
// line-break tag. Texts never hold a CR LF pair, "[", "]", a colon or a leading blank, so the
// dump of such a file also survives the blank-inserting editors the repair pass undoes.
//
// From one SpeechContent come four byte strings:
//   the speech file;
//   its dump, exactly as decoding must write it;
//   the same dump with blanks inserted around its markup (the repair pass's input);
//   the speech file that rebuilding the dump must give. It equals the speech file when the
//   line count and every line number have at most four digits; above 9,999 the dump keeps
//   only four digits of each, and the rebuild writes those back.
#ifndef QUILLMARSH_BENCH_SPEECH_DATA_H
#define QUILLMARSH_BENCH_SPEECH_DATA_H

#include <stdint.h>

#include <string>
#include <vector>

// The most records one file can hold: numbers rise by one from 1 and stop at 65,535.
enum { MAX_SPEECH_RECORDS = 65535 };

struct SpeechContent {
    uint8_t HeaderByte;
    uint32_t LineCount;
    uint32_t FirstNumber;
    std::vector<std::string> Texts; // unmasked
};

// Fills content with records whose text lengths are drawn uniformly from [minText, maxText]
// until the speech file reaches targetBytes: the last text is cut to land on it exactly when
// at least minText bytes remain for it. Returns false when that takes more records than a
// file can hold.
bool GenerateSpeechContent(uint32_t seed, uint64_t targetBytes, uint32_t minText, uint32_t maxText,
                           SpeechContent* content);

// Size of the speech file built from content.
uint64_t SpeechFileSize(const SpeechContent& content);

std::string BuildSpeechBytes(const SpeechContent& content);

// dumpName is the name the dump is written under, as its FILENAME line shows it.
std::string BuildExactDump(const SpeechContent& content, const std::string& dumpName);
std::string BuildSpacedDump(const SpeechContent& content, const std::string& dumpName);

std::string BuildExpectedRebuild(const SpeechContent& content);

// Whole-file helpers for the benchmark programs; false on any failure.
bool ReadWholeFile(const std::string& name, std::string* bytes);
bool WriteWholeFile(const std::string& name, const std::string& bytes);

#endif
