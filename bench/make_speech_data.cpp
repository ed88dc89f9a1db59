// Writes realistic speech files for the whole-process measurements, and what converting
// them must give.
//
//   make_speech_data file PATH.spc BYTES MIN_TEXT MAX_TEXT SEED
//       PATH.spc                the speech file, BYTES long
//       PATH.spc.dump           its dump, exactly as decoding must write it
//       PATH.spc.spaced         that dump with blanks inserted around its markup
//       PATH.spc.rebuilt        what rebuilding the dump must give
//   make_speech_data batch DIRECTORY COUNT BYTES MIN_TEXT MAX_TEXT SEED
//       DIRECTORY/0000.spc ...  COUNT speech files of BYTES each, numbered from 0000; each
//                               rebuilds byte for byte from its dump
//
// Text lengths are drawn uniformly from [MIN_TEXT, MAX_TEXT]; see speech_data.h.
#include "speech_data.h"

#include <stdio.h>
#include <stdlib.h>

#include <string>

static bool ParseNumber(const char* text, uint64_t* value)
{
    char* end = NULL;
    unsigned long long parsed = strtoull(text, &end, 10);
    if (end == text || *end != 0) {
        fprintf(stderr, "make_speech_data: not a number: %s\n", text);
        return false;
    }
    *value = parsed;
    return true;
}

// The name a dump of `speechPath` is written under when converted from its own directory.
static std::string DumpNameOf(const std::string& speechPath)
{
    size_t slash = speechPath.rfind('/');
    std::string base = slash == std::string::npos ? speechPath : speechPath.substr(slash + 1);
    if (base.size() >= 3) {
        base.replace(base.size() - 3, 3, "txt");
    }
    return base;
}

static int WriteOneFile(const std::string& path, uint64_t bytes, uint64_t minText, uint64_t maxText,
                        uint64_t seed)
{
    SpeechContent content;
    if (!GenerateSpeechContent((uint32_t)seed, bytes, (uint32_t)minText, (uint32_t)maxText,
                               &content)) {
        fprintf(stderr, "make_speech_data: %llu bytes need more than %d records\n",
                (unsigned long long)bytes, MAX_SPEECH_RECORDS);
        return 1;
    }
    std::string dumpName = DumpNameOf(path);
    bool ok = WriteWholeFile(path, BuildSpeechBytes(content)) &&
              WriteWholeFile(path + ".dump", BuildExactDump(content, dumpName)) &&
              WriteWholeFile(path + ".spaced", BuildSpacedDump(content, dumpName)) &&
              WriteWholeFile(path + ".rebuilt", BuildExpectedRebuild(content));
    if (!ok) {
        fprintf(stderr, "make_speech_data: cannot write %s\n", path.c_str());
        return 1;
    }
    printf("%s: %llu bytes, %u records\n", path.c_str(),
           (unsigned long long)SpeechFileSize(content), (unsigned)content.Texts.size());
    return 0;
}

static int WriteBatch(const std::string& directory, uint64_t count, uint64_t bytes,
                      uint64_t minText, uint64_t maxText, uint64_t seed)
{
    if (count > 10000) {
        fprintf(stderr, "make_speech_data: at most 10000 files in a batch\n");
        return 1;
    }
    uint64_t total = 0;
    for (uint64_t k = 0; k < count; ++k) {
        SpeechContent content;
        if (!GenerateSpeechContent((uint32_t)(seed + k), bytes, (uint32_t)minText,
                                   (uint32_t)maxText, &content)) {
            fprintf(stderr, "make_speech_data: too many records\n");
            return 1;
        }
        char name[32];
        snprintf(name, sizeof name, "/%04u.spc", (unsigned)k);
        std::string speech = BuildSpeechBytes(content);
        if (!WriteWholeFile(directory + name, speech)) {
            fprintf(stderr, "make_speech_data: cannot write %s%s\n", directory.c_str(), name);
            return 1;
        }
        total += speech.size();
    }
    printf("%s: %llu files, %llu bytes\n", directory.c_str(), (unsigned long long)count,
           (unsigned long long)total);
    return 0;
}

int main(int argc, char** argv)
{
    uint64_t n[5];
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "file" && argc == 7) {
        for (int k = 0; k < 4; ++k) {
            if (!ParseNumber(argv[3 + k], &n[k])) {
                return 2;
            }
        }
        if (n[1] == 0 || n[1] > n[2] || n[2] > 65535) {
            fprintf(stderr, "make_speech_data: need 0 < MIN_TEXT <= MAX_TEXT <= 65535\n");
            return 2;
        }
        return WriteOneFile(argv[2], n[0], n[1], n[2], n[3]);
    }
    if (mode == "batch" && argc == 8) {
        for (int k = 0; k < 5; ++k) {
            if (!ParseNumber(argv[3 + k], &n[k])) {
                return 2;
            }
        }
        if (n[2] == 0 || n[2] > n[3] || n[3] > 65535) {
            fprintf(stderr, "make_speech_data: need 0 < MIN_TEXT <= MAX_TEXT <= 65535\n");
            return 2;
        }
        return WriteBatch(argv[2], n[0], n[1], n[2], n[3], n[4]);
    }
    fprintf(stderr, "usage: make_speech_data file PATH.spc BYTES MIN_TEXT MAX_TEXT SEED\n"
                    "       make_speech_data batch DIRECTORY COUNT BYTES MIN_TEXT MAX_TEXT SEED\n");
    return 2;
}
