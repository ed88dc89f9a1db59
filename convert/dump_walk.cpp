// Walking a dump: repair gate, header scan, record walk.
#include "dump_walk.h"

#include "file_io.h"
#include "speech_format.h"
#include "workspace.h"

#include <algorithm>
#include <errno.h>
#include <stdlib.h>
#include <string.h>

bool StandsAt(const uint8_t* bytes, uint32_t size, uint32_t p, const char* marker)
{
    size_t length = strlen(marker);
    return p <= size && size - p >= length && memcmp(bytes + p, marker, length) == 0;
}

// The first `byte` from p on, before end, or end.
static uint32_t NextByte(const uint8_t* bytes, uint32_t end, uint32_t p, uint8_t byte)
{
    const void* next = p < end ? memchr(bytes + p, byte, end - p) : NULL;
    return next != NULL ? (uint32_t)((const uint8_t*)next - bytes) : end;
}

// The same, right after another one: brackets and CRs often stand close together in a game's
// texts ("[A] or [B]", line breaks), so the next few bytes are looked at in place, and only
// past them does a search start, whose call would cost more than they do.
static uint32_t NextByteNearby(const uint8_t* bytes, uint32_t end, uint32_t p, uint8_t byte)
{
    for (uint32_t near = end - p > 16 ? p + 16 : end; p < near; ++p) {
        if (bytes[p] == byte) {
            return p;
        }
    }
    return NextByte(bytes, end, p, byte);
}

// The first '[' from p on, or size.
static uint32_t NextBracket(const uint8_t* bytes, uint32_t size, uint32_t p)
{
    return NextByte(bytes, size, p, '[');
}

// The first '[' from p on that may start a record line or a marker ("[LI", "[::"), or size: a
// game's own brackets ("[A]", "[Link]") are passed over within one search, which costs a text
// that holds many of them no more than one without.
static uint32_t NextMarkupBracket(const uint8_t* bytes, uint32_t size, uint32_t p)
{
    uint32_t q = NextBracket(bytes, size, p);
    while (q + 2 < size && !(bytes[q + 1] == 'L' && bytes[q + 2] == 'I') &&
           !(bytes[q + 1] == ':' && bytes[q + 2] == ':')) {
        q = NextByteNearby(bytes, size, q + 1, '[');
    }
    return q;
}

// The first place from p on where `marker` stands after a bracket, or size.
static uint32_t NextMarker(const uint8_t* bytes, uint32_t size, uint32_t p, const char* marker)
{
    p = NextBracket(bytes, size, p);
    while (p < size && !StandsAt(bytes, size, p, marker)) {
        p = NextBracket(bytes, size, p + 1);
    }
    return p;
}

// The value of the leading digits at p, at most four, into FieldValue as the core reads them.
static void ParseDigitsAt(const uint8_t* bytes, uint32_t size, uint32_t p)
{
    for (uint32_t t = 0; t < 4; ++t) {
        DigitScratch[t] = p + t < size ? (char)bytes[p + t] : 0;
    }
    ParseDigits();
}

enum HeaderStage {
    SEEK_START,
    SEEK_HEADER,
    READ_HEADER,
    SEEK_LINECOUNT,
    READ_LINECOUNT,
    HEADER_DONE,
};

// Finds HEADER and LINECOUNT in the marker lines. Each keyword counts only after a "[:::::]"
// that begins after the previous find; the digits need no bracket. A value not found keeps
// what an earlier conversion stored.
static void ScanHeaderValues(DumpWalk* walk)
{
    const uint8_t* bytes = walk->Bytes;
    uint32_t size = walk->Size;
    HeaderStage stage = SEEK_START;
    bool bracketSeen = false;
    for (uint32_t p = 0; p < size && stage != HEADER_DONE; ++p) {
        if (!bracketSeen) {
            p = NextBracket(bytes, size, p);
            if (p == size) {
                return;
            }
            bracketSeen = StandsAt(bytes, size, p, MARKER_BRACKET);
            if (!bracketSeen) {
                continue;
            }
        }
        if (stage == SEEK_START && StandsAt(bytes, size, p, "Speech START")) {
            stage = SEEK_HEADER;
            bracketSeen = false;
            walk->StartFound = true;
        }
        bool header = stage == SEEK_HEADER && StandsAt(bytes, size, p, "HEADER: ");
        if (header || (stage == SEEK_LINECOUNT && StandsAt(bytes, size, p, "LINECOUNT: "))) {
            DumpValue* value = header ? &walk->Header : &walk->LineCount;
            stage = header ? READ_HEADER : READ_LINECOUNT;
            value->KeywordFound = true;
            value->KeywordAt = p;
        }
        header = stage == READ_HEADER;
        if ((header || stage == READ_LINECOUNT) && bytes[p] >= '0' && bytes[p] <= '9') {
            DumpValue* value = header ? &walk->Header : &walk->LineCount;
            ParseDigitsAt(bytes, size, p);
            *(header ? &StoredHeaderByte : &StoredLineCount) = FieldValue;
            value->DigitsFound = true;
            value->DigitsAt = p;
            stage = header ? SEEK_LINECOUNT : HEADER_DONE;
            bracketSeen = false;
        }
    }
}

bool StartDumpWalk(DumpWalk* walk, const uint8_t* bytes, uint32_t size)
{
    memset(walk, 0, sizeof *walk);
    walk->Original = walk->Bytes = bytes;
    walk->OriginalSize = walk->Size = size;
    static const char spaced[] = MARKER_BRACKET " Sp";
    walk->ByteOrderMark = StandsAt(bytes, size, 0, "\xEF\xBB\xBF");
    walk->MarkBlocksRepair = walk->ByteOrderMark && StandsAt(bytes, size, 3, spaced);
    // With its byte-order mark, or without one: "[" and ":" with a zero byte beside each.
    walk->Utf16 = StandsAt(bytes, size, 0, "\xFF\xFE") || StandsAt(bytes, size, 0, "\xFE\xFF") ||
                  (size >= 4 && memcmp(bytes, "[\0:\0", 4) == 0) ||
                  (size >= 4 && memcmp(bytes, "\0[\0:", 4) == 0);
    if (StandsAt(bytes, size, 0, spaced)) {
        // The repair changes bytes; the input itself is only ever read.
        uint8_t* copy = (uint8_t*)malloc(size);
        if (copy == NULL) {
            SystemError = ENOMEM;
            ReportProblem(PROBLEM_READ_FAILED, CurrentFileName);
            return false;
        }
        memcpy(copy, bytes, size);
        walk->Bytes = copy;
        walk->Size = RepairSpacedDump(copy, size);
        walk->Repaired = true;
    }
    ScanHeaderValues(walk);
    return true;
}

void EndDumpWalk(DumpWalk* walk)
{
    if (walk->Repaired) {
        free((void*)walk->Bytes);
    }
}

// Number of CR LF pairs whose CR stands in [from, to).
static uint32_t CountLineBreaks(const uint8_t* bytes, uint32_t size, uint32_t from, uint32_t to)
{
    uint32_t pairs = 0;
    for (from = NextByte(bytes, to, from, '\r'); from < to;
         from = NextByteNearby(bytes, to, from, '\r')) {
        ++from;
        pairs += from < size && bytes[from] == '\n';
    }
    return pairs;
}

// Opens the record line whose "[LINE:" stands at p: its number is the value of the (at most
// four) digits after it, and its text starts past them and the "]".
static void OpenLineAt(DumpWalk* walk, uint32_t p)
{
    ParseDigitsAt(walk->Bytes, walk->Size, p + 6);
    walk->Open = DumpRecordLine(); // no text counted yet
    walk->Open.LineAt = p;
    walk->Open.LineNumber = FieldValue;
    walk->Open.TextStart = p + 11;
}

// Hands out the open line, closed at `end` with `length` text bytes. A length saved for an
// earlier line may reach past the end; only the bytes that are there are taken.
static void CloseLine(DumpWalk* walk, DumpRecordLine* line, uint32_t length, uint32_t end)
{
    *line = walk->Open;
    uint32_t available = line->TextStart < walk->Size ? walk->Size - line->TextStart : 0;
    line->Length = length < available ? length : available;
    line->TextEnd = end;
}

// A walk that ends asks for side data after an unsequenced-tail marker, or after a short-tail
// marker it passed.
static void EndWalk(DumpWalk* walk, DumpEnd end, uint32_t at)
{
    walk->End = end;
    walk->EndAt = at;
    walk->WantsSideData = end == DUMP_UNSEQUENCED_MARKER || walk->ShortTailSeen;
}

DumpMarker DumpMarkerAt(const uint8_t* bytes, uint32_t size, uint32_t q)
{
    // Told by the two letters after the bracket: "UN" (unsequenced tail), "Un" (short tail),
    // "Sp" (the closing line).
    if (!StandsAt(bytes, size, q, "[:::::") || q + 8 >= size) {
        return MARKER_NONE;
    }
    uint8_t first = bytes[q + 7];
    uint8_t second = bytes[q + 8];
    return first == 'U' && second == 'N'   ? MARKER_UNSEQUENCED_TAIL
           : first == 'U' && second == 'n' ? MARKER_SHORT_TAIL
           : first == 'S' && second == 'p' ? MARKER_CLOSING
                                           : MARKER_NONE;
}

bool NextDumpRecordLine(DumpWalk* walk, DumpRecordLine* line)
{
    const uint8_t* bytes = walk->Bytes;
    uint32_t size = walk->Size;
    if (walk->End != DUMP_NOT_ENDED) {
        return false;
    }
    // Before the first step no line is open: its text would start past 0.
    if (walk->Open.TextStart == 0) {
        // Bracket and marker words before the first record line are not looked at.
        uint32_t first = walk->FirstLineAt = NextMarker(bytes, size, 0, RECORD_PREFIX);
        if (first == size) {
            EndWalk(walk, DUMP_WITHOUT_RECORD_LINE, size);
            return false;
        }
        OpenLineAt(walk, first);
        walk->FirstNumber = walk->Open.LineNumber;
    }
    uint32_t p = walk->Open.TextStart; // each step goes on from the open line's text
    while (p < size) {
        uint32_t q = NextMarkupBracket(bytes, size, p);
        // Every byte up to the next bracket counts one, every CR LF pair zero.
        uint32_t breaks = CountLineBreaks(bytes, size, p, q);
        walk->Open.Length += (q - p) - 2 * breaks;
        walk->Open.LineBreaks += breaks;
        if (q == size) {
            break;
        }
        // The first byte of a text is not tested for "[LINE:", so two record lines with
        // nothing between them make one record.
        if (q != walk->Open.TextStart && StandsAt(bytes, size, q, RECORD_PREFIX)) {
            CloseLine(walk, line, walk->Open.Length, q);
            OpenLineAt(walk, q);
            return true;
        }
        DumpMarker marker = DumpMarkerAt(bytes, size, q);
        if (marker == MARKER_UNSEQUENCED_TAIL) {
            CloseLine(walk, line, walk->Open.Length, q);
            EndWalk(walk, DUMP_UNSEQUENCED_MARKER, q);
            walk->TailMarkerAt = q;
            return true;
        }
        if (marker == MARKER_SHORT_TAIL) {
            walk->ShortTailSeen = true;
            walk->SavedLength = walk->Open.Length;
            walk->SavedLineBreaks = walk->Open.LineBreaks;
            walk->TailMarkerAt = q;
        }
        if (marker == MARKER_CLOSING) {
            // After a short-tail marker the text ends there, at the length saved then.
            if (walk->ShortTailSeen) {
                walk->Open.LineBreaks = walk->SavedLineBreaks;
                CloseLine(walk, line, walk->SavedLength, walk->TailMarkerAt);
            } else {
                CloseLine(walk, line, walk->Open.Length, q);
            }
            EndWalk(walk, DUMP_CLOSED, q);
            return true;
        }
        walk->Open.Length += 1; // the bracket itself
        p = q + 1;
    }
    // A cut-off dump: its last line keeps only its number.
    CloseLine(walk, line, 0, size);
    line->NumberOnly = true;
    EndWalk(walk, DUMP_CUT_OFF, size);
    return true;
}

bool FindFileNameValue(const uint8_t* bytes, uint32_t size, uint32_t* at, uint32_t* length)
{
    static const char head[] =
        MARKER_BRACKET "Speech START" MARKER_BRACKET DUMP_LINE_END MARKER_BRACKET "FILENAME: ";
    if (!StandsAt(bytes, size, 0, head)) {
        return false;
    }
    // The value ends on its own line: an edit that split the line is no name.
    for (uint32_t p = *at = sizeof head - 1; p < size && bytes[p] != '\r' && bytes[p] != '\n';
         ++p) {
        if (StandsAt(bytes, size, p, MARKER_BRACKET DUMP_LINE_END)) {
            *length = p - *at;
            return true;
        }
    }
    return false;
}

uint32_t FindWord(const uint8_t* bytes, uint32_t end, uint32_t p, const char* word)
{
    uint32_t length = (uint32_t)strlen(word);
    for (; p + length <= end; ++p) {
        uint32_t k = 0;
        while (k < length && (bytes[p + k] | 0x20) == (word[k] | 0x20)) {
            ++k;
        }
        if (k == length) {
            return p;
        }
    }
    return end;
}

bool LooksLikeRecordLine(const uint8_t* bytes, uint32_t p, uint32_t end, uint32_t low,
                         uint32_t high)
{
    uint32_t word = p;
    uint32_t wordEnd = p;
    bool colon = false; // the last mark before the number; any byte past ASCII may be a wide one
    bool blankAfterWord = false;
    for (; p < end && (bytes[p] < '0' || bytes[p] > '9'); ++p) {
        uint8_t letter = bytes[p] | 0x20;
        if (letter >= 'a' && letter <= 'z') {
            if (blankAfterWord) {
                return false; // a second word: "See LINE:0002", "Note: [LINE:0002] is odd"
            }
            word = wordEnd == p ? word : p;
            wordEnd = p + 1;
        } else if (bytes[p] < 0x80 && memchr(" \t[(<{:;.,-_=#", bytes[p], 14) == NULL) {
            return false; // not a mark a person may type for a bracket or a colon: "[LINE;0001]"
        }
        blankAfterWord =
            blankAfterWord || (wordEnd > word && (bytes[p] == ' ' || bytes[p] == '\t'));
        colon = bytes[p] == ' ' || bytes[p] == '\t' ? colon : bytes[p] == ':' || bytes[p] >= 0x80;
    }
    bool line = wordEnd - word == 4 && FindWord(bytes, wordEnd, word, "line") == word;
    uint32_t digits = p;
    uint32_t number = 0; // read whole only when four digits
    while (p < end && bytes[p] >= '0' && bytes[p] <= '9') {
        number = number * 10 + (bytes[p++] - '0');
    }
    uint32_t count = p - digits;
    while (p < end && (bytes[p] == ' ' || bytes[p] == '\t')) {
        ++p; // "[LINE 0001 ]"
    }
    bool bracket = p < end && (memchr("])>}", bytes[p], 4) != NULL || bytes[p] >= 0x80);
    // "Line 3 is odd" and "Version: 2]" are a translator's words; so is "[TODO:2024]" where
    // no record of that number can be lost.
    return count > 0 && ((line && (colon || bracket)) ||
                         (colon && bracket && count == 4 && ShownInRange(number, low, high)));
}

bool ShownInRange(uint32_t shown, uint32_t low, uint32_t high)
{
    return high - low >= 10000 || (shown + 10000 - low % 10000) % 10000 < high - low;
}

uint32_t NextLineEnd(const uint8_t* bytes, uint32_t p, uint32_t to)
{
    while (p < to && bytes[p] != '\r' && bytes[p] != '\n') {
        ++p;
    }
    return p;
}

// Whether the header scan read this value's keyword or digits in [start, end).
static bool HoldsKeyword(const DumpValue& value, uint32_t start, uint32_t end)
{
    return (value.KeywordFound && start <= value.KeywordAt && value.KeywordAt < end) ||
           (value.DigitsFound && start <= value.DigitsAt && value.DigitsAt < end);
}

// How many lines [from, to) holds at most, however its lines end: one more than its CRs and
// LFs, and no more than record numbers go.
static uint32_t LinesAtMost(const uint8_t* bytes, uint32_t from, uint32_t to)
{
    uint64_t breaks = (uint64_t)std::count(bytes + from, bytes + to, '\n') +
                      (uint64_t)std::count(bytes + from, bytes + to, '\r');
    return (uint32_t)std::min<uint64_t>(breaks + 1, 10000);
}

// The lines in [from, to), a line starting at `from`, other than lines the header scan read a
// keyword on and empty ones. A marker line is passed over up to its closing bracket; what
// follows that on its line is read as a line of its own.
static void FindUnreadLines(const DumpWalk* walk, uint32_t from, uint32_t to, uint32_t low,
                            uint32_t high, DumpUnreadLines* recordLines,
                            DumpUnreadLines* otherLines, bool markerLines)
{
    const uint8_t* bytes = walk->Bytes;
    bool closingPassed = false;
    for (uint32_t start = from, end; start < to; start = end + 1) {
        end = NextLineEnd(bytes, start, to);
        uint32_t q = start;
        uint32_t firstMarker = end;
        for (;;) {
            while (q < end && (bytes[q] == ' ' || bytes[q] == '\t')) {
                ++q;
            }
            if (!StandsAt(bytes, end, q, MARKER_BRACKET)) {
                break;
            }
            firstMarker = std::min(firstMarker, q);
            uint32_t closing = NextMarker(bytes, end, q + 1, MARKER_BRACKET);
            q = closing < end ? closing + (uint32_t)strlen(MARKER_BRACKET) : end;
        }
        // After the records, a marker line other than the closing line and a tail marker (a
        // second dump's head pasted below, say) is lost too.
        if (markerLines && q == end && firstMarker < end) {
            uint32_t word = firstMarker + (uint32_t)strlen(MARKER_BRACKET);
            bool closingLine =
                !closingPassed && StandsAt(bytes, end, firstMarker, MARKER_BRACKET "Speech FINISH");
            closingPassed |= closingLine;
            while (word < end && bytes[word] == ' ') {
                ++word;
            }
            if (!closingLine && !(word < end && bytes[word] == 'U') && otherLines->Count++ == 0) {
                otherLines->FirstAt = firstMarker;
                otherLines->FirstEnd = end;
            }
            continue;
        }
        if (q < end && !HoldsKeyword(walk->Header, start, end) &&
            !HoldsKeyword(walk->LineCount, start, end)) {
            DumpUnreadLines* lines =
                LooksLikeRecordLine(bytes, q, end, low, high) ? recordLines : otherLines;
            if (lines->Count++ == 0) {
                lines->FirstAt = q;
                lines->FirstEnd = end;
            }
        }
    }
}

// The first tail marker in [from, to) as a person reads one, blanks an editor put after its
// bracket included; or `to`.
static uint32_t NextTailMarker(const DumpWalk* walk, uint32_t from, uint32_t to)
{
    const uint8_t* bytes = walk->Bytes;
    uint32_t p = NextMarker(bytes, to, from, MARKER_BRACKET);
    for (; p < to; p = NextMarker(bytes, to, p + 1, MARKER_BRACKET)) {
        uint32_t q = p + (uint32_t)strlen(MARKER_BRACKET);
        while (q < walk->Size && bytes[q] == ' ') {
            ++q;
        }
        if (q < walk->Size && bytes[q] == 'U') {
            break;
        }
    }
    return p;
}

void FindUnreadPart(const DumpWalk* walk, DumpUnreadPart* unread)
{
    memset(unread, 0, sizeof *unread);
    // From the dump's first line on, a translator's note at the top included; the head's marker
    // lines are passed over as any marker line is. Lost record lines are numbered in sequence
    // up to the first record, or on from the last, one line each at least: "[TODO:2024]" is not
    // one of them in a dump of 300 records.
    // In a dump without a record line, FirstLineAt is its end and any number may be lost;
    // before a first record numbered 0000, those up to 9999 (four digits of numbers past it).
    uint32_t first = walk->FirstNumber;
    bool none = walk->End == DUMP_WITHOUT_RECORD_LINE;
    uint32_t lines = none ? 10000 : LinesAtMost(walk->Bytes, 0, walk->FirstLineAt);
    FindUnreadLines(walk, walk->ByteOrderMark ? 3 : 0, walk->FirstLineAt, first + 10000 - lines,
                    first + 10000, &unread->RecordLinesBefore, &unread->OtherLinesBefore, false);
    if (walk->End == DUMP_CLOSED || walk->End == DUMP_UNSEQUENCED_MARKER) {
        // Text after a short-tail marker that follows the last record line is cut, unread.
        bool cut = walk->ShortTailSeen && walk->TailMarkerAt > walk->Open.LineAt;
        uint32_t from = cut ? walk->TailMarkerAt : walk->EndAt;
        uint32_t last = walk->Open.LineNumber;
        FindUnreadLines(walk, from, walk->Size, last + 1,
                        last + 1 + LinesAtMost(walk->Bytes, from, walk->Size),
                        &unread->RecordLinesAfter, &unread->OtherLinesAfter, true);
    }
    if (!walk->WantsSideData) {
        uint32_t before = NextTailMarker(walk, 0, walk->FirstLineAt);
        uint32_t after = walk->End == DUMP_CLOSED
                             ? NextTailMarker(walk, walk->EndAt + 1, walk->Size)
                             : walk->Size;
        unread->TailMarker = before < walk->FirstLineAt || after < walk->Size;
        unread->TailMarkerAt = before < walk->FirstLineAt ? before : after;
    }
}
