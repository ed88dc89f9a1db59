// Speech file -> dump.
//
// The dump, with CR LF line ends:
//   [:::::]Speech START[:::::]
//   [:::::]FILENAME: <the dump's own name>[:::::]
//   [:::::]HEADER: <header byte>[:::::]
//   [:::::]LINECOUNT: <line count as signed decimal>[:::::]
//   [LINE:0001]<unmasked text>              one line per decoded record
//   [:::::]UNKNOWN DATA[:::::]              after an unsequenced tail, or
//   [:::::]Unknown DATA[:::::]              after a short tail
//   [:::::]Speech FINISH[:::::]             no line end after it
// A tail goes, still masked, into the side-data file (the name ending in "ext").
#include "dump_walk.h"
#include "file_io.h"
#include "file_names.h"
#include "speech_format.h"
#include "speech_walk.h"
#include "workspace.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

static void WriteText(OutputFile* dump, const char* text)
{
    WriteOutput(dump, text, (uint32_t)strlen(text));
}

// A marker line as WriteMarkerLine writes it.
static std::string MarkerLine(const char* word, const char* value)
{
    return std::string(MARKER_BRACKET) + word + value + MARKER_BRACKET DUMP_LINE_END;
}

// Written in pieces: a string of it would cost an allocation per line of every dump.
static void WriteMarkerLine(OutputFile* dump, const char* word, const char* value)
{
    WriteText(dump, MARKER_BRACKET);
    WriteText(dump, word);
    WriteText(dump, value);
    WriteText(dump, MARKER_BRACKET DUMP_LINE_END);
}

// Whether a rebuild reads the head back as written: a name, or a folder in it, that holds
// "HEADER: 200" or "[LINE:" gives it a header value or a record line of its own.
static bool HeadReadsBack(const char* name, const char* headerByte, const char* lineCount)
{
    if (strstr(name, RECORD_PREFIX) != NULL) {
        return false;
    }
    if (strchr(name, ':') == NULL) {
        return true;
    }
    std::string head = MarkerLine("Speech START", "") + MarkerLine("FILENAME: ", name) +
                       MarkerLine("HEADER: ", headerByte) + MarkerLine("LINECOUNT: ", lineCount);
    // The values the run carries from one dump to the next are left as they were.
    uint32_t carriedHeader = StoredHeaderByte;
    uint32_t carriedLineCount = StoredLineCount;
    DumpWalk walk;
    bool same = StartDumpWalk(&walk, (const uint8_t*)head.data(), (uint32_t)head.size()) &&
                (StoredHeaderByte & 0xFF) == (uint32_t)atoi(headerByte) &&
                StoredLineCount == (uint32_t)atoi(lineCount);
    EndDumpWalk(&walk);
    StoredHeaderByte = carriedHeader;
    StoredLineCount = carriedLineCount;
    return same;
}

static void WriteRecordLine(OutputFile* dump, const uint8_t* maskedText, uint32_t length)
{
    char head[11];
    RenderFourDigits();
    memcpy(head, RECORD_PREFIX, 6);
    memcpy(head + 6, DigitScratch, 4);
    head[10] = ']';
    WriteOutput(dump, head, sizeof head);
    WriteMaskedOutput(dump, maskedText, length);
    WriteOutput(dump, DUMP_LINE_END, 2);
}

// One dump line per record, in file order; the walk then knows where the tail starts.
static void WriteRecordLines(OutputFile* dump, SpeechWalk* walk)
{
    SpeechRecord record;
    uint32_t reported = 0;
    // Where the last short-tail marker in a text stands in it: a rebuild takes the last
    // record's length from there, unless the file's own tail marker follows the records.
    uint32_t shortTailAt = UINT32_MAX;
    uint32_t shortTailRecord = 0;
    const uint8_t* shortTailMarker = NULL;
    uint32_t lastLength = 0;
    while (NextSpeechRecord(walk, &record)) {
        const uint8_t* text = walk->Bytes + walk->RecordStart + RECORD_HEAD_SIZE;
        if (LookForDumpLoss && LastConversion.Loss == LOSS_NONE) {
            uint32_t at = UINT32_MAX;
            LastConversion.Loss = RecordLossInDump(walk, record, LastConversion.LossShown, &at);
            LastConversion.LossRecord = record.LineNumber;
            if (at != UINT32_MAX) {
                shortTailAt = at;
                shortTailRecord = record.LineNumber;
                shortTailMarker = text + at;
            }
        }
        lastLength = record.TextLength;
        FieldValue = record.LineNumber;
        WriteRecordLine(dump, text, record.TextLength);
        ++LastConversion.RecordCount;
        ReportProgress(walk->Position, walk->Size, &reported);
    }
    if (LastConversion.Loss == LOSS_NONE && walk->Tail == NO_TAIL && shortTailAt != UINT32_MAX &&
        shortTailAt != lastLength) {
        LastConversion.Loss = LOSS_SHORT_TAIL_MARKER;
        LastConversion.LossRecord = shortTailRecord;
        MaskBytes(LastConversion.LossShown, shortTailMarker, 9);
    }
}

// The name the FILENAME line shows. No rebuild reads that line, so a dump standing under the
// output's name that differs from this one only there (the same file decoded under another
// path, or by the window, which gives full paths) is no edited one: its own line is compared.
static const char* NameShownIn(const OutputFile* dump)
{
    static char shown[FILE_NAME_CAPACITY];
    uint8_t head[FILE_NAME_CAPACITY + 64];
    uint32_t size = ReadComparedHead(dump, head, sizeof head);
    uint32_t at = 0;
    uint32_t length = 0;
    if (!FindFileNameValue(head, size, &at, &length) || length >= sizeof shown) {
        return CurrentFileName;
    }
    memcpy(shown, head + at, length);
    shown[length] = '\0';
    return shown;
}

// Whether a dump standing under the name ends in a tail marker line, read as the rebuild reads
// one, at the start of a line: words in a text ("unknown data received") are not one.
// False when its end cannot be read: whether the side data beside it is its own is then
// unknown.
static bool DumpShowsTail(const char* name, bool* shows)
{
    uint8_t end[256];
    uint32_t size = 0;
    *shows = false;
    if (!ReadFilePart(name, true, end, sizeof end, &size)) {
        ReportProblem(PROBLEM_READ_FAILED, name);
        return false;
    }
    for (uint32_t p = 0; p < size && !*shows; ++p) {
        bool lineStart = p == 0 || end[p - 1] == '\n' || end[p - 1] == '\r';
        DumpMarker marker = lineStart ? DumpMarkerAt(end, size, p) : MARKER_NONE;
        *shows = marker == MARKER_SHORT_TAIL || marker == MARKER_UNSEQUENCED_TAIL;
    }
    return true;
}

// A guarded decode found a dump standing under its name: nothing is replaced unless the dump,
// and the side data beside it, are the very ones this decode writes.
static bool KeepUnchangedPair(OutputFile* dump, OutputFile* sideData)
{
    if (!PublishOutput(dump) || dump->Differs) {
        ReportProblem(PROBLEM_OUTPUT_DIFFERS, dump->FinalName);
        return false;
    }
    LastConversion.Unchanged = true;
    if (sideData == NULL) {
        return true;
    }
    // Side data that went missing beside an unchanged dump is simply written again.
    LastConversion.SideDataRestored = !sideData->Comparing;
    if (!PublishOutput(sideData) || sideData->Differs) {
        ReportProblem(PROBLEM_OUTPUT_DIFFERS, sideData->FinalName);
        return false;
    }
    return true;
}

// Writes the dump (and side data) of a loaded speech file. Returns false, leaving no new
// file, when any output cannot be written.
static bool WriteDumpFiles(const uint8_t* bytes, uint32_t size, const char* dumpName,
                           const char* sideDataName)
{
    if (!HoldsSpeechHead(size)) {
        return false;
    }
    OutputFile* dump = OpenOutput(dumpName, PRIMARY_OUTPUT, GuardEdits);
    if (dump == NULL) {
        return false;
    }
    SpeechHeader header = ReadSpeechHeader(bytes);
    char headerByte[16];
    char lineCount[16];
    snprintf(headerByte, sizeof headerByte, "%d", (int)header.HeaderByte);
    snprintf(lineCount, sizeof lineCount, "%d", (int)(int32_t)header.LineCount);
    const char* name = NameShownIn(dump);
    // A FILENAME line edited into something the rebuild reads ("HEADER: 200") is an edit.
    if (name != CurrentFileName && !HeadReadsBack(name, headerByte, lineCount)) {
        name = CurrentFileName;
    }
    WriteMarkerLine(dump, "Speech START", "");
    WriteMarkerLine(dump, "FILENAME: ", name);
    WriteMarkerLine(dump, "HEADER: ", headerByte);
    WriteMarkerLine(dump, "LINECOUNT: ", lineCount);
    // Past four digits or signed, or 0 with anything after the head, which a rebuild then
    // leaves out: no dump gives such a file back, and the head is the first cause.
    bool lineCountLost =
        header.LineCount > 9999 || (header.LineCount == 0 && size > SPEECH_HEADER_SIZE);
    if (LookForDumpLoss && lineCountLost) {
        LastConversion.Loss = LOSS_LINE_COUNT;
        LastConversion.LossRecord = header.LineCount;
    } else if (LookForDumpLoss && !HeadReadsBack(name, headerByte, lineCount)) {
        LastConversion.Loss = LOSS_NAME_IN_HEAD;
    }

    SpeechWalk walk;
    StartSpeechWalk(&walk, bytes, size);
    WriteRecordLines(dump, &walk);
    if (LookForDumpLoss && LastConversion.Loss == LOSS_NONE && walk.TailStart < size &&
        (walk.Tail == NO_TAIL || LastConversion.RecordCount == 0)) {
        LastConversion.Loss = walk.Tail == NO_TAIL ? LOSS_LONE_BYTE : LOSS_TAIL_WITHOUT_RECORD;
    }
    if (walk.Tail == UNSEQUENCED_TAIL) {
        WriteMarkerLine(dump, "UNKNOWN DATA", "");
    } else if (walk.Tail == SHORT_TAIL) {
        WriteMarkerLine(dump, "Unknown DATA", "");
    }
    WriteText(dump, MARKER_BRACKET "Speech FINISH" MARKER_BRACKET);
    snprintf(LastConversion.OutputName, sizeof LastConversion.OutputName, "%s", dumpName);

    OutputFile* sideData = NULL;
    if (walk.Tail != NO_TAIL) {
        sideData = OpenOutput(sideDataName, SIDE_DATA_OUTPUT, dump->Comparing);
        if (sideData == NULL) {
            return false; // the dump is discarded with every unfinished output
        }
        WriteOutput(sideData, bytes + walk.TailStart, size - walk.TailStart);
        LastConversion.TailSize = size - walk.TailStart;
        LastConversion.ShortTail = walk.Tail == SHORT_TAIL;
        snprintf(LastConversion.SideDataName, sizeof LastConversion.SideDataName, "%s",
                 sideDataName);
    }
    // An earlier decode's side data beside a dump without a tail would be taken for its own;
    // it goes with the old dump, in the one step that a kill cannot leave half done. Only side
    // data that the dump it stands beside names is an earlier decode's: any other such file
    // (a game's own, a user's) stays.
    bool standing = sideData == NULL && RemoveStaleSideData && StaleFileStands(sideDataName);
    bool stale = false;
    if (standing && !DumpShowsTail(dumpName, &stale)) {
        return false; // the dump is discarded with every unfinished output
    }
    LastConversion.SideDataLeft = standing && !stale;
    bool published = dump->Comparing              ? KeepUnchangedPair(dump, sideData)
                     : sideData == NULL && !stale ? PublishOutput(dump)
                                                  : PublishPair(dump, sideData, sideDataName);
    if (published && stale && dump->Comparing) {
        // Beside an unchanged dump it stood before this decode as well.
        stale = RemoveStaleFile(sideDataName);
    }
    LastConversion.StaleSideDataRemoved = published && stale;
    return published;
}

// The outputs take the input's name with its last three characters replaced, in its folder.
static bool WriteDump(const uint8_t* bytes, uint32_t size)
{
    ReplaceExtension('t', 'x', 't');
    char dumpName[FILE_NAME_CAPACITY];
    memcpy(dumpName, CurrentFileName, sizeof dumpName);
    char sideDataName[FILE_NAME_CAPACITY];
    ReplaceExtension('e', 'x', 't');
    memcpy(sideDataName, CurrentFileName, sizeof sideDataName);
    ReplaceExtension('t', 'x', 't');
    if (!WriteDumpFiles(bytes, size, dumpName, sideDataName)) {
        return false;
    }
    if (LastConversion.TailSize != 0) {
        ReplaceExtension('e', 'x', 't');
    }
    return true;
}

void ConvertSpeechToText()
{
    ConvertWholeFile(WriteDump, INPUT_FOLDER);
}

static const char* DecodeTargets[2];

static bool WriteDumpToTargets(const uint8_t* bytes, uint32_t size)
{
    return WriteDumpFiles(bytes, size, DecodeTargets[0], DecodeTargets[1]);
}

void DecodeSpeechFileTo(const char* dumpName, const char* sideDataName)
{
    DecodeTargets[0] = dumpName;
    DecodeTargets[1] = sideDataName;
    ConvertWholeFile(WriteDumpToTargets, NO_FOLDER);
}
