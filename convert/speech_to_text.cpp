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
#include "file_io.h"
#include "file_names.h"
#include "speech_format.h"
#include "workspace.h"

#include <stdio.h>
#include <string.h>

enum TailKind { NO_TAIL, UNSEQUENCED_TAIL, SHORT_TAIL };

static void WriteText(OutputFile* dump, const char* text)
{
    WriteOutput(dump, text, (uint32_t)strlen(text));
}

static void WriteMarkerLine(OutputFile* dump, const char* word, const char* value)
{
    WriteText(dump, MARKER_BRACKET);
    WriteText(dump, word);
    WriteText(dump, value);
    WriteText(dump, MARKER_BRACKET DUMP_LINE_END);
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

// Walks the records from offset 5, writing one dump line each, and tells where the tail
// (if any) starts. Every length is checked against the bytes that remain before use.
static TailKind WriteRecordLines(OutputFile* dump, const uint8_t* bytes, uint32_t size,
                                 uint32_t* tailStart)
{
    uint32_t p = SPEECH_HEADER_SIZE;
    uint32_t expected = 0; // 32 bits wide, so nothing follows record 65,535
    bool first = true;
    while (p + 1 < size) {
        SpeechRecord record;
        PackLittleEndian(bytes[p], bytes[p + 1], 0, 0);
        record.LineNumber = (uint16_t)FieldValue;
        if (!first && record.LineNumber != expected) {
            *tailStart = p;
            return UNSEQUENCED_TAIL;
        }
        // A record whose head or text would run past the end has no meaning; keeping it
        // whole as side data loses nothing.
        uint32_t remaining = size - p;
        if (remaining < RECORD_HEAD_SIZE) {
            *tailStart = p;
            return UNSEQUENCED_TAIL;
        }
        PackLittleEndian(bytes[p + 2], bytes[p + 3], bytes[p + 4], bytes[p + 5]);
        record.TextLength = FieldValue;
        if (record.TextLength > remaining - RECORD_HEAD_SIZE) {
            *tailStart = p;
            return UNSEQUENCED_TAIL;
        }
        first = false;
        expected = (uint32_t)record.LineNumber + 1;
        FieldValue = record.LineNumber;
        WriteRecordLine(dump, bytes + p + RECORD_HEAD_SIZE, record.TextLength);
        ++LastConversion.RecordCount;
        p += RECORD_HEAD_SIZE + record.TextLength;
        if (p < size && size - p <= SHORT_TAIL_LIMIT) {
            *tailStart = p;
            return SHORT_TAIL;
        }
    }
    return NO_TAIL;
}

// Writes the dump (and side data) for a loaded speech file under the names derived from
// CurrentFileName. Returns false, leaving no new file, when any output cannot be written.
static bool WriteDump(const uint8_t* bytes, uint32_t size)
{
    if (size < SPEECH_HEADER_SIZE) {
        ReportProblem(PROBLEM_TOO_SHORT, CurrentFileName);
        return false;
    }
    ReplaceExtension('t', 'x', 't');
    OutputFile dump;
    if (!OpenOutput(&dump, CurrentFileName)) {
        return false;
    }
    WriteMarkerLine(&dump, "Speech START", "");
    WriteMarkerLine(&dump, "FILENAME: ", CurrentFileName);

    SpeechHeader header;
    header.HeaderByte = bytes[0];
    PackLittleEndian(bytes[1], bytes[2], bytes[3], bytes[4]);
    header.LineCount = FieldValue;
    snprintf(DigitScratch, sizeof DigitScratch, "%d", (int)header.HeaderByte);
    WriteMarkerLine(&dump, "HEADER: ", DigitScratch);
    snprintf(DigitScratch, sizeof DigitScratch, "%d", (int)(int32_t)header.LineCount);
    WriteMarkerLine(&dump, "LINECOUNT: ", DigitScratch);

    uint32_t tailStart = size;
    TailKind tail = WriteRecordLines(&dump, bytes, size, &tailStart);
    if (tail == UNSEQUENCED_TAIL) {
        WriteMarkerLine(&dump, "UNKNOWN DATA", "");
    } else if (tail == SHORT_TAIL) {
        WriteMarkerLine(&dump, "Unknown DATA", "");
    }
    WriteText(&dump, MARKER_BRACKET "Speech FINISH" MARKER_BRACKET);
    snprintf(LastConversion.OutputName, sizeof LastConversion.OutputName, "%s", CurrentFileName);

    if (tail == NO_TAIL) {
        return PublishOutput(&dump);
    }
    ReplaceExtension('e', 'x', 't');
    OutputFile sideData;
    if (!OpenOutput(&sideData, CurrentFileName)) {
        DiscardOutput(&dump);
        return false;
    }
    WriteOutput(&sideData, bytes + tailStart, size - tailStart);
    LastConversion.TailSize = size - tailStart;
    LastConversion.ShortTail = tail == SHORT_TAIL;
    snprintf(LastConversion.SideDataName, sizeof LastConversion.SideDataName, "%s",
             CurrentFileName);
    return PublishPair(&dump, &sideData);
}

void ConvertSpeechToText()
{
    ConvertWholeFile(WriteDump);
}
