// Arbitrary bytes as a dump, judged by check, then rebuilt with or without a side-data file
// present. The first byte chooses: its low bit says whether 0001.ext exists, the rest how many
// of the following bytes it holds (or, without it, the speech file check finds beside the
// dump); the remaining bytes are the dump. The rebuild never
// crashes, never changes its inputs, and always writes a speech file whose head carries the
// scanned values and whose body is whole records, perhaps one last bare line number, perhaps
// the side data.
//
// The run works in a private folder in RAM, entered at the first input: give libFuzzer its
// paths absolute (scripts/fuzz does).
#include "command_line.h"
#include "fuzz_support.h"
#include "workspace.h"

#include <string.h>

// True when body can be read as whole records whose numbers have at most four digits,
// optionally followed by a bare line number, optionally followed by the side data.
static bool IsRecordStream(const std::string& body, const std::string* sideData)
{
    const uint8_t* bytes = (const uint8_t*)body.data();
    size_t at = 0;
    for (;;) {
        size_t left = body.size() - at;
        if (left == 0 || (left == 2 && LittleEndian(bytes + at, 2) <= 9999)) {
            return true;
        }
        if (sideData != NULL && (body.compare(at, std::string::npos, *sideData) == 0 ||
                                 (left == sideData->size() + 2 &&
                                  body.compare(at + 2, std::string::npos, *sideData) == 0))) {
            return true;
        }
        if (left < 6 || LittleEndian(bytes + at, 2) > 9999 ||
            LittleEndian(bytes + at + 2, 4) > left - 6) {
            return false;
        }
        at += 6 + LittleEndian(bytes + at + 2, 4);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    StartInFreshFolder();
    strcpy(CurrentFileName, "0001.txt");
    uint8_t choice = size != 0 ? data[0] : 0;
    size_t sideLength = size != 0 && (size_t)(choice >> 1) > size - 1 ? size - 1 : choice >> 1;
    std::string sideData((const char*)data + (size != 0), size != 0 ? sideLength : 0);
    std::string dump =
        size != 0 ? std::string((const char*)data + 1 + sideLength, size - 1 - sideLength) : "";
    bool withSideData = choice & 1;
    std::ofstream("0001.txt", std::ios::binary) << dump;
    if (withSideData) {
        std::ofstream("0001.ext", std::ios::binary) << sideData;
    }

    // check judges the same bytes first, through the same walk.
    if (!withSideData) {
        std::ofstream("0001.spc", std::ios::binary) << sideData;
    }
    DumpJudgement judged;
    JudgeDump("0001.txt", (const uint8_t*)dump.data(), (uint32_t)dump.size(), &judged);
    std::remove("0001.spc");
    StoredHeaderByte = StoredLineCount = 0;
    ConvertTextToSpeech();

    Require(Contents("0001.txt") == dump, "the dump is not changed");
    Require(!withSideData || Contents("0001.ext") == sideData, "the side data is not changed");
    Require(strcmp(CurrentFileName, "0001.spc") == 0, "the name ends in spc");
    std::string speech = Contents("mod/0001.spc");
    Require(speech != "<none>", "every readable dump yields a speech file");
    Require(FilesInScratchFolder() == 2u + withSideData,
            "no temporary or other file is left behind");

    const uint8_t* head = (const uint8_t*)speech.data();
    Require(speech.size() >= 5, "the speech file has a whole head");
    Require(StoredHeaderByte <= 9999 && StoredLineCount <= 9999, "scanned values have four digits");
    Require(head[0] == (StoredHeaderByte & 0xFF) && LittleEndian(head + 1, 4) == StoredLineCount,
            "the head carries the scanned header byte and line count");
    Require(StoredLineCount != 0 || speech.size() == 5,
            "a line count of zero writes the head alone");
    Require(IsRecordStream(speech.substr(5), withSideData ? &sideData : NULL),
            "the body is whole records, perhaps a bare line number, perhaps the side data");
    return 0;
}
