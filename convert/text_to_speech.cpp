// Dump -> speech file in the "mod" directory.
//
// The dump is not read as lines: the parser scans bytes for fixed markers. A header scan
// picks up the HEADER and LINECOUNT values; a record walk then takes each "[LINE:nnnn]"
// line's text up to the next marker, with every CR LF pair counting zero towards its length.
// When the dump carries a tail marker after its records, the side-data file that decoding
// wrote is spliced back after them.
#include "file_io.h"
#include "file_names.h"
#include "speech_format.h"
#include "workspace.h"

#include <stdio.h>
#include <string.h>

static bool StandsAt(const uint8_t* bytes, uint32_t size, uint32_t p, const char* marker)
{
    size_t length = strlen(marker);
    return p <= size && size - p >= length && memcmp(bytes + p, marker, length) == 0;
}

// Copies the leading digits at p (at most four) into DigitScratch and counts them.
static uint32_t CaptureDigits(const uint8_t* bytes, uint32_t size, uint32_t p)
{
    uint32_t count = 0;
    while (count < 4 && p + count < size && bytes[p + count] >= '0' && bytes[p + count] <= '9') {
        DigitScratch[count] = (char)bytes[p + count];
        ++count;
    }
    return count;
}

enum HeaderStage {
    SEEK_START,
    SEEK_HEADER,
    READ_HEADER,
    SEEK_LINECOUNT,
    READ_LINECOUNT,
    HEADER_DONE,
};

// Finds HEADER and LINECOUNT in the marker lines. Each keyword counts only after a
// "[:::::]" that begins after the previous find; the digits need no bracket. A value not
// found keeps what an earlier conversion stored.
static void ScanHeaderValues(const uint8_t* bytes, uint32_t size)
{
    HeaderStage stage = SEEK_START;
    bool bracketSeen = false;
    uint32_t digitCount = 0;
    for (uint32_t p = 0; p < size && stage != HEADER_DONE; ++p) {
        if (!bracketSeen) {
            const void* next = memchr(bytes + p, '[', size - p);
            if (next == NULL) {
                return;
            }
            p = (uint32_t)((const uint8_t*)next - bytes);
            bracketSeen = StandsAt(bytes, size, p, MARKER_BRACKET);
            if (!bracketSeen) {
                continue;
            }
        }
        if (stage == SEEK_START && StandsAt(bytes, size, p, "Speech START")) {
            stage = SEEK_HEADER;
            bracketSeen = false;
        }
        if (stage == SEEK_HEADER && StandsAt(bytes, size, p, "HEADER: ")) {
            stage = READ_HEADER;
            bracketSeen = true;
            memset(DigitScratch, 0, 4);
        }
        if (stage == SEEK_LINECOUNT && StandsAt(bytes, size, p, "LINECOUNT: ")) {
            stage = READ_LINECOUNT;
            bracketSeen = true;
            memset(DigitScratch, 0, 4);
            digitCount = 0;
        }
        if (stage == READ_LINECOUNT) {
            digitCount += CaptureDigits(bytes, size, p);
            if (digitCount > 0) {
                ParseDigits();
                StoredLineCount = FieldValue;
                stage = HEADER_DONE;
            }
        }
        if (stage == READ_HEADER) {
            digitCount += CaptureDigits(bytes, size, p);
            if (digitCount > 0) {
                ParseDigits();
                StoredHeaderByte = FieldValue;
                stage = SEEK_LINECOUNT;
                bracketSeen = false;
            }
        }
    }
}

// Number of CR LF pairs whose CR stands in [from, to).
static uint32_t CountLineBreaks(const uint8_t* bytes, uint32_t size, uint32_t from, uint32_t to)
{
    uint32_t pairs = 0;
    while (from < to) {
        const uint8_t* cr = (const uint8_t*)memchr(bytes + from, '\r', to - from);
        if (cr == NULL) {
            break;
        }
        from = (uint32_t)(cr - bytes) + 1;
        if (from < size && bytes[from] == '\n') {
            ++pairs;
        }
    }
    return pairs;
}

struct OpenRecordLine {
    uint32_t TextStart;
    uint32_t Length; // bytes since TextStart, CR LF pairs counting zero
};

// Writes the open line's length and its first `length` text bytes, masked. A length saved
// for an earlier line may reach past the end; only the bytes that are there are taken.
static void CloseRecordLine(OutputFile* output, const uint8_t* bytes, uint32_t size,
                            const OpenRecordLine* line, uint32_t length)
{
    uint32_t available = line->TextStart < size ? size - line->TextStart : 0;
    if (length > available) {
        length = available;
    }
    // Lengths up to 65,535 take the format's usual two low bytes; a longer text keeps its
    // full 32-bit length so that the file stays valid.
    if (length <= 0xFFFF) {
        SplitLowBytes((int32_t)length);
    } else {
        for (int k = 0; k < 4; ++k) {
            DigitScratch[k] = (char)(uint8_t)(length >> (8 * k));
        }
    }
    WriteOutput(output, DigitScratch, 4);
    WriteMaskedOutput(output, bytes + line->TextStart, length);
    ++LastConversion.RecordCount;
}

// Starts a record line at the "[LINE:" at p: writes its line number and returns where its
// text starts (possibly past the end of a cut-off dump).
static uint32_t OpenLineAt(OutputFile* output, const uint8_t* bytes, uint32_t size, uint32_t p)
{
    uint32_t digits = p + 6;
    for (uint32_t t = 0; t < 4; ++t) {
        DigitScratch[t] = digits + t < size ? (char)bytes[digits + t] : 0;
    }
    ParseDigits();
    SplitLowBytes((int32_t)FieldValue);
    WriteOutput(output, DigitScratch, 2);
    return digits + 5; // past the four digits and the "]"
}

// Walks the record lines and writes each record. Returns true when the dump asks for its
// side data to follow.
static bool WriteRecords(OutputFile* output, const uint8_t* bytes, uint32_t size)
{
    const uint8_t* first = NULL;
    for (uint32_t p = 0; p < size; ++p) {
        const void* next = memchr(bytes + p, '[', size - p);
        if (next == NULL) {
            return false;
        }
        p = (uint32_t)((const uint8_t*)next - bytes);
        if (StandsAt(bytes, size, p, RECORD_PREFIX)) {
            first = bytes + p;
            break;
        }
    }
    if (first == NULL) {
        return false;
    }

    OpenRecordLine line;
    line.TextStart = OpenLineAt(output, bytes, size, (uint32_t)(first - bytes));
    line.Length = 0;
    bool shortTailSeen = false;
    uint32_t savedLength = 0;
    // The first byte of a text is not tested for "[LINE:", so two record lines with
    // nothing between them make one record.
    bool atTextStart = true;
    uint32_t p = line.TextStart;
    while (p < size) {
        const uint8_t* next = (const uint8_t*)memchr(bytes + p, '[', size - p);
        uint32_t q = next != NULL ? (uint32_t)(next - bytes) : size;
        // Every byte up to the next bracket counts one, every CR LF pair zero.
        line.Length += (q - p) - 2 * CountLineBreaks(bytes, size, p, q);
        if (q == size) {
            break;
        }
        if (!(atTextStart && q == p) && StandsAt(bytes, size, q, RECORD_PREFIX)) {
            CloseRecordLine(output, bytes, size, &line, line.Length);
            line.TextStart = OpenLineAt(output, bytes, size, q);
            line.Length = 0;
            atTextStart = true;
            p = line.TextStart;
            continue;
        }
        atTextStart = false;
        // A marker line is told by the two letters after its bracket: "UN" (unsequenced
        // tail), "Un" (short tail), "Sp" (the closing line).
        if (StandsAt(bytes, size, q, "[:::::") && q + 8 < size) {
            uint8_t firstLetter = bytes[q + 7];
            uint8_t secondLetter = bytes[q + 8];
            if (firstLetter == 'U' && secondLetter == 'N') {
                CloseRecordLine(output, bytes, size, &line, line.Length);
                return true;
            }
            if (firstLetter == 'U' && secondLetter == 'n') {
                shortTailSeen = true;
                savedLength = line.Length;
            }
            if (firstLetter == 'S' && secondLetter == 'p') {
                CloseRecordLine(output, bytes, size, &line,
                                shortTailSeen ? savedLength : line.Length);
                return shortTailSeen;
            }
        }
        line.Length += 1; // the bracket itself
        p = q + 1;
    }
    // A cut-off dump: its last line keeps only the line number already written.
    return shortTailSeen;
}

// Appends the side data that decoding wrote. Looked for under the side-data name in the
// current directory first, then beside the dump; when neither exists the records stand
// alone. A side-data file that exists but cannot be read fails the conversion.
static bool AppendSideData(OutputFile* output, const char* dumpName)
{
    char name[PATH_CAPACITY];
    BuildSideDataName(name);
    InputFile sideData;
    LoadResult result = LoadSideFile(name, &sideData);
    if (result == LOAD_MISSING) {
        BuildSiblingSideDataName(name, dumpName);
        result = LoadSideFile(name, &sideData);
    }
    if (result == LOAD_MISSING) {
        LastConversion.SideDataMissing = true;
        return true;
    }
    if (result == LOAD_FAILED) {
        return false;
    }
    WriteOutput(output, sideData.Bytes, sideData.Size);
    LastConversion.TailSize = sideData.Size;
    snprintf(LastConversion.SideDataName, sizeof LastConversion.SideDataName, "%s", name);
    CloseSideFile(&sideData);
    return true;
}

static bool WriteSpeechFile(const uint8_t* bytes, uint32_t size)
{
    char dumpName[FILE_NAME_CAPACITY];
    memcpy(dumpName, CurrentFileName, sizeof dumpName);
    if (size >= 10 && memcmp(bytes, MARKER_BRACKET " Sp", 10) == 0) {
        uint8_t* own = WritableInput();
        if (own == NULL) {
            return false;
        }
        size = RepairSpacedDump(own, size);
        bytes = own;
        LastConversion.Repaired = true;
    }
    if (!MakeOutputFolder(OUTPUT_DIRECTORY)) {
        return false;
    }
    ReplaceExtension('s', 'p', 'c');
    char outputName[PATH_CAPACITY];
    if (!BuildRebuiltName(outputName, sizeof outputName)) {
        ReportProblem(PROBLEM_NAME_UNUSABLE, CurrentFileName);
        return false;
    }
    ScanHeaderValues(bytes, size);

    OutputFile output;
    if (!OpenOutput(&output, outputName)) {
        return false;
    }
    snprintf(LastConversion.OutputName, sizeof LastConversion.OutputName, "%s", outputName);
    DigitScratch[0] = (char)(uint8_t)StoredHeaderByte;
    WriteOutput(&output, DigitScratch, 1);
    SplitLowBytes((int32_t)StoredLineCount);
    WriteOutput(&output, DigitScratch, 4);
    bool wantsSideData = StoredLineCount != 0 && WriteRecords(&output, bytes, size);
    if (wantsSideData) {
        // A decode of this dump that was killed while publishing must not leave its side
        // data mixed with the old dump.
        RecoverInterruptedPair(dumpName);
        if (!AppendSideData(&output, dumpName)) {
            DiscardOutput(&output);
            return false;
        }
    }
    return PublishOutput(&output);
}

void ConvertTextToSpeech()
{
    ConvertWholeFile(WriteSpeechFile);
}
