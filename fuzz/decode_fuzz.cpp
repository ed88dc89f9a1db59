// Arbitrary bytes as a speech file, decoded as the command line decodes it, looking for what
// its dump cannot show. The decode never crashes, never changes its input and leaves no
// temporary file; when it finds nothing its dump cannot show, the rebuild of that dump gives
// the input back byte for byte.
//
// The run works in a private folder in RAM, entered at the first input: give libFuzzer its
// paths absolute (scripts/fuzz does).
#include "fuzz_support.h"
#include "workspace.h"

#include <string.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    StartInFreshFolder();
    std::string speech((const char*)data, size);
    std::ofstream("0001.spc", std::ios::binary) << speech;
    strcpy(CurrentFileName, "0001.spc");
    LookForDumpLoss = true;
    ConvertSpeechToText();

    Require(Contents("0001.spc") == speech, "the speech file is not changed");
    bool decoded = LastConversion.Problem == PROBLEM_NONE;
    Require(decoded == (size >= 5), "every file with a whole head decodes");
    bool sideData = std::filesystem::exists("0001.ext");
    Require(FilesInScratchFolder() == 1u + decoded + sideData,
            "the dump and its side data, no temporary file");
    if (!decoded || LastConversion.Loss != LOSS_NONE) {
        return 0;
    }
    StoredHeaderByte = StoredLineCount = 0;
    strcpy(CurrentFileName, "0001.txt");
    ConvertTextToSpeech();
    Require(Contents("mod/0001.spc") == speech,
            "a dump that shows everything rebuilds into the speech file byte for byte");
    return 0;
}
