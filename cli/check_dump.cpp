// check: what a rebuild would make of a dump, told before it runs. The dump is read by the
// rebuild's own walk; every place where the rebuilt file, decoded again, would show something
// other than the dump shows is a problem, named by its line in a translator's words. What
// rebuilds exactly but is worth knowing is a note.
#include "command_line.h"

#include "dump_walk.h"
#include "file_io.h"
#include "file_names.h"
#include "speech_format.h"
#include "speech_walk.h"
#include "text_encoding.h"

#include <algorithm>
#include <ctype.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unordered_map>
#include <unordered_set>

// Where the dump's lines start, counted as far as a finding needs.
struct LineCounter {
    uint32_t At;   // counted up to here
    uint32_t Line; // the line that holds At
    uint8_t Break; // the byte that ends a line in the dump as saved
};

// Whether the byte at p ends a line as editors show it, however the dump was saved: an LF, or
// a CR that no LF follows.
static bool EndsLine(const uint8_t* bytes, uint32_t size, uint32_t p)
{
    return bytes[p] <= '\r' &&
           (bytes[p] == '\n' || (bytes[p] == '\r' && (p + 1 == size || bytes[p + 1] != '\n')));
}

// The line ends in [from, to): each LF, found as fast as memchr finds, and each CR alone.
static uint32_t CountLineEnds(const uint8_t* bytes, uint32_t size, uint32_t from, uint32_t to)
{
    uint32_t count = (uint32_t)std::count(bytes + from, bytes + to, '\n');
    for (const uint8_t* cr = bytes + from;
         (cr = (const uint8_t*)memchr(cr, '\r', (size_t)(bytes + to - cr))) != NULL; ++cr) {
        count += EndsLine(bytes, size, (uint32_t)(cr - bytes));
    }
    return count;
}

// Lines end in LF, after a CR or two or alone; in CR alone when an old Mac editor saved the
// dump: its first line ends so and no CR LF stands anywhere (a game's LF in a text aside).
static LineCounter CountLinesOf(const uint8_t* bytes, uint32_t size)
{
    uint32_t p = NextLineEnd(bytes, 0, size);
    while (p < size && bytes[p] == '\r') {
        ++p;
    }
    static const uint8_t crLf[] = {'\r', '\n'};
    bool crLfSeen = std::search(bytes, bytes + size, crLf, crLf + 2) != bytes + size;
    bool lf = p == size || bytes[p] == '\n' || crLfSeen;
    return {0, 1, (uint8_t)(lf ? '\n' : '\r')};
}

// A record line's findings may be one per record line, too many to hold: the first walk only
// counts them, and a second walk hands them out as it finds them again, each after the
// findings about the whole dump that stand on earlier lines.
enum JudgeStage { WHOLE_DUMP, FIRST_WALK, SECOND_WALK };

// A text of the speech file beside the dump that ends in CRs or LFs of its own.
struct SpeechTextEnd {
    uint64_t Breaks; // hash of those CRs and LFs
    uint64_t Bare;   // hash of the text before them
    bool Shared;     // more than one text shows this number (past 9,999 records)
};

struct Judge {
    const char* Name;
    const DumpWalk* Walk;
    LineCounter Lines;
    DumpJudgement* Result;
    JudgeStage Stage = WHOLE_DUMP;
    uint32_t ProblemsFound = 0; // before the second walk
    uint32_t FirstWalkFindings = 0;
    std::vector<DumpFinding> WholeDump = {}; // in line order before the second walk
    size_t Sent = 0;                         // of WholeDump
    // What the speech file beside the dump tells of its texts' own line ends, read when
    // first asked for: by the number a dump shows, and the hashes of the texts that end in
    // them, whole and trimmed of the blanks after them.
    int SpeechRead = 0; // 1 read, -1 no speech file stands beside the dump
    std::unordered_map<uint32_t, SpeechTextEnd> SpeechEnds = {};
    std::unordered_set<uint64_t> SpeechOwnBreaks = {};
    uint32_t SpeechFirst = 1, SpeechLast = 0; // its record numbers, in sequence (none: empty)
    bool SpeechReplacement = false;           // a text there holds U+FFFD
    // Its head and first texts, unmasked, by the number a dump shows: enough to tell a dump of
    // another version, or one an editor saved in another encoding, without holding a large file.
    int SpeechStartRead = 0; // 1 read, -1 none stands
    SpeechHeader SpeechHead = {};
    std::unordered_map<uint32_t, std::string> SpeechStartTexts = {};
    uint32_t HeadEnd = 0; // where the dump's first line ends
    // Where a repaired dump's line last asked for starts as read.
    uint32_t OriginalLine = 0;
    uint32_t OriginalAt = 0;
};

// Counted from the last offset asked for, either way: findings come in line order, and a
// record's note may ask again for a line before the one its text ended on.
static uint32_t LineOf(Judge* judge, uint32_t offset)
{
    LineCounter* lines = &judge->Lines;
    if (offset < lines->At) {
        lines->Line -= CountLineEnds(judge->Walk->Bytes, judge->Walk->Size, offset, lines->At);
    } else {
        lines->Line += CountLineEnds(judge->Walk->Bytes, judge->Walk->Size, lines->At, offset);
    }
    lines->At = offset;
    return lines->Line;
}

static void Send(Judge* judge, const DumpFinding& finding)
{
    judge->Result->Problems += !finding.Note;
    if (judge->Result->Emit != NULL) {
        judge->Result->Emit(finding);
    } else {
        judge->Result->Findings.push_back(finding);
    }
}

static void SendWholeDumpFindings(Judge* judge, uint32_t beforeLine)
{
    for (; judge->Sent < judge->WholeDump.size() && judge->WholeDump[judge->Sent].Line < beforeLine;
         ++judge->Sent) {
        Send(judge, judge->WholeDump[judge->Sent]);
    }
}

static void Find(Judge* judge, uint32_t offset, bool note, const std::string& text)
{
    judge->ProblemsFound += judge->Stage != SECOND_WALK && !note;
    if (judge->Stage == FIRST_WALK) {
        judge->FirstWalkFindings += 1;
        return;
    }
    DumpFinding finding{offset == UINT32_MAX ? 0 : LineOf(judge, offset), note, text};
    if (judge->Stage == WHOLE_DUMP) {
        judge->WholeDump.push_back(finding);
        return;
    }
    SendWholeDumpFindings(judge, finding.Line);
    Send(judge, finding);
}

// ---- Header values -------------------------------------------------------------------------

// Header values carry over from one dump to the next over the whole run, as in the window; the
// dump each came from.
static std::string HeaderFrom;
static std::string LineCountFrom;

// Blanks and tabs, and the no-break and thin spaces a word processor puts around a colon or
// between thousands.
static uint32_t SkipBlanks(const uint8_t* bytes, uint32_t size, uint32_t p)
{
    for (;;) {
        if (p < size && (bytes[p] == ' ' || bytes[p] == '\t')) {
            ++p;
        } else if (StandsAt(bytes, size, p, "\xC2\xA0")) {
            p += 2;
        } else if ((p + 2 < size && bytes[p] == 0xE2 && bytes[p + 1] == 0x80 &&
                    ((bytes[p + 2] >= 0x80 && bytes[p + 2] <= 0x8B) || bytes[p + 2] == 0xAF)) ||
                   StandsAt(bytes, size, p, "\xE3\x80\x80")) {
            // The typographic spaces, the zero-width one among them, and the ideographic space
            // of Japanese and Chinese input.
            p += 3;
        } else {
            return p;
        }
    }
}

static uint32_t SkipBlanksBack(const uint8_t* bytes, uint32_t p)
{
    while (p > 0 && (bytes[p - 1] == ' ' || bytes[p - 1] == '\t')) {
        --p;
    }
    return p;
}

// Whether a marker bracket ends right before p, blanks aside; p is then moved to its start.
static bool MarkerBracketBefore(const uint8_t* bytes, uint32_t size, uint32_t* p)
{
    uint32_t length = (uint32_t)strlen(MARKER_BRACKET);
    uint32_t q = SkipBlanksBack(bytes, *p);
    *p = q >= length ? q - length : q;
    return q >= length && StandsAt(bytes, size, q - length, MARKER_BRACKET);
}

// Whether a person sees a line, or a record line, start at p: only blanks, or for a record line
// a marker line joined to it, stand before it on its line, which a CR alone may end.
static bool StartsSeenLine(const Judge* judge, uint32_t p)
{
    uint32_t q = SkipBlanksBack(judge->Walk->Bytes, p);
    return q == 0 || judge->Walk->Bytes[q - 1] == '\r' || judge->Walk->Bytes[q - 1] == '\n';
}

// Where the markup a person may put before a header keyword starts, going back from q: blanks,
// brackets, colons, quotes, list marks, no-break spaces, full-width forms, CJK brackets, and
// typographic punctuation and spaces (curly quotes, bullets, a zero-width space), which a
// person does not read as text.
static uint32_t MarkupBefore(const uint8_t* bytes, uint32_t q)
{
    for (;;) {
        if (q > 0 && memchr(" \t[:]\"'*->", bytes[q - 1], 10) != NULL) {
            --q;
        } else if (q >= 2 && bytes[q - 2] == 0xC2 && bytes[q - 1] == 0xA0) {
            q -= 2;
        } else if (q >= 3 &&
                   (bytes[q - 3] == 0xEF ||
                    ((bytes[q - 3] & 0xFE) == 0xE2 && bytes[q - 2] == 0x80)) &&
                   (bytes[q - 2] & 0xC0) == 0x80 && (bytes[q - 1] & 0xC0) == 0x80) {
            q -= 3;
        } else {
            return q;
        }
    }
}

// A record line may stand after markup too: quoted by a spreadsheet, or a list mark.
static bool StartsRecordLine(const Judge* judge, uint32_t p)
{
    return StartsSeenLine(judge, MarkupBefore(judge->Walk->Bytes, p)) ||
           MarkerBracketBefore(judge->Walk->Bytes, judge->Walk->Size, &p);
}

// Whether a person reads the keyword at p as a header line's: only markup stands before it on
// its line, or a marker that follows another one (two marker lines joined); not after
// "Speech START[:::::]", nor in a comment or a text.
static bool StartsHeaderLine(const Judge* judge, uint32_t p)
{
    const uint8_t* bytes = judge->Walk->Bytes;
    return StartsSeenLine(judge, MarkupBefore(bytes, p)) ||
           (MarkerBracketBefore(bytes, judge->Walk->Size, &p) &&
            MarkerBracketBefore(bytes, judge->Walk->Size, &p));
}

// A header value as a person reads it after its keyword: blanks, a sign, the digits.
struct ShownValue {
    bool Shown; // the keyword starts a header line and digits follow it
    bool Whole; // ... and they are all of the number: not "1,234", "1 234" or "0xff"
    int64_t Value;
    uint32_t At; // where the value starts, its sign included
};

static ShownValue ValueShownAt(const Judge* judge, uint32_t keywordAt, uint32_t valueFrom)
{
    const uint8_t* bytes = judge->Walk->Bytes;
    uint32_t size = judge->Walk->Size;
    ShownValue shown = {};
    uint32_t p = shown.At = SkipBlanks(bytes, size, valueFrom);
    // "5", and the curly quotes or guillemets a word processor makes of them.
    if (p < size && (bytes[p] == '"' || bytes[p] == '\'')) {
        p += 1;
    } else if (StandsAt(bytes, size, p, "\xC2\xAB") || StandsAt(bytes, size, p, "\xC2\xBB")) {
        p += 2;
    } else if (p + 2 < size && bytes[p] == 0xE2 && bytes[p + 1] == 0x80 && bytes[p + 2] >= 0x98 &&
               bytes[p + 2] <= 0x9F) {
        p += 3;
    }
    bool negative = p < size && bytes[p] == '-';
    if (p < size && (negative || bytes[p] == '+')) {
        p = SkipBlanks(bytes, size, p + 1);
    }
    uint32_t digits = p;
    while (p < size && bytes[p] >= '0' && bytes[p] <= '9') {
        shown.Value = std::min<int64_t>(shown.Value * 10 + (bytes[p++] - '0'), INT64_MAX / 20);
    }
    shown.Value = negative ? -shown.Value : shown.Value;
    shown.Shown = p > digits && StartsHeaderLine(judge, keywordAt);
    uint32_t after =
        p + 1 < size && memchr(",.'_xX", bytes[p], 6) != NULL ? p + 1 : SkipBlanks(bytes, size, p);
    // "0xff": the digits of a hexadecimal number go on in letters.
    bool hexadecimal = after == p + 1 && (bytes[p] | 0x20) == 'x';
    // "3.0" and "3,00" are the number the rebuild reads; "1.000" may be a thousand.
    uint32_t zeros = 0;
    while (after == p + 1 && after + zeros < size && bytes[after + zeros] == '0') {
        ++zeros;
    }
    uint32_t rest = SkipBlanks(bytes, size, after + zeros);
    bool fraction = (bytes[p] == '.' || bytes[p] == ',') && zeros >= 1 && zeros <= 2 &&
                    (rest == size || memchr("[\r\n", bytes[rest], 3) != NULL);
    shown.Whole = fraction || !(after < size &&
                                (isdigit(bytes[after]) || (hexadecimal && isxdigit(bytes[after]))));
    return shown;
}

// Where `word` next stands from p on, before `end`, in any case and followed by a colon, blanks
// around it allowed: a header keyword as a person may type it; or `end`. Its value may start
// at valueFrom.
static uint32_t NextKeyword(const uint8_t* bytes, uint32_t end, uint32_t p, const char* word,
                            uint32_t* valueFrom)
{
    uint32_t length = (uint32_t)strlen(word);
    for (; (p = FindWord(bytes, end, p, word)) < end; ++p) {
        uint32_t colon = SkipBlanks(bytes, end, p + length);
        bool wide = StandsAt(bytes, end, colon, "\xEF\xBC\x9A");
        if (wide || StandsAt(bytes, end, colon, ":")) {
            *valueFrom = colon + (wide ? 3 : 1);
            return p;
        }
    }
    return end;
}

// One header value: the value the rebuild writes against the one the dump shows, on the line
// the rebuild reads it from or on any other header line before the first record line.
static void JudgeValue(Judge* judge, const DumpValue& value, const std::string& word,
                       uint32_t written, std::string* from, const char* limit)
{
    const uint8_t* bytes = judge->Walk->Bytes;
    std::string keyword = word + ": ";
    std::string writes = std::to_string(written);
    std::string carried = from->empty() ? "0, as no dump before it in this run had one"
                                        : writes + ", carried over from " + *from;
    ShownValue taken = value.KeywordFound ? ValueShownAt(judge, value.KeywordAt,
                                                         value.KeywordAt + (uint32_t)keyword.size())
                                          : ShownValue();
    // Another line that shows a value: the first that shows one the rebuild does not write, if
    // any does.
    ShownValue other = {};
    uint32_t otherAt = 0;
    uint32_t end = judge->Walk->FirstLineAt;
    uint32_t valueFrom = 0;
    for (uint32_t at = NextKeyword(bytes, end, 0, word.c_str(), &valueFrom); at < end;
         at = NextKeyword(bytes, end, at + 1, word.c_str(), &valueFrom)) {
        ShownValue shown = ValueShownAt(judge, at, valueFrom);
        if (shown.Shown && !(value.KeywordFound && at == value.KeywordAt) &&
            (!other.Shown || (other.Value == written && shown.Value != written))) {
            other = shown;
            otherAt = at;
        }
    }
    std::string takes = ": the rebuild takes " + writes + " from line " +
                        std::to_string(LineOf(judge, value.DigitsAt));
    if (!value.KeywordFound) {
        // The line may stand where the header scan no longer looks (LINECOUNT before HEADER):
        // exact as long as the value carried over is the one it shows.
        std::string where = StandsAt(bytes, end, otherAt, keyword.c_str())
                                ? "where it stands: the rebuild looks for it after the " +
                                      std::string(word == "HEADER" ? "START line" : "HEADER value")
                                : "as written: the rebuild looks for \"" + keyword + "\"";
        Find(judge, other.Shown ? otherAt : UINT32_MAX, other.Shown && other.Value == written,
             other.Shown ? "the " + word + " line is not read " + where + " and writes " + carried
                         : "no " + word + " line: the rebuild writes " + carried);
    } else if (!value.DigitsFound) {
        Find(judge, value.KeywordAt, false,
             "the " + word + " line has no value: the rebuild writes " + carried);
    } else if (taken.Shown && taken.Value != written) {
        Find(judge, value.KeywordAt, false,
             word + " " + std::to_string(taken.Value) + " would be written as " + writes + ": " +
                 limit);
    } else if (taken.Shown && !taken.Whole) {
        uint32_t shownEnd = taken.At;
        while (shownEnd < judge->Walk->Size && memchr("[\r\n", bytes[shownEnd], 3) == NULL) {
            ++shownEnd;
        }
        Find(judge, value.KeywordAt, false,
             word + " shows " + Excerpt(bytes + taken.At, shownEnd - taken.At) +
                 ": the rebuild reads its first digits alone and writes " + writes);
    } else if (other.Shown && other.Value != written) {
        Find(judge, otherAt, false,
             "this " + word + " line shows " + std::to_string(other.Value) + takes);
    } else if (!taken.Shown && !other.Shown) {
        Find(judge, value.KeywordAt, false, "no " + word + " line shows a value" + takes);
    }
    if (value.DigitsFound) {
        *from = judge->Name;
    }
}

// ---- Record lines --------------------------------------------------------------------------

// Where the CR LF pairs that end [from, to) start, or `to` when it ends in none.
static uint32_t LineBreaksStart(const uint8_t* bytes, uint32_t from, uint32_t to)
{
    while (to - from >= 2 && memcmp(bytes + to - 2, DUMP_LINE_END, 2) == 0) {
        to -= 2;
    }
    return to;
}

// The record line as it stands in the dump before the repair, against the text the rebuild
// writes: only the blanks the markup gained may differ, so the line must end in that text. A
// head that gained none ("[LINE:0001]" as decoded) shows all that follows it as the text.
static bool ShowsTheWrittenText(const uint8_t* line, uint32_t size, const uint8_t* text,
                                uint32_t length, bool lineEndInText)
{
    // Empty lines after the text are no part of it.
    uint32_t shown = LineBreaksStart(line, 0, size);
    bool intact = StandsAt(line, size, 0, RECORD_PREFIX) && size > 10 &&
                  memchr(line + 6, ' ', 4) == NULL && line[10] == ']';
    return (shown < size || lineEndInText) && shown >= length &&
           (!intact || shown == length + 11) && memcmp(line + shown - length, text, length) == 0;
}

// Whether [from, to) holds one or more CR LF pairs and nothing else.
static bool OnlyLineBreaks(const uint8_t* bytes, uint32_t from, uint32_t to)
{
    return to > from && LineBreaksStart(bytes, from, to) == from;
}

// Where line `line` (from 0) of a repaired dump starts in the dump as read, which has the same
// lines (the repair only drops blanks); the end of the dump past its last line. Counted on from
// the line last asked for, as records come in line order; the second walk starts again.
static uint32_t OriginalLineStart(Judge* judge, uint32_t line)
{
    const uint8_t* bytes = judge->Walk->Original;
    uint32_t size = judge->Walk->OriginalSize;
    if (line < judge->OriginalLine) {
        judge->OriginalLine = judge->OriginalAt = 0;
    }
    for (; judge->OriginalLine < line; ++judge->OriginalLine) {
        uint32_t p = judge->OriginalAt;
        while (p < size && !EndsLine(bytes, size, p)) {
            ++p;
        }
        judge->OriginalAt = p < size ? p + 1 : size;
    }
    return judge->OriginalAt;
}

// Whether the marker line that ends the records stands whole at p, joined to the end of the
// last text: a person reads it as that line, and so does the rebuild.
static bool JoinedMarkerLine(const DumpWalk* walk, uint32_t p)
{
    if (walk->End == DUMP_CLOSED && walk->EndAt == p) {
        return StandsAt(walk->Bytes, walk->Size, p, MARKER_BRACKET "Speech FINISH" MARKER_BRACKET);
    }
    const char* marker = walk->ShortTailSeen ? MARKER_BRACKET "Unknown DATA" MARKER_BRACKET
                                             : MARKER_BRACKET "UNKNOWN DATA" MARKER_BRACKET;
    uint32_t end = p + (uint32_t)strlen(marker);
    return walk->WantsSideData && walk->TailMarkerAt == p &&
           StandsAt(walk->Bytes, walk->Size, p, marker) && end < walk->Size &&
           (walk->Bytes[end] == '\r' || walk->Bytes[end] == '\n');
}

// The speech file a dump was decoded from, its name ending in .spc beside the dump, read whole
// into *bytes, which the caller frees; false where none stands, it cannot be read or it is too
// short for a speech file's head (which tells nothing: it is not the file judged).
static bool ReadSpeechFileBeside(const char* dump, uint8_t** bytes, uint32_t* size)
{
    std::string speech = WithEnding(dump, "spc");
    *bytes = NULL;
    *size = 0;
    return FileStands(speech.c_str()) &&
           ReadWholeSideFile(speech.c_str(), bytes, size) == LOAD_OK && *size >= SPEECH_HEADER_SIZE;
}

// The HEADER and LINECOUNT values of a speech file's head that a dump showing `header` and
// `lineCount` does not ("HEADER 4, not 3"), or "". *added where only a higher LINECOUNT
// differs, as where records were added to the dump.
static std::string HeadValuesNotShown(const SpeechHeader& head, uint32_t header, uint32_t lineCount,
                                      bool* added)
{
    *added = false;
    bool headerDiffers = (header & 0xFF) != head.HeaderByte;
    std::string values = headerDiffers ? "HEADER " + std::to_string(head.HeaderByte) + ", not " +
                                             std::to_string(header & 0xFF)
                                       : "";
    // A LINECOUNT past four digits no dump shows.
    if (head.LineCount <= 9999 && lineCount != head.LineCount) {
        values += (headerDiffers ? ", and LINECOUNT " : "LINECOUNT ") +
                  std::to_string(head.LineCount) + ", not " + std::to_string(lineCount);
        *added = !headerDiffers && lineCount > head.LineCount;
    }
    return values;
}

std::string DumpOfAnotherVersion(const char* dump, const char* speech)
{
    uint8_t head[1024];
    uint32_t have = 0;
    if (!ReadFilePart(dump, false, head, sizeof head, &have)) {
        return "";
    }
    // The values this run carries from one dump to the next stay as they were.
    uint32_t carriedHeader = StoredHeaderByte;
    uint32_t carriedLineCount = StoredLineCount;
    // Only a head as a decode writes it, the HEADER line right after the FILENAME line, tells
    // of another version: a value typed in elsewhere is an edit.
    DumpWalk walk;
    std::string values;
    uint32_t at = 0;
    uint32_t length = 0;
    static const char between[] = MARKER_BRACKET DUMP_LINE_END MARKER_BRACKET;
    if (StartDumpWalk(&walk, head, have) && walk.Header.DigitsFound && walk.LineCount.DigitsFound &&
        FindFileNameValue(head, have, &at, &length) &&
        walk.Header.KeywordAt == at + length + sizeof between - 1) {
        uint8_t bytes[SPEECH_HEADER_SIZE];
        uint32_t read = 0;
        bool added = false;
        values = FileStands(speech) && ReadFilePart(speech, false, bytes, sizeof bytes, &read) &&
                         read == sizeof bytes
                     ? HeadValuesNotShown(ReadSpeechHeader(bytes), StoredHeaderByte,
                                          StoredLineCount, &added)
                     : "";
    }
    EndDumpWalk(&walk);
    StoredHeaderByte = carriedHeader;
    StoredLineCount = carriedLineCount;
    return values;
}

// Reads the first 256 KiB of the speech file beside the dump once: its head, and its texts,
// unmasked, by the number a dump shows. False where none stands, or it is too short for a head.
static bool ReadSpeechStart(Judge* judge)
{
    if (judge->SpeechStartRead == 0) {
        judge->SpeechStartRead = -1;
        std::string speech = WithEnding(judge->Name, "spc");
        static std::vector<uint8_t> bytes(1 << 18); // once a run, not zeroed for each dump
        uint32_t have = 0;
        if (FileStands(speech.c_str()) &&
            ReadFilePart(speech.c_str(), false, bytes.data(), (uint32_t)bytes.size(), &have) &&
            have >= SPEECH_HEADER_SIZE) {
            judge->SpeechStartRead = 1;
            judge->SpeechHead = ReadSpeechHeader(bytes.data());
            SpeechWalk walk;
            SpeechRecord record;
            StartSpeechWalk(&walk, bytes.data(), have);
            while (NextSpeechRecord(&walk, &record)) {
                std::string text(record.TextLength, '\0');
                MaskBytes((uint8_t*)&text[0], bytes.data() + walk.RecordStart + RECORD_HEAD_SIZE,
                          record.TextLength);
                judge->SpeechStartTexts.insert({record.LineNumber % 10000u, text});
            }
        }
    }
    return judge->SpeechStartRead > 0;
}

// What the head of the speech file beside the dump holds that the dump does not show.
static std::string VersionValuesNotShown(Judge* judge, bool* added)
{
    *added = false;
    return ReadSpeechStart(judge)
               ? HeadValuesNotShown(judge->SpeechHead, StoredHeaderByte, StoredLineCount, added)
               : "";
}

// Takes the text of this number among the first 256 KiB of the speech file beside the dump;
// false where none is there. Each goes to the first record line that shows its number: a later
// one, past 9,999 records, shows another record.
static bool TakeSpeechStartText(Judge* judge, uint32_t number, std::string* text)
{
    ReadSpeechStart(judge);
    auto found = judge->SpeechStartTexts.find(number);
    if (found == judge->SpeechStartTexts.end()) {
        return false;
    }
    text->swap(found->second);
    judge->SpeechStartTexts.erase(found);
    return true;
}

// A dump decoded from another version of the speech file beside it, before a game patch, shows
// another head: its rebuild would bring that version back over the patched one. A LINECOUNT
// raised alone may be a modder's, who added records: a note.
static void JudgeVersion(Judge* judge)
{
    std::string spc = WithEnding(judge->Name, "spc");
    bool added = false;
    std::string values = VersionValuesNotShown(judge, &added);
    if (values.empty()) {
        return;
    }
    const DumpWalk* walk = judge->Walk;
    Find(judge, values[0] == 'H' ? walk->Header.KeywordAt : walk->LineCount.KeywordAt, added,
         spc + " beside the dump has " + values +
             (added ? ": records added to the dump, or a dump of another version of it (before "
                      "a game patch that took records out)? The rebuild writes the dump's"
                    : ": the dump shows another version of it (decoded before a game patch?), "
                      "which the rebuild writes (if " +
                          spc +
                          " is the patched one, decode a copy of it in another folder and carry "
                          "the translation over)"));
}

// Whether the speech file beside the dump ends in the side data's bytes, as the one a decode
// wrote them from does; true where none stands to tell.
static bool SpeechFileEndsIn(Judge* judge, const uint8_t* bytes, uint32_t size)
{
    std::string speech = WithEnding(judge->Name, "spc");
    if (!FileStands(speech.c_str())) {
        return true;
    }
    std::vector<uint8_t> end(size);
    uint32_t have = 0;
    return ReadFilePart(speech.c_str(), true, end.data(), size, &have) && have == size &&
           memcmp(end.data(), bytes, size) == 0;
}

// The encodings other than UTF-8 in which the text is the speech file's text of its number
// converted, as an editor saves a whole dump: that text converted from one of them to UTF-8
// (*toUtf8), or from UTF-8 to one of them; a bit for each, none where it is not so.
static uint32_t ReencodedFrom(Judge* judge, uint32_t number, const uint8_t* text, uint32_t length,
                              bool* toUtf8)
{
    std::string own;
    if (!TakeSpeechStartText(judge, number, &own) ||
        (own.size() == length && memcmp(own.data(), text, length) == 0) ||
        std::all_of(own.begin(), own.end(), [](char c) { return (uint8_t)c < 0x80; })) {
        return 0;
    }
    bool ownUtf8 = IsValidUtf8((const uint8_t*)own.data(), (uint32_t)own.size());
    *toUtf8 = !ownUtf8;
    if (ownUtf8 == IsValidUtf8(text, length)) {
        return 0;
    }
    std::string shown((const char*)text, length);
    uint32_t fits = 0;
    for (int e = ENCODING_UTF8 + 1; e < ENCODING_COUNT; ++e) {
        std::string converted;
        const std::string* utf8 = ownUtf8 ? NULL : GameTextAsUtf8((TextEncoding)e, own, &converted);
        bool fit = ownUtf8 ? EncodeGameText((TextEncoding)e, (const uint8_t*)own.data(),
                                            (uint32_t)own.size(), &converted) &&
                                 converted == shown
                           : utf8 != NULL && *utf8 == shown;
        fits |= (uint32_t)fit << e;
    }
    return fits;
}

// Of the encodings that convert the most texts so, the most used ("Café" is alike in
// Windows-1250 and 1252; "Voilà" tells them apart).
static TextEncoding LikeliestEncoding(const uint32_t fits[ENCODING_COUNT])
{
    static const TextEncoding byUse[] = {ENCODING_CP1252, ENCODING_CP932, ENCODING_CP936,
                                         ENCODING_CP950,  ENCODING_CP949, ENCODING_CP1251,
                                         ENCODING_CP1250};
    TextEncoding best = byUse[0];
    for (TextEncoding e : byUse) {
        best = fits[e] > fits[best] ? e : best;
    }
    return best;
}

// Whether U+FFFD, which an editor puts where it cannot read a byte, stands in the text.
static bool HoldsReplacement(const uint8_t* text, uint32_t length, uint8_t mask)
{
    const uint8_t* end = text + length;
    for (const uint8_t* p = text; (p = (const uint8_t*)memchr(p, 0xEF ^ mask, end - p)) != NULL;
         ++p) {
        // Not where a byte continues the sequence: EF BF BD AD is two characters in GBK.
        if (end - p >= 3 && (p[1] ^ mask) == 0xBF && (p[2] ^ mask) == 0xBD &&
            (end - p == 3 || ((p[3] ^ mask) & 0xC0) != 0x80)) {
            return true;
        }
    }
    return false;
}

// FNV-1a over bytes XORed with `mask` (a speech file's) or not (0).
static uint64_t HashOf(const uint8_t* bytes, uint32_t length, uint8_t mask)
{
    uint64_t hash = 14695981039346656037ull;
    for (uint32_t k = 0; k < length; ++k) {
        hash = (hash ^ (uint8_t)(bytes[k] ^ mask)) * 1099511628211ull;
    }
    return hash;
}

// How many of the last bytes of a text, XORed with `mask`, are among `set`.
static uint32_t EndingIn(const uint8_t* text, uint32_t length, uint8_t mask, const char* set)
{
    uint32_t count = 0;
    while (count < length && strchr(set, text[length - 1 - count] ^ mask) != NULL &&
           (text[length - 1 - count] ^ mask) != 0) {
        ++count;
    }
    return count;
}

// Reads what the speech file the dump was decoded from (its name, ending in .spc) tells of
// its texts' own line ends, once; false where it does not stand.
static bool ReadSpeechTexts(Judge* judge)
{
    if (judge->SpeechRead == 0) {
        uint8_t* bytes = NULL;
        uint32_t size = 0;
        judge->SpeechRead = ReadSpeechFileBeside(judge->Name, &bytes, &size) ? 1 : -1;
        SpeechWalk walk;
        SpeechRecord record;
        if (judge->SpeechRead > 0) {
            StartSpeechWalk(&walk, bytes, size);
            for (bool first = true; NextSpeechRecord(&walk, &record); first = false) {
                judge->SpeechFirst = first ? record.LineNumber : judge->SpeechFirst;
                judge->SpeechLast = record.LineNumber;
                const uint8_t* text = bytes + walk.RecordStart + RECORD_HEAD_SIZE;
                uint32_t length = record.TextLength;
                judge->SpeechReplacement =
                    judge->SpeechReplacement || HoldsReplacement(text, length, TEXT_MASK);
                // An editor's trim of the blanks after a CR leaves that CR the text's end.
                uint32_t ends = length;
                uint32_t breaks = EndingIn(text, ends, TEXT_MASK, "\r\n");
                if (breaks == 0) {
                    ends -= EndingIn(text, length, TEXT_MASK, " \t");
                    breaks = EndingIn(text, ends, TEXT_MASK, "\r\n");
                }
                if (breaks > 0) {
                    // A dump shows four digits of the number.
                    auto made =
                        judge->SpeechEnds.insert({(uint32_t)(record.LineNumber % 10000),
                                                  {HashOf(text + ends - breaks, breaks, TEXT_MASK),
                                                   HashOf(text, ends - breaks, TEXT_MASK), false}});
                    made.first->second.Shared = !made.second;
                    judge->SpeechOwnBreaks.insert(HashOf(text, ends, TEXT_MASK));
                }
            }
        }
        free(bytes);
    }
    return judge->SpeechRead > 0;
}

// Whether the CRs and LFs a text the rebuild writes ends in are the text's own, as the speech
// file beside the dump tells: its text of this number ends in the same bytes (before blanks an
// editor may have trimmed), or one of its texts is this one (a record moved or renumbered).
static bool EndsInItsOwnBreaks(Judge* judge, uint32_t number, const uint8_t* text, uint32_t length)
{
    if (!ReadSpeechTexts(judge)) {
        return false;
    }
    uint32_t breaks = EndingIn(text, length, 0, "\r\n");
    auto end = judge->SpeechEnds.find(number);
    if (end != judge->SpeechEnds.end() &&
        (end->second.Shared || end->second.Breaks == HashOf(text + length - breaks, breaks, 0))) {
        return true;
    }
    // Another record's text, moved here: one of more than line ends is no other's by chance, as
    // "\r" alone may be; a number the file does not hold was renumbered.
    bool held = ShownInRange(number, judge->SpeechFirst, judge->SpeechLast + 1);
    return (breaks < length || !held) && judge->SpeechOwnBreaks.count(HashOf(text, length, 0)) > 0;
}

// The CRs and LFs of its own that the speech file's text of this number ends in, or NULL where
// it ends in none, no such file stands or several texts show that number.
static const SpeechTextEnd* SpeechEndOf(Judge* judge, uint32_t number)
{
    if (!ReadSpeechTexts(judge)) {
        return NULL;
    }
    auto end = judge->SpeechEnds.find(number);
    return end != judge->SpeechEnds.end() && !end->second.Shared ? &end->second : NULL;
}

// Record lines that share a finding, told once per dump at the first of them.
struct LineTally {
    uint32_t Count;
    uint32_t FirstAt;
};

static void Tally(LineTally* tally, uint32_t at)
{
    tally->FirstAt = tally->Count++ == 0 ? at : tally->FirstAt;
}

struct RecordJudgement {
    uint32_t Records;    // written whole
    uint32_t LastNumber; // of the last one
    bool Started;        // ... in sequence so far
    uint32_t Expected;
    bool SequenceBroken;
    LineTally LoneBreaks; // lines ending in LF (or in a dump saved so, CR) alone
    LineTally CrGained;   // lines ending in CR CR LF
    struct CrLine {
        uint32_t Number;
        uint32_t TextStart;
        uint32_t Length; // of the text the rebuild writes
        uint32_t LineAt;
    };
    std::vector<CrLine> CrLines;
    LineTally Replaced;            // holding U+FFFD where the speech file beside holds none
    LineTally EvenedOut;           // whose texts' own CRs or LFs an editor made line ends
    LineTally EvenedOutTranslated; // ... translated ones, or a translator's blank line
    LineTally CrTakenForLineEnd;   // whose texts' own CR a dump saved with LF makes a CR LF
    LineTally Reencoded;           // showing a text of the speech file in another encoding
    bool SavedAsUtf8;              // ... the first, and the texts each encoding converts so
    uint32_t Fits[ENCODING_COUNT];
    bool TextChanged; // by the repair pass
};

// How the repair pass that takes the blanks out of the markup changed this record's text, or "":
// the lines it stands on, as read, must end in the text the rebuild writes, a marker line
// joined to its end (`joined` bytes, which the repair must have left as they were) aside.
static std::string RepairProblem(Judge* judge, const DumpRecordLine& line, RecordJudgement* records,
                                 bool lone, uint32_t joined)
{
    const DumpWalk* walk = judge->Walk;
    if (!walk->Repaired) {
        return "";
    }
    uint32_t first = LineOf(judge, line.LineAt) - 1;
    // The line that holds the text's end, or the joined marker line, is the last compared.
    // The repair only drops blanks, so the dump as read has at least the lines it has.
    uint32_t last = LineOf(judge, line.TextEnd) - (joined > 0 ? 0 : 1);
    uint32_t from = OriginalLineStart(judge, first);
    const uint8_t* read = walk->Original + from;
    uint32_t size = OriginalLineStart(judge, last) - from;
    // The joined marker line as read: its bytes are the repaired one's, blanks aside, and the
    // blanks before it are its markup's.
    const uint8_t* marker = walk->Bytes + line.TextEnd;
    bool same = true;
    for (uint32_t k = joined; k > 0 && same; --k) {
        while (size > 0 && read[size - 1] == ' ' && marker[k - 1] != ' ') {
            --size;
        }
        same = marker[k - 1] == ' ' || (size > 0 && read[--size] == marker[k - 1]);
    }
    while (joined > 0 && same && size > 0 && read[size - 1] == ' ') {
        --size;
    }
    if (same && ShowsTheWrittenText(read, size, walk->Bytes + line.TextStart, line.Length,
                                    lone || joined > 0)) {
        return "";
    }
    records->TextChanged = true;
    return "the repair pass that takes the blanks out of the markup changes the text of " +
           RecordName(line.LineNumber) + ": the rebuild writes " +
           Excerpt(walk->Bytes + line.TextStart, line.Length) +
           " (remove the blanks from the markup yourself, the first line included, and the "
           "text is taken as it stands)";
}

// Why the text the rebuild writes for this line is not the one the dump shows, or "".
// A record line that a spreadsheet saved in quotes, or "".
static std::string QuotedTextProblem(const Judge* judge, const DumpRecordLine& line)
{
    const uint8_t* bytes = judge->Walk->Bytes;
    // The opening quote starts its line: one that ends the text before (a record line joined to
    // it) is that text's.
    if (line.LineAt == 0 || bytes[line.LineAt - 1] != '"' || line.Length == 0 ||
        bytes[line.TextStart + line.Length - 1] != '"' || !StartsSeenLine(judge, line.LineAt - 1)) {
        return "";
    }
    // A spreadsheet doubles the quotes inside, too.
    static const uint8_t twoQuotes[] = {'"', '"'};
    const uint8_t* text = bytes + line.TextStart;
    const uint8_t* closing = text + line.Length - 1;
    bool doubled = std::search(text, closing, twoQuotes, twoQuotes + 2) != closing;
    return "the text of " + RecordName(line.LineNumber) +
           " stands in quotes, as a spreadsheet saves a line: the rebuild writes the closing "
           "quote into the text (take both quotes out" +
           std::string(doubled ? ", and make each doubled quote inside single)" : ")");
}

// *note is set where it rebuilds exactly but is worth knowing.
static std::string TextProblem(Judge* judge, const DumpRecordLine& line, RecordJudgement* records,
                               bool* note)
{
    const DumpWalk* walk = judge->Walk;
    const uint8_t* bytes = walk->Bytes;
    // Named only when there is something to say: most records have nothing.
    auto record = [&line] { return "the text of " + RecordName(line.LineNumber); };
    if (line.LineAt == walk->FirstLineAt && !StartsRecordLine(judge, line.LineAt)) {
        return "\"" RECORD_PREFIX "\" stands inside this line: the rebuild takes it for the first "
               "record line and writes " +
               RecordName(line.LineNumber) + " from it";
    }
    // A record line joined to an empty one ("[LINE:0002][LINE:0003]Bye"): the rebuild does not
    // look for a record line at a text's first byte.
    uint32_t head = line.TextStart + (uint32_t)strlen(RECORD_PREFIX);
    if (StandsAt(bytes, line.TextEnd, line.TextStart, RECORD_PREFIX) && head + 4 < line.TextEnd &&
        std::all_of(bytes + head, bytes + head + 4, [](uint8_t c) { return isdigit(c); }) &&
        bytes[head + 4] == ']') {
        return record() + " starts with " +
               Excerpt(bytes + line.TextStart, head + 5 - line.TextStart) +
               ": the rebuild writes that record line into this text, not as a record of its own "
               "(put it on a line of its own)";
    }
    if (line.NumberOnly) {
        std::string outcome = ": the rebuild writes this last record's number but not its text";
        outcome += walk->WantsSideData ? ", and the side data right after that number" : "";
        // A closing line whose markup or letters an editor changed: the walk ran past it.
        // A line is judged at its first such word: a long line of "finish" costs one pass.
        uint32_t before = 0;
        for (uint32_t at = FindWord(bytes, walk->Size, line.LineAt, "FINISH"); at < walk->Size;
             before = at, at = FindWord(bytes, walk->Size, at + 1, "FINISH")) {
            uint32_t start = at;
            while (start > before && bytes[start - 1] != '\r' && bytes[start - 1] != '\n') {
                --start;
            }
            if (before != 0 && start == before) {
                continue;
            }
            start = SkipBlanks(bytes, walk->Size, start);
            if (start > line.LineAt &&
                (bytes[start] == '[' || StandsAt(bytes, at, start, "\xEF\xBC\xBB"))) {
                return "line " + std::to_string(LineOf(judge, start)) +
                       " is not read as the closing line " MARKER_BRACKET
                       "Speech FINISH" MARKER_BRACKET ", which must stand so exactly" +
                       outcome;
            }
        }
        return "the closing line " MARKER_BRACKET "Speech FINISH" MARKER_BRACKET " is missing" +
               outcome;
    }
    uint32_t digits = line.LineAt + 6;
    while (digits < line.LineAt + 10 && bytes[digits] >= '0' && bytes[digits] <= '9') {
        ++digits;
    }
    if (digits == line.LineAt + 9 && bytes[digits] == ']' &&
        bytes[digits + 1] == judge->Lines.Break && line.TextStart == line.TextEnd) {
        // Three digits, "]" and a lone line end: the rebuild reads the same number and, past
        // that line end, the same empty text.
        return "";
    }
    // "[LINE:0001)": the rebuild passes over the byte after four digits, whatever it is; a
    // person reads it as the bracket only when it looks like one and no "]" follows it
    // ("[LINE:0001x]" and "[LINE:0001)]" are not so).
    bool bracketTyped =
        bytes[digits] == ']' || (memchr(")}>|", bytes[digits], 4) != NULL &&
                                 line.TextStart < line.TextEnd && bytes[line.TextStart] != ']');
    if (digits < line.LineAt + 10 || !bracketTyped) {
        return "the record number is not four digits and \"]\": the rebuild reads it as " +
               std::to_string(line.LineNumber) + " and starts the text at the wrong byte";
    }
    if (line.TextEnd < line.TextStart) {
        // A short-tail marker before this last record line ended it at the length saved there;
        // the text it shows runs on to the closing line.
        if (OnlyLineBreaks(bytes, line.TextStart + line.Length, walk->EndAt)) {
            return "";
        }
        return "line " + std::to_string(LineOf(judge, line.TextEnd)) +
               " holds a short-tail marker before this last record line: the rebuild writes " +
               Plural(line.Length, "byte") + " of " + record() +
               (walk->SavedLength == line.Length
                    ? ", as many as the text before that marker had"
                    : ": the text before that marker had " + std::to_string(walk->SavedLength) +
                          ", which run past the end of the dump");
    }
    uint32_t span = line.TextEnd - line.TextStart;
    bool endsInCrLf = span >= 2 && memcmp(bytes + line.TextEnd - 2, DUMP_LINE_END, 2) == 0;
    if (line.TextEnd < walk->Size && bytes[line.TextEnd - 1] != judge->Lines.Break) {
        if (bytes[line.TextEnd - 1] == '\r') {
            // A line joined to a text that ends in a CR of its own, as the speech file beside
            // the dump tells: the rebuild keeps that CR, as the decode wrote it.
            if (EndsInItsOwnBreaks(judge, line.LineNumber, bytes + line.TextStart, line.Length)) {
                *note = true;
                return record() + " ends in a CR of its own, as " + WithEnding(judge->Name, "spc") +
                       " has it, with a line joined after it: the rebuild keeps that CR, though it "
                       "warns of a line end";
            }
            return record() + " ends in CR alone, not CR LF: the rebuild writes the CR into it";
        }
        // A list mark, a quote or a pasted byte-order mark before the next line's marker.
        uint32_t markup = MarkupBefore(bytes, line.TextEnd);
        if (StartsSeenLine(judge, markup)) {
            // MarkupBefore passes over blanks too.
            bool blanks = SkipBlanksBack(bytes, line.TextEnd) == markup;
            return record() + " is followed by a line with " +
                   (blanks                                                  ? "blanks"
                    : StandsAt(bytes, line.TextEnd, markup, "\xEF\xBB\xBF") ? "a byte-order mark"
                    : StandsAt(bytes, line.TextEnd, markup, "\xE2\x80\x8B")
                        ? "a zero-width space"
                        : Excerpt(bytes + markup, line.TextEnd - markup)) +
                   " before its marker: the rebuild writes this text changed (take " +
                   (blanks ? "the blanks" : "it") + " out)";
        }
        if (line.LineBreaks == 0 && JoinedMarkerLine(walk, line.TextEnd)) {
            uint32_t end = line.TextEnd; // of the joined line, its line end included
            while (end < walk->Size && !EndsLine(bytes, walk->Size, end++)) {
            }
            return RepairProblem(judge, line, records, false, end - line.TextEnd);
        }
        bool recordLine = StandsAt(bytes, walk->Size, line.TextEnd, RECORD_PREFIX);
        std::string quoted = QuotedTextProblem(judge, line);
        if (recordLine && quoted.empty() && !walk->Repaired) {
            // Joined to the end of this text, it is a record of its own all the same.
            *note = true;
            return "a record line is joined to the end of " + record() +
                   ": the rebuild starts a new record there, as it reads";
        }
        if (!quoted.empty()) {
            return quoted;
        }
        uint32_t shown = recordLine ? (uint32_t)strlen(RECORD_PREFIX) : 9;
        return record() + " holds " +
               Excerpt(bytes + line.TextEnd, std::min<uint32_t>(walk->Size - line.TextEnd, shown)) +
               ": the rebuild " +
               (recordLine ? "starts a new record there, and the repair of the markup may "
                             "change the text before it"
                : walk->End == DUMP_UNSEQUENCED_MARKER && walk->EndAt == line.TextEnd
                    ? "takes it for the tail marker and ends the records there"
                : walk->ShortTailSeen && walk->TailMarkerAt == line.TextEnd
                    ? "takes it for the short-tail marker and ends the text there"
                    : "takes it for the closing line and ends the dump there");
    }
    bool lone = !endsInCrLf && span > 0 && bytes[line.TextEnd - 1] == judge->Lines.Break;
    if (lone) {
        // Each lone line end is a byte of the text; all but its own belong to empty lines,
        // which a CR LF may end too (an editor saved a CR LF dump with LF once more).
        uint32_t shown = line.TextEnd - 1;
        for (uint32_t before = 0; before != shown;) {
            before = shown = LineBreaksStart(bytes, line.TextStart, shown);
            shown -= shown > line.TextStart && bytes[shown - 1] == judge->Lines.Break;
        }
        shown -= line.TextStart;
        if ((line.Length != span || shown != span - 1) &&
            !EndsInItsOwnBreaks(judge, line.LineNumber, bytes + line.TextStart, line.Length)) {
            return "the rebuild writes " + Plural(line.Length, "byte") + " of " + record() +
                   ", which shows " + std::to_string(shown);
        }
    } else if (!OnlyLineBreaks(bytes, line.TextStart + line.Length, line.TextEnd)) {
        // Empty lines after a text would cost it nothing: each CR LF counts zero.
        // A marker line whose words an editor changed (translated, say), or one moved among the
        // record lines, is text to the rebuild.
        uint32_t joinedAt = 0; // the first line with anything on it that the text takes in
        for (const uint8_t* lf = bytes + line.TextStart;
             (lf = (const uint8_t*)memchr(lf, '\n', bytes + line.TextEnd - lf)) != NULL;) {
            uint32_t at = (uint32_t)(++lf - bytes);
            uint32_t end = NextLineEnd(bytes, at, line.TextEnd);
            joinedAt = joinedAt == 0 && end > at ? at : joinedAt;
            bool marker = StandsAt(bytes, line.TextEnd, at, MARKER_BRACKET);
            if (marker || LooksLikeRecordLine(bytes, at, end, 0, 10000)) {
                return record() + " runs on into line " + std::to_string(LineOf(judge, at)) + ", " +
                       Excerpt(bytes + at, end - at) +
                       (marker ? ", a marker line that does not end a text there: the rebuild "
                                 "writes it into this text (marker lines keep the words and "
                                 "places a decode gave them)"
                               : ", which is not read as a record line: the rebuild writes it "
                                 "into this text (a record line starts with \"" RECORD_PREFIX
                                 "nnnn]\" exactly)");
            }
        }
        // Only a text with two or more line breaks gets here: the walk counts every byte but
        // the CR LF pairs, and a text ending in one line end is an empty line or a lone one.
        std::string cut = "cuts " + std::to_string(2 * (line.LineBreaks - 1)) +
                          " bytes from its end, two for each line break in it";
        if (joinedAt == 0) {
            return record() + " spans " + std::to_string(line.LineBreaks) + " lines: the rebuild " +
                   cut;
        }
        // A line typed or pasted below a text (a note, a conflict mark of a merge) is text too.
        uint32_t joinedEnd = NextLineEnd(bytes, joinedAt, line.TextEnd);
        return record() + " runs on into line " + std::to_string(LineOf(judge, joinedAt)) + ", " +
               Excerpt(bytes + joinedAt, joinedEnd - joinedAt) +
               ": the rebuild writes that line into this text, and " + cut +
               " (a line of its own starts with \"" RECORD_PREFIX "nnnn]\")";
    }
    std::string quoted = QuotedTextProblem(judge, line);
    if (!quoted.empty()) {
        return quoted;
    }
    std::string repaired = RepairProblem(judge, line, records, lone, 0);
    if (!repaired.empty()) {
        return repaired;
    }
    // An editor that evens out line ends turns a text's own CR or LF, before its CR LF, into
    // a line end: a blank line after the text. Only the speech file beside the dump can tell.
    uint32_t shownEnd = line.TextEnd;
    while (shownEnd >= line.TextStart + 2 && bytes[shownEnd - 2] == '\r' &&
           bytes[shownEnd - 1] == '\n') {
        shownEnd -= 2;
    }
    if (line.TextEnd - shownEnd >= 4 &&
        (shownEnd == line.TextStart ||
         (bytes[shownEnd - 1] != '\r' && bytes[shownEnd - 1] != '\n'))) {
        // A translation with a blank line after it may be the translator's own layout: it
        // counts where a text shown untouched tells that an editor evened out the line ends.
        const SpeechTextEnd* own = SpeechEndOf(judge, line.LineNumber);
        bool untouched = own != NULL &&
                         own->Bare == HashOf(bytes + line.TextStart, shownEnd - line.TextStart, 0);
        if (own != NULL) {
            Tally(untouched ? &records->EvenedOut : &records->EvenedOutTranslated, line.LineAt);
        }
    }
    // Saved with LF line ends (by dos2unix, say), a text's own CR and the LF after it read as
    // a CR LF line end, which the rebuild drops.
    static const uint8_t cr = '\r';
    bool headEndsInLf = judge->HeadEnd < walk->Size && bytes[judge->HeadEnd] == '\n';
    if (endsInCrLf && headEndsInLf && shownEnd == line.TextEnd - 2 &&
        (shownEnd == line.TextStart || bytes[shownEnd - 1] != '\r')) {
        const SpeechTextEnd* own = SpeechEndOf(judge, line.LineNumber);
        if (own != NULL && own->Breaks == HashOf(&cr, 1, 0)) {
            Tally(&records->CrTakenForLineEnd, line.LineAt);
        }
    }
    // U+FFFD in a dump of a speech file that holds none: an editor read the dump in another
    // encoding than its own, replaced the bytes it could not read and saved UTF-8 (a Big5 text
    // may hold those bytes: "\xB9\xEF\xBF\xBD").
    if (HoldsReplacement(bytes + line.TextStart, span, 0) &&
        IsValidUtf8(bytes + line.TextStart, span) && ReadSpeechTexts(judge) &&
        !judge->SpeechReplacement) {
        Tally(&records->Replaced, line.LineAt);
    }
    bool toUtf8 = false;
    uint32_t fits =
        ReencodedFrom(judge, line.LineNumber, bytes + line.TextStart, line.Length, &toUtf8);
    if (fits != 0 && (records->Reencoded.Count == 0 || toUtf8 == records->SavedAsUtf8)) {
        records->SavedAsUtf8 = toUtf8;
        for (int e = 0; e < ENCODING_COUNT; ++e) {
            records->Fits[e] += (fits >> e) & 1;
        }
        Tally(&records->Reencoded, line.LineAt);
    }
    // A CR before the line's CR LF shows in no editor, but is the text's last byte.
    bool crGained =
        endsInCrLf && line.Length > 0 && bytes[line.TextStart + line.Length - 1] == '\r';
    if (lone && bytes[line.TextEnd - 1] == '\n') {
        // An LF of the text's own, which the speech file beside tells, with the next line
        // joined to it: the rebuild keeps it, as the decode wrote it.
        lone = !EndsInItsOwnBreaks(judge, line.LineNumber, bytes + line.TextStart, line.Length);
    }
    if (lone) {
        Tally(&records->LoneBreaks, line.LineAt);
    }
    if (crGained) {
        Tally(&records->CrGained, line.LineAt);
        records->CrLines.push_back({line.LineNumber, line.TextStart, line.Length, line.LineAt});
    }
    return "";
}

// What the speech file beside the dump tells of texts that end in CR before their line's
// CR LF: false where it does not stand; else the lines whose CRs it does not tell for the
// texts' own are tallied in *gained.
static bool SpeechFileTellsCrs(Judge* judge, const RecordJudgement& records, LineTally* gained)
{
    if (!ReadSpeechTexts(judge)) {
        return false;
    }
    *gained = {};
    for (const RecordJudgement::CrLine& line : records.CrLines) {
        if (!EndsInItsOwnBreaks(judge, line.Number, judge->Walk->Bytes + line.TextStart,
                                line.Length)) {
            Tally(gained, line.LineAt);
        }
    }
    return true;
}

// Lines the walk never read, before the first record line or after the line that ended the
// walk. One that reads like a record line loses a record; any other (a translator's comment)
// rebuilds exactly but is gone from the next decode.
static void JudgeUnreadLines(Judge* judge, const DumpUnreadLines& like,
                             const DumpUnreadLines& other, const std::string& where,
                             const char* hint)
{
    bool problem = like.Count > 0;
    const DumpUnreadLines& lines = problem ? like : other;
    if (lines.Count == 0) {
        return;
    }
    std::string them = lines.Count == 1 ? "it" : "them";
    Find(judge, lines.FirstAt, !problem,
         Excerpt(judge->Walk->Bytes + lines.FirstAt, lines.FirstEnd - lines.FirstAt) +
             (lines.Count == 1 ? " stands "
                               : " and " + Plural(lines.Count - 1, "more line") + " stand ") +
             where +
             (problem ? ": the rebuild never reads " + them + hint
                      : ", where the rebuild does not read: a decode of the rebuilt file will "
                        "not show " +
                            them));
}

// Whether the decoder would read this record, which the rebuild writes whole, as the dump
// shows it, in sequence.
static void JudgeSequence(Judge* judge, const DumpRecordLine& line, RecordJudgement* records)
{
    ++records->Records;
    records->LastNumber = line.LineNumber;
    if (records->SequenceBroken ||
        FollowsInSequence(records->Started, records->Expected, (uint16_t)line.LineNumber)) {
        records->Started = true;
        records->Expected = line.LineNumber + 1;
        return;
    }
    records->SequenceBroken = true;
    Find(judge, line.LineAt, false,
         records->Expected == 10000 && line.LineNumber == 0
             ? "record numbers pass 9999: the dump shows them from here on as 0000, 0001, "
               "..., and the rebuilt file would number them so, not 10000, 10001, ...: a reader "
               "of it stops here"
             : RecordName(line.LineNumber) + " follows " + RecordName(records->Expected - 1) +
                   ": numbers must rise by one, or a reader of the rebuilt file stops here and "
                   "keeps the records from here on only as side data");
}

// ---- Side data -----------------------------------------------------------------------------

// Whether `bytes`, found under the short name `first` that a rebuild of `dump` looks for first,
// are not its own side data: that, `sibling`, stands with other bytes, or is missing (a decode
// writes side data under the dump's own name alone).
static bool AnotherDumpsSideData(const char* first, const char* sibling, const uint8_t* bytes,
                                 uint32_t size)
{
    // One name is one file, though a decode may replace it between two looks at it.
    if (strcmp(first, sibling) == 0 || SameFile(first, sibling)) {
        return false;
    }
    if (!FileStands(sibling)) {
        return true;
    }
    uint8_t* held = NULL;
    uint32_t heldSize = 0;
    bool same = ReadWholeSideFile(sibling, &held, &heldSize) == LOAD_OK && heldSize == size &&
                memcmp(held, bytes, size) == 0;
    free(held);
    return !same;
}

bool SplicesAnotherDumpsSideData(const char* dump)
{
    char first[PATH_CAPACITY];
    char sibling[PATH_CAPACITY];
    BuildSideDataNames(dump, first, sibling);
    if (strcmp(first, sibling) == 0) {
        return false; // a name of five characters, whose side data is its own
    }
    uint8_t* bytes = NULL;
    uint32_t size = 0;
    bool another = ReadWholeSideFile(first, &bytes, &size) == LOAD_OK &&
                   AnotherDumpsSideData(first, sibling, bytes, size);
    free(bytes);
    return another;
}

std::string OtherSideData(const char* first, const char* sibling)
{
    std::string owner = WithEnding(first, "txt");
    return first + (FileStands(owner.c_str()) ? " (the side data of " + owner + ")" : "") +
           (FileStands(sibling)
                ? ", not this dump's own " + std::string(sibling)
                : ", while this dump's own " + std::string(sibling) + " is missing");
}

// What the speech file beside a dump (its name, ending in .spc) tells of a tail: TAIL_UNTOLD
// where none stands.
enum TailTold { TAIL_UNTOLD, TAIL_NONE, TAIL_THERE };

static TailTold SpeechFileTail(const char* dump)
{
    uint8_t* bytes = NULL;
    uint32_t size = 0;
    if (!ReadSpeechFileBeside(dump, &bytes, &size)) {
        free(bytes);
        return TAIL_UNTOLD;
    }
    SpeechWalk walk;
    SpeechRecord record;
    StartSpeechWalk(&walk, bytes, size);
    while (NextSpeechRecord(&walk, &record)) {
    }
    free(bytes);
    return walk.Tail == NO_TAIL ? TAIL_NONE : TAIL_THERE;
}

// A dump whose tail marker line was deleted shows no tail, and its rebuild writes none: the
// side data its decode wrote beside it tells that a tail is lost, unless the speech file beside
// it has none either (an earlier version's side data, which a rebuild does not take).
std::string UnusedSideData(const char* dump, bool* earlierVersions)
{
    std::string sibling = WithEnding(dump, "ext");
    *earlierVersions = false;
    if (!FileStands(sibling.c_str())) {
        return "";
    }
    *earlierVersions = SpeechFileTail(dump) == TAIL_NONE;
    return sibling + " stands beside the dump, but no tail marker follows its records";
}

static void JudgeUnusedSideData(Judge* judge, uint32_t closingAt)
{
    bool earlier = false;
    std::string unused = UnusedSideData(judge->Name, &earlier);
    std::string ext = WithEnding(judge->Name, "ext");
    std::string spc = WithEnding(judge->Name, "spc");
    // A decode marks a tail too short for a record's head so after a record, any other in
    // capitals.
    uint8_t end[SHORT_TAIL_LIMIT + 1];
    uint32_t have = 0;
    bool shortTail = ReadFilePart(ext.c_str(), true, end, sizeof end, &have) &&
                     have <= SHORT_TAIL_LIMIT && judge->Walk->FirstLineAt < judge->Walk->Size;
    if (earlier) {
        Find(judge, closingAt, true,
             unused + ", and " + spc + " has no tail: " + ext +
                 " is an earlier version's side data, which the rebuild leaves out (delete it)");
    } else if (!unused.empty()) {
        Find(judge, closingAt, false,
             unused + ": the rebuilt file would lack that tail (put back its " +
                 (shortTail ? MARKER_BRACKET "Unknown DATA" MARKER_BRACKET
                            : MARKER_BRACKET "UNKNOWN DATA" MARKER_BRACKET) +
                 " line before the closing line, or delete " + ext + " if " + spc +
                 " has no tail)");
    }
}

// The side data the rebuild would splice, against the tail the dump shows and the records
// before it; a marker inside a text (markerShown false) shows no tail at all.
static void JudgeSideData(Judge* judge, const RecordJudgement& records, bool markerShown)
{
    const DumpWalk* walk = judge->Walk;
    char first[PATH_CAPACITY];
    char sibling[PATH_CAPACITY];
    BuildSideDataNames(judge->Name, first, sibling);
    uint8_t* bytes = NULL;
    uint32_t size = 0;
    // As the rebuild looks: the first name, unless nothing at all stands there.
    const char* name = first;
    LoadResult loaded = ReadWholeSideFile(first, &bytes, &size);
    if (loaded == LOAD_MISSING) {
        name = sibling;
        loaded = ReadWholeSideFile(sibling, &bytes, &size);
    }
    std::string sideData = std::string("the side data ") + name;
    std::string marker = Excerpt(walk->Bytes + walk->TailMarkerAt,
                                 std::min<uint32_t>(walk->Size - walk->TailMarkerAt, 9));
    std::string problem;
    judge->Result->SideData = loaded == LOAD_OK;
    if (loaded == LOAD_MISSING && markerShown) {
        problem = "the dump ends in a tail marker, but its side data " + std::string(sibling) +
                  " is missing: the rebuilt file would lack its tail";
    } else if (loaded == LOAD_MISSING) {
        // Exact, but the rebuild cannot tell it from a tail that went missing, and warns.
        Find(judge, walk->TailMarkerAt, true,
             marker + " inside a text asks for side data and none stands beside the dump: "
                      "the rebuild warns that it is missing, and splices none");
    } else if (loaded == LOAD_FAILED) {
        problem = sideData + " cannot be read: the rebuild would fail";
        judge->Result->RebuildFails = true;
    } else if (!markerShown) {
        problem = marker + " inside a text is taken for a tail marker: the rebuild splices " +
                  sideData + " after the records, a tail this dump does not show";
    } else if (name == first && AnotherDumpsSideData(first, sibling, bytes, size)) {
        problem = "the rebuild would splice " + OtherSideData(first, sibling) +
                  ": perhaps the wrong tail";
    } else if (records.Started && !records.SequenceBroken) {
        // The decoder reads on from the last record into the spliced bytes.
        SpeechWalk tail;
        SpeechRecord record;
        ContinueSpeechWalk(&tail, bytes, size, (uint16_t)records.LastNumber);
        if (NextSpeechRecord(&tail, &record)) {
            problem = sideData + " starts with " + RecordName(record.LineNumber) +
                      ", which now follows the last record: a reader of the rebuilt file would "
                      "take the tail for records";
        } else if (size == 0) {
            problem = sideData + " is empty: the rebuilt file would lack its tail";
        } else if (tail.Tail !=
                   (walk->End == DUMP_UNSEQUENCED_MARKER ? UNSEQUENCED_TAIL : SHORT_TAIL)) {
            // Either the marker was retyped or the side data is not this dump's: name both.
            bool shortTail = tail.Tail == SHORT_TAIL;
            problem =
                sideData + " (" + Plural(size, "byte") + ") is " +
                (shortTail ? "a short tail, which a decode marks [:::::]Unknown DATA[:::::], "
                             "not [:::::]UNKNOWN DATA[:::::]"
                           : "a longer tail, which a decode marks [:::::]UNKNOWN DATA[:::::], "
                             "not [:::::]Unknown DATA[:::::]") +
                ": a retyped marker, or another version's side data?";
        }
    }
    // A dump of this version (records added to it aside) may still sit beside another
    // version's side data; another version's head is a problem of its own.
    std::string spc = WithEnding(judge->Name, "spc");
    bool added = false;
    bool sameVersion = VersionValuesNotShown(judge, &added).empty() || added;
    if (problem.empty() && loaded == LOAD_OK && markerShown && size > 0 && sameVersion &&
        !SpeechFileEndsIn(judge, bytes, size)) {
        problem = sideData + " (" + Plural(size, "byte") + ") is not how " + spc +
                  " beside the dump ends: the rebuilt file would end in another version's tail "
                  "(decode a copy of " +
                  spc + " in another folder: what it writes, side data or none, is that file's)";
    }
    free(bytes);
    if (!problem.empty()) {
        Find(judge, walk->TailMarkerAt, false, problem);
    }
}

// ---- The whole dump ------------------------------------------------------------------------

// One walk of the record lines, judging each. The first shows its progress; the second prints.
static uint32_t JudgeRecordLines(Judge* judge, DumpWalk* walk, RecordJudgement* records)
{
    uint32_t lines = 0;
    uint32_t reported = 0;
    DumpRecordLine line;
    while (NextDumpRecordLine(walk, &line)) {
        // One joined to the end of a text counts too: the rebuild reads a record there, and so
        // does a person.
        lines += line.LineAt != walk->FirstLineAt || StartsRecordLine(judge, line.LineAt);
        if (judge->Stage == FIRST_WALK) {
            ReportProgress(line.TextEnd, walk->Size, &reported);
        }
        if (StoredLineCount == 0) {
            continue;
        }
        if (!line.NumberOnly) {
            JudgeSequence(judge, line, records);
        }
        bool note = false;
        std::string problem = TextProblem(judge, line, records, &note);
        if (!problem.empty()) {
            Find(judge, line.LineAt, note, problem);
        }
        if (line.Length > 0xFFFF) {
            Find(judge, line.LineAt, true,
                 "the text of " + RecordName(line.LineNumber) + " is " +
                     std::to_string(line.Length) +
                     " bytes long: the rebuild writes it whole, but older tools read at most "
                     "65,535");
        }
    }
    return lines;
}

static void JudgeRecords(Judge* judge, DumpWalk* walk)
{
    RecordJudgement records = {};
    judge->Stage = FIRST_WALK;
    uint32_t lines = JudgeRecordLines(judge, walk, &records);
    judge->Stage = WHOLE_DUMP;
    judge->Result->RecordsWritten = records.Records;
    DumpUnreadPart unread;
    FindUnreadPart(walk, &unread);
    std::string before = walk->End == DUMP_WITHOUT_RECORD_LINE ? "in a dump without a record line"
                                                               : "before the first record line";
    JudgeUnreadLines(judge, unread.RecordLinesBefore, unread.OtherLinesBefore, before,
                     " (a record line starts with \"" RECORD_PREFIX "nnnn]\")");
    const DumpUnreadLines& after =
        unread.RecordLinesAfter.Count > 0 ? unread.RecordLinesAfter : unread.OtherLinesAfter;
    bool closing = walk->End == DUMP_CLOSED && after.FirstAt > walk->EndAt;
    JudgeUnreadLines(judge, unread.RecordLinesAfter, unread.OtherLinesAfter,
                     closing ? "after the closing line" : "after the tail marker line", "");
    // A tail marker the walk did not read loses side data that stands; without any, it is a
    // note such as "[:::::]UPDATED[:::::]".
    bool lost = false;
    if (unread.TailMarker) {
        char first[PATH_CAPACITY];
        char sibling[PATH_CAPACITY];
        BuildSideDataNames(judge->Name, first, sibling);
        lost = FileStands(first) || FileStands(sibling);
    }
    // Side data beside a dump that shows no tail, head-only or cut in its head included. (A
    // cut-off dump has its own problem.)
    if (!walk->WantsSideData && !unread.TailMarker && walk->End != DUMP_CUT_OFF) {
        JudgeUnusedSideData(judge, walk->End == DUMP_CLOSED ? walk->EndAt : UINT32_MAX);
    }
    if (StoredLineCount == 0) {
        bool tail = walk->WantsSideData || lost;
        if (lines > 0 || tail) {
            Find(judge, walk->LineCount.KeywordFound ? walk->LineCount.KeywordAt : UINT32_MAX,
                 false,
                 "the line count is 0: the rebuild writes no record and no side data, so " +
                     (lines == 0 ? "the tail"
                                 : Plural(lines, "record line") + (tail ? " and the tail" : "")) +
                     " of this dump would be lost");
        }
        return;
    }
    LineTally tallies[2] = {records.LoneBreaks, records.CrGained};
    const char* how[2] = {judge->Lines.Break == '\r'
                              ? "CR only, not CR LF (an editor saved the dump that way)"
                              : "LF only, not CR LF (an editor saved the dump that way)",
                          "CR CR LF, not CR LF (line ends converted twice, by a copy in text "
                          "mode or a version-control setting)"};
    // A text may end in a CR of its own, which a decode writes before the line's CR LF: the
    // speech file beside the dump tells; without it, only a head saved so shows line ends
    // converted twice.
    bool told = records.CrGained.Count == 0 ||
                StandsAt(walk->Bytes, walk->Size, judge->HeadEnd, "\r\r\n") ||
                SpeechFileTellsCrs(judge, records, &tallies[1]);
    for (int k = 0; k < 2; ++k) {
        if (tallies[k].Count > 0) {
            bool own = k == 1 && !told;
            Find(judge, tallies[k].FirstAt, own,
                 Plural(tallies[k].Count, "record line") +
                     (tallies[k].Count == 1 ? " from here ends in " : " from here end in ") +
                     (own ? "CR CR LF: the rebuild keeps each CR as the "
                            "last byte of its text, as a decode writes a text that ends in CR "
                            "(unless line ends were converted twice, which the speech file, not "
                            "beside the dump, would tell)"
                          : how[k] + std::string(": every such text would gain a byte")));
        }
    }
    std::string spc = WithEnding(judge->Name, "spc");
    // Once per dump: an editor does it to every such text.
    if (records.EvenedOut.Count > 0) {
        const LineTally& translated = records.EvenedOutTranslated;
        uint32_t lines = records.EvenedOut.Count + translated.Count;
        bool one = lines == 1;
        Find(judge,
             translated.Count > 0 ? std::min(records.EvenedOut.FirstAt, translated.FirstAt)
                                  : records.EvenedOut.FirstAt,
             false,
             Plural(lines, "record line") + " from here " + (one ? "shows" : "show") +
                 " a text of " + spc +
                 " without the CRs or LFs it ends in there, but with a blank line after it (an "
                 "editor evened out the line ends?): the rebuild writes " +
                 (one ? "that text" : "each such text") +
                 " without those bytes (edit the dump in an editor that keeps line ends as they "
                 "are)");
    }
    if (records.CrTakenForLineEnd.Count > 0) {
        bool one = records.CrTakenForLineEnd.Count == 1;
        Find(judge, records.CrTakenForLineEnd.FirstAt, false,
             Plural(records.CrTakenForLineEnd.Count, "record line") + " from here " +
                 (one ? "shows" : "show") + " a text of " + spc +
                 " that ends in a CR there, which before the LF this dump's lines end in reads as "
                 "a CR LF line end: the rebuild writes " +
                 (one ? "that text" : "each such text") +
                 " without its CR (save the dump with CR LF line ends)");
    }
    if (records.Replaced.Count > 0) {
        Find(judge, records.Replaced.FirstAt, false,
             Plural(records.Replaced.Count, "record line") +
                 (records.Replaced.Count == 1 ? " from here holds" : " from here hold") +
                 " U+FFFD, though " + spc +
                 " holds none: an editor that read the dump in another encoding than the game's "
                 "put it where it could not read a byte, and the rebuild writes it into the game "
                 "(decode a copy of " +
                 spc +
                 " in another folder, open that dump in the game's encoding, such as Shift_JIS, "
                 "and carry the translation over)");
    }
    if (records.Reencoded.Count > 0) {
        bool one = records.Reencoded.Count == 1;
        const char* other = TextEncodingName(LikeliestEncoding(records.Fits));
        std::string game = records.SavedAsUtf8 ? other : "UTF-8";
        std::string saved = records.SavedAsUtf8 ? "UTF-8" : other;
        Find(judge, records.Reencoded.FirstAt, false,
             Plural(records.Reencoded.Count, "record line") + " from here " +
                 (one ? "shows a text" : "show texts") + " of " + spc + " converted from " + game +
                 " to " + saved +
                 " (an editor saved the dump in another encoding than the game's): the rebuild "
                 "writes each such text in " +
                 saved + ", and the game reads it as " + game + " (open the dump as " + saved +
                 " and save it as " + game + ")");
    }
    if (walk->Repaired && !records.TextChanged) {
        Find(judge, 0, true, "blanks an editor put into the markup are repaired; no text changes");
    }
    if (unread.TailMarker) {
        Find(judge, unread.TailMarkerAt, !lost,
             "a tail marker " +
                 (unread.TailMarkerAt > walk->EndAt ? "after the closing line" : before) +
                 (lost ? ": the rebuild does not splice the side data"
                       : ": the rebuild does not read it, and no side data stands to splice"));
    }
    if (walk->WantsSideData && walk->End != DUMP_CUT_OFF) {
        JudgeSideData(judge, records,
                      StartsSeenLine(judge, walk->TailMarkerAt) ||
                          JoinedMarkerLine(walk, walk->TailMarkerAt));
    }
    if (lines != StoredLineCount && walk->LineCount.DigitsFound) {
        Find(judge, walk->LineCount.KeywordAt, true,
             "LINECOUNT is " + std::to_string(StoredLineCount) + " and the dump has " +
                 Plural(lines, "record line") + "; the rebuild keeps " +
                 std::to_string(StoredLineCount));
    }
}

void JudgeDump(const char* name, const uint8_t* bytes, uint32_t size, DumpJudgement* result)
{
    void (*emit)(const DumpFinding& finding) = result->Emit;
    *result = DumpJudgement();
    result->Emit = emit;
    DumpWalk walk;
    if (!StartDumpWalk(&walk, bytes, size)) {
        return;
    }
    const DumpWalk start = walk;
    Judge judge = {name, &walk, CountLinesOf(walk.Bytes, walk.Size), result};
    judge.HeadEnd = NextLineEnd(walk.Bytes, 0, walk.Size);
    if (!walk.StartFound) {
        Find(&judge, UINT32_MAX, false,
             NotADump(walk.Utf16) +
                 (GuardEdits ? ": a rebuild refuses it" : ": only -f makes a rebuild take it"));
        result->RebuildFails = GuardEdits;
    } else {
        if (walk.ByteOrderMark) {
            Find(&judge, 0, true,
                 "the dump starts with a UTF-8 byte-order mark; the rebuild ignores it");
        }
        // The values are judged once the walk knows where the first record line stands.
        JudgeRecords(&judge, &walk);
        uint32_t problems = judge.ProblemsFound;
        JudgeValue(&judge, walk.Header, "HEADER", StoredHeaderByte & 0xFF, &HeaderFrom,
                   "a header is one byte, 0 to 255, of at most four digits");
        JudgeValue(&judge, walk.LineCount, "LINECOUNT", StoredLineCount, &LineCountFrom,
                   "only four digits and no sign are read");
        if (judge.ProblemsFound == problems) {
            JudgeVersion(&judge);
        }
    }
    // Blanked markup behind a byte-order mark is not repaired, which the translator hears of
    // first; what is left is judged on the dump saved without the mark, which is repaired. The
    // repair only drops blanks beside the markup, which the header scan passes over, so both
    // read the same header values and hand the same ones on to the next dump.
    if (walk.MarkBlocksRepair && judge.ProblemsFound > 0) {
        EndDumpWalk(&walk);
        Send(&judge, {1, false,
                      "the dump starts with a byte-order mark, so the blanks an editor put into "
                      "its markup are not repaired and the rebuild misreads it: save it as UTF-8 "
                      "without a byte-order mark (what follows is found in the dump so saved)"});
        DumpJudgement rest;
        rest.Emit = emit;
        JudgeDump(name, bytes + 3, size - 3, &rest);
        result->Problems += rest.Problems;
        result->Findings.insert(result->Findings.end(), rest.Findings.begin(), rest.Findings.end());
        return;
    }
    std::stable_sort(judge.WholeDump.begin(), judge.WholeDump.end(),
                     [](const DumpFinding& a, const DumpFinding& b) { return a.Line < b.Line; });
    if (judge.FirstWalkFindings > 0) {
        walk = start;
        judge.Stage = SECOND_WALK;
        RecordJudgement records = {};
        JudgeRecordLines(&judge, &walk, &records);
    }
    SendWholeDumpFindings(&judge, UINT32_MAX);
    EndDumpWalk(&walk);
}

DumpJudgement Judged;

bool JudgeLoadedDump(const uint8_t* bytes, uint32_t size)
{
    JudgeDump(CurrentFileName, bytes, size, &Judged);
    return true;
}

// Findings are printed as they are made, so that a dump with one on every record line is
// judged in the memory its walk takes.
static const char* CheckedName;

static void PrintFinding(const DumpFinding& finding)
{
    PrintResult(CheckedName,
                (finding.Line != 0 ? "line " + std::to_string(finding.Line) + ": " : "") +
                    (finding.Note ? "note: " : "") + finding.Text,
                !finding.Note);
}

FileOutcome CheckFile(const char* name)
{
    const char* earlier = EarlierDumpOfTheSameOutput(name);
    if (earlier != NULL) {
        // Nor does it read its header values, which the next dump would take.
        PrintResult(name,
                    std::string("would be rebuilt into the same " OUTPUT_DIRECTORY " file as ") +
                        earlier + ": a rebuild of this run skips it",
                    true);
        return FILE_FINDINGS;
    }
    if (ModLeadsBack(name)) {
        // Refused before it is read: its header values do not carry over either.
        PrintResult(name, MOD_LEADS_BACK ": the rebuild refuses", true);
        return FILE_FINDINGS;
    }
    Judged.Emit = PrintFinding; // the rest JudgeDump sets
    CheckedName = name;
    if (!RunCore(name, name, JudgeLoadedDump)) {
        return FILE_NOT_DONE;
    }
    if (!Judged.RebuildFails) {
        RememberRebuild(name);
    }
    // What stops a rebuild from writing, whatever the dump holds.
    std::string rebuilt = OUTPUT_DIRECTORY "/" + WithEnding(BaseNameOf(name), "spc");
    int unusable = WhyNoFileCanBeWritten(rebuilt.c_str());
    if (unusable == ENOTDIR || unusable == EISDIR || unusable == EINVAL) {
        PrintResult(name,
                    unusable == ENOTDIR
                        ? OUTPUT_DIRECTORY " exists and is not a folder: the rebuild cannot write "
                                           "into it"
                        : rebuilt + " is a folder, a pipe or a device: the rebuild cannot "
                                    "replace it",
                    true);
        Judged.Problems += 1;
    }
    if (Judged.Problems == 0) {
        PrintResult(name,
                    "ready: a rebuild writes " + Plural(Judged.RecordsWritten, "record") +
                        (Judged.SideData ? " and splices its side data" : ""),
                    false);
    }
    return Judged.Problems > 0 ? FILE_FINDINGS : FILE_DONE;
}
