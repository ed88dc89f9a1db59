// Dump -> speech file in the "mod" directory.
//
// The dump is not read as lines: the parser scans bytes for fixed markers. A header scan
// picks up the HEADER and LINECOUNT values; a record walk then takes each "[LINE:nnnn]"
// line's text up to the next marker, with every CR LF pair counting zero towards its length.
// When the dump carries a tail marker after its records, the side-data file that decoding
// wrote is spliced back after them.
#include "dump_walk.h"
#include "file_io.h"
#include "file_names.h"
#include "speech_format.h"
#include "workspace.h"

#include <stdio.h>
#include <string.h>

// Set while verify compares a rebuild with the speech file it came from.
static const char* CompareTarget;
static const char* SideDataOverride;

// Appends the side data that decoding wrote. Looked for under the side-data name in the
// current directory first, then beside the dump; when neither exists the records stand alone.
// Side data that exists but cannot be read fails the conversion.
static bool AppendSideData(OutputFile* output, const char* dumpName)
{
    char names[2][PATH_CAPACITY];
    int count = 1;
    if (SideDataOverride != NULL) {
        snprintf(names[0], PATH_CAPACITY, "%s", SideDataOverride);
    } else {
        BuildSideDataNames(dumpName, names[0], names[1]);
        count = 2;
    }
    for (int k = 0; k < count; ++k) {
        LoadResult result = AppendFileToOutput(output, names[k], &LastConversion.TailSize);
        if (result == LOAD_FAILED) {
            return false;
        }
        if (result == LOAD_OK) {
            snprintf(LastConversion.SideDataName, sizeof LastConversion.SideDataName, "%.*s",
                     PATH_CAPACITY - 1, names[k]);
            return true;
        }
    }
    LastConversion.SideDataMissing = true;
    return true;
}

// The dump's first line ends in CR CR LF: saved with its line ends converted twice.
static bool HeadDoubled;

// One record as the walk found it: its number, then, unless the dump was cut off inside it,
// its length and its text masked again.
static void WriteRecord(OutputFile* output, const DumpWalk* walk, const DumpRecordLine* line)
{
    SplitLowBytes((int32_t)line->LineNumber);
    WriteOutput(output, DigitScratch, 2);
    if (line->NumberOnly) {
        return;
    }
    // Lengths up to 65,535 take the format's usual two low bytes; a longer text keeps its
    // full 32-bit length so that the file stays valid.
    if (line->Length <= 0xFFFF) {
        SplitLowBytes((int32_t)line->Length);
    } else {
        for (int k = 0; k < 4; ++k) {
            DigitScratch[k] = (char)(uint8_t)(line->Length >> (8 * k));
        }
    }
    WriteOutput(output, DigitScratch, 4);
    WriteMaskedOutput(output, walk->Bytes + line->TextStart, line->Length);
    ++LastConversion.RecordCount;
    // Each CR LF counts none, so a text that goes on after one loses two bytes at its end for
    // each; empty lines after a text cost it nothing.
    bool cut = false;
    if (line->LineBreaks >= 2 && line->TextEnd >= line->TextStart) {
        for (uint32_t p = line->TextStart + line->Length; p + 1 < line->TextEnd && !cut; p += 2) {
            cut = memcmp(walk->Bytes + p, DUMP_LINE_END, 2) != 0;
        }
    }
    if (cut && LastConversion.TextsCut++ == 0) {
        LastConversion.FirstCutRecord = line->LineNumber;
    }
    // A text that ends in its line's own end, the line saved with an LF or a CR alone (no CR LF
    // follows the text), or with CR CR LF in a dump whose head shows them all converted so (a
    // CR of the text's own stands so too).
    uint32_t after = line->TextStart + line->Length;
    uint8_t last = line->Length > 0 && line->TextEnd >= after ? walk->Bytes[after - 1] : 0;
    bool pairFollows =
        after + 2 <= line->TextEnd && StandsAt(walk->Bytes, line->TextEnd, after, DUMP_LINE_END);
    bool gained = (last == '\n' || last == '\r') && (!pairFollows || (last == '\r' && HeadDoubled));
    if (gained && LastConversion.TextsGainingByte++ == 0) {
        LastConversion.FirstGainingRecord = line->LineNumber;
        LastConversion.GainedByte = last;
    }
    // A short-tail marker before the last record line: that text is written as long as the
    // text before the marker, which may cut what it shows (empty lines after it aside) or run
    // on past it into the closing line.
    if (line->TextEnd < line->TextStart) {
        uint32_t shownEnd = walk->EndAt > line->TextStart ? walk->EndAt : line->TextStart;
        while (shownEnd >= line->TextStart + 2 &&
               memcmp(walk->Bytes + shownEnd - 2, DUMP_LINE_END, 2) == 0) {
            shownEnd -= 2;
        }
        uint32_t shown = shownEnd - line->TextStart;
        LastConversion.LastTextShortened = line->Length != shown;
        LastConversion.ShortenedRecord = line->LineNumber;
        LastConversion.ShortenedLength = line->Length;
        LastConversion.ShortenedShown = shown;
        LastConversion.ShortenedSaved = walk->SavedLength;
    }
}

static bool WriteFromWalk(DumpWalk* walk, const char* dumpName)
{
    if (CompareTarget == NULL && !MakeOutputFolder(OUTPUT_DIRECTORY)) {
        return false;
    }
    ReplaceExtension('s', 'p', 'c');
    char outputName[PATH_CAPACITY];
    if (CompareTarget != NULL) {
        snprintf(outputName, sizeof outputName, "%s", CompareTarget);
    } else if (!BuildRebuiltName(outputName, sizeof outputName)) {
        ReportProblem(PROBLEM_NAME_UNUSABLE, CurrentFileName);
        return false;
    }
    OutputFile* output = OpenOutput(outputName, PRIMARY_OUTPUT, CompareTarget != NULL);
    if (output == NULL) {
        return false;
    }
    snprintf(LastConversion.OutputName, sizeof LastConversion.OutputName, "%s", outputName);
    LastConversion.MarkBlockedRepair = walk->MarkBlocksRepair;
    LastConversion.HeaderCarried = !walk->Header.DigitsFound;
    LastConversion.LineCountCarried = !walk->LineCount.DigitsFound;
    HeadDoubled =
        StandsAt(walk->Bytes, walk->Size, NextLineEnd(walk->Bytes, 0, walk->Size), "\r\r\n");
    DigitScratch[0] = (char)(uint8_t)StoredHeaderByte;
    WriteOutput(output, DigitScratch, 1);
    SplitLowBytes((int32_t)StoredLineCount);
    WriteOutput(output, DigitScratch, 4);
    // A line count of zero writes no record and no side data.
    DumpRecordLine line;
    if (StoredLineCount != 0) {
        uint32_t reported = 0;
        while (NextDumpRecordLine(walk, &line)) {
            WriteRecord(output, walk, &line);
            ReportProgress(line.TextEnd, walk->Size, &reported);
        }
        if (walk->WantsSideData && !AppendSideData(output, dumpName)) {
            return false; // the unfinished output is discarded
        }
        LastConversion.ShortTail = walk->End != DUMP_UNSEQUENCED_MARKER;
        LastConversion.CutOff = walk->End == DUMP_CUT_OFF;
        DumpUnreadPart unread;
        FindUnreadPart(walk, &unread);
        LastConversion.RecordLinesUnread =
            unread.RecordLinesBefore.Count + unread.RecordLinesAfter.Count;
    } else {
        DumpUnreadPart unread;
        LastConversion.RecordsLeftOut =
            NextDumpRecordLine(walk, &line) || (FindUnreadPart(walk, &unread), unread.TailMarker);
    }
    if (!PublishOutput(output)) {
        return false;
    }
    LastConversion.Differs = output->Differs;
    LastConversion.FirstDifference = output->FirstDifference;
    LastConversion.OutputSize = output->Produced;
    return true;
}

static bool WriteSpeechFile(const uint8_t* bytes, uint32_t size)
{
    char dumpName[FILE_NAME_CAPACITY];
    memcpy(dumpName, CurrentFileName, sizeof dumpName);
    DumpWalk walk;
    if (!StartDumpWalk(&walk, bytes, size)) {
        return false;
    }
    LastConversion.Repaired = walk.Repaired;
    bool written = false;
    if (GuardEdits && !walk.StartFound) {
        ReportProblem(walk.Utf16 ? PROBLEM_DUMP_IN_UTF16 : PROBLEM_NOT_A_DUMP, CurrentFileName);
    } else {
        written = WriteFromWalk(&walk, dumpName);
    }
    EndDumpWalk(&walk);
    return written;
}

void ConvertTextToSpeech()
{
    // The dump and its side data are read in its folder; the rebuilt file goes into "mod"
    // below the current one.
    ConvertWholeFile(WriteSpeechFile, WRITING_INTO_MOD);
}

void CompareRebuildWith(const char* sideDataName, const char* expected)
{
    CompareTarget = expected;
    SideDataOverride = sideDataName;
    ConvertWholeFile(WriteSpeechFile, NO_FOLDER);
    CompareTarget = NULL;
    SideDataOverride = NULL;
}
