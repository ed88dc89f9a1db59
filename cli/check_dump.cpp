// check: what a rebuild would make of a dump, told before it runs. The rebuild's header
// scan and record walk are followed over the dump's bytes, and every place where the
// rebuilt file would differ from what the dump shows is named by its line, in words a
// translator can act on.
#include "command_line.h"

#include "file_io.h"
#include "file_names.h"
#include "speech_format.h"

#include <algorithm>
#include <stdio.h>
#include <string.h>

// The dump as the rebuild sees it (repaired, when it would be), and where its lines start.
struct DumpView {
    const uint8_t* Bytes;
    uint32_t Size;
    std::vector<uint32_t> LineStarts;
};

static bool StandsAt(const DumpView& dump, uint32_t p, const char* marker)
{
    size_t length = strlen(marker);
    return p <= dump.Size && dump.Size - p >= length && memcmp(dump.Bytes + p, marker, length) == 0;
}

static bool IsDigitAt(const DumpView& dump, uint32_t p)
{
    return p < dump.Size && dump.Bytes[p] >= '0' && dump.Bytes[p] <= '9';
}

static uint32_t LineOf(const DumpView& dump, uint32_t offset)
{
    return (uint32_t)(std::upper_bound(dump.LineStarts.begin(), dump.LineStarts.end(), offset) -
                      dump.LineStarts.begin());
}

static bool StartsLine(const DumpView& dump, uint32_t offset)
{
    return offset == 0 || dump.Bytes[offset - 1] == '\n';
}

static void Report(DumpAnalysis* analysis, uint32_t line, const std::string& text)
{
    analysis->Findings.push_back(DumpFinding{line, false, text});
}

static std::string RecordName(uint32_t number)
{
    char text[16];
    snprintf(text, sizeof text, "record %04u", (unsigned)(number % 10000));
    return text;
}

// ---- Header values ------------------------------------------------------------------------

struct ScannedValue {
    bool KeywordSeen;
    bool Found;
    uint32_t KeywordAt;
    uint32_t DigitsAt;
    uint32_t Value; // of at most four digits, as the rebuild reads it
};

// The rebuild's header scan: each keyword counts only after a "[:::::]" that begins after
// the previous find, and a value is the first digits after its keyword, wherever they stand.
static void ScanHeader(const DumpView& dump, ScannedValue* header, ScannedValue* lineCount)
{
    enum { SEEK_START, SEEK_HEADER, READ_HEADER, SEEK_LINECOUNT, READ_LINECOUNT } stage;
    stage = SEEK_START;
    bool bracketSeen = false;
    for (uint32_t p = 0; p < dump.Size && !lineCount->Found; ++p) {
        if (!bracketSeen) {
            bracketSeen = StandsAt(dump, p, MARKER_BRACKET);
            if (!bracketSeen) {
                continue;
            }
        }
        if (stage == SEEK_START && StandsAt(dump, p, "Speech START")) {
            stage = SEEK_HEADER;
            bracketSeen = false;
        }
        if (stage == SEEK_HEADER && StandsAt(dump, p, "HEADER: ")) {
            stage = READ_HEADER;
            header->KeywordSeen = true;
            header->KeywordAt = p;
        }
        if (stage == SEEK_LINECOUNT && StandsAt(dump, p, "LINECOUNT: ")) {
            stage = READ_LINECOUNT;
            lineCount->KeywordSeen = true;
            lineCount->KeywordAt = p;
        }
        ScannedValue* value = stage == READ_HEADER      ? header
                              : stage == READ_LINECOUNT ? lineCount
                                                        : NULL;
        if (value != NULL && IsDigitAt(dump, p)) {
            value->Found = true;
            value->DigitsAt = p;
            for (uint32_t t = 0; t < 4 && IsDigitAt(dump, p + t); ++t) {
                value->Value = value->Value * 10 + (uint32_t)(dump.Bytes[p + t] - '0');
            }
            stage = SEEK_LINECOUNT;
            bracketSeen = false;
        }
    }
}

// The value as the dump shows it: all its digits, and a sign before them.
static std::string ShownValue(const DumpView& dump, uint32_t p)
{
    uint32_t end = p;
    while (IsDigitAt(dump, end)) {
        ++end;
    }
    std::string digits((const char*)dump.Bytes + p, end - p);
    return p > 0 && dump.Bytes[p - 1] == '-' ? "-" + digits : digits;
}

// One header value: where the dump shows it, taken from elsewhere, or missing and carried
// over from an earlier dump of the run. Returns the value the rebuild would write.
static uint32_t CheckValue(const DumpView& dump, const char* keyword, const ScannedValue& value,
                           uint32_t byteMask, const char* limits, const char* name,
                           uint32_t* carried, std::string* carriedFrom, DumpAnalysis* analysis)
{
    std::string word = keyword;
    uint32_t line = value.KeywordSeen ? LineOf(dump, value.KeywordAt) : 0;
    if (!value.Found) {
        Report(analysis, line,
               "no " + word + " value: the rebuild would use " +
                   (carriedFrom->empty()
                        ? "0, as no earlier dump of this run had one"
                        : std::to_string(*carried) + ", carried over from " + *carriedFrom));
        return *carried;
    }
    uint32_t written = value.Value & byteMask;
    std::string shown = ShownValue(dump, value.DigitsAt);
    uint32_t digitsLine = LineOf(dump, value.DigitsAt);
    if (digitsLine != line) {
        Report(analysis, line,
               "the " + word + " line has no value: the rebuild would take " + shown +
                   " from line " + std::to_string(digitsLine));
    } else if (shown[0] == '-' || shown.size() > 4 || value.Value != written) {
        Report(analysis, line,
               word + " " + shown + " would be written as " + std::to_string(written) + ": " +
                   limits);
    }
    *carried = value.Value;
    *carriedFrom = name;
    return written;
}

// ---- Record lines -------------------------------------------------------------------------

struct RecordWalk {
    bool Open;
    uint32_t Start; // of the open line's "[LINE:"
    uint32_t TextStart;
    uint32_t Number;
    bool HavePrevious;
    bool Wrapped;
    uint32_t NotCrLf; // record lines whose line end is not CR LF
    uint32_t FirstNotCrLf;
};

// A closed record line: its text is [TextStart, end), and the rebuild writes `length` bytes.
static void CheckRecord(const DumpView& dump, RecordWalk* walk, int64_t length, uint32_t end,
                        DumpAnalysis* analysis)
{
    ++analysis->RecordsWritten;
    uint32_t line = LineOf(dump, walk->Start);
    uint32_t start = std::min(walk->TextStart, end);
    bool crLf = end - start >= 2 && dump.Bytes[end - 2] == '\r' && dump.Bytes[end - 1] == '\n';
    if (!crLf && end > start && (dump.Bytes[end - 1] == '\n' || dump.Bytes[end - 1] == '\r')) {
        if (walk->NotCrLf++ == 0) {
            walk->FirstNotCrLf = line;
        }
    }
    uint32_t breaks = 0;
    for (uint32_t p = start; p + 1 < end; ++p) {
        breaks += dump.Bytes[p] == '\r' && dump.Bytes[p + 1] == '\n';
    }
    breaks -= crLf;
    if (breaks > 0) {
        Report(analysis, line,
               "the text of " + RecordName(walk->Number) + " spans " + std::to_string(breaks + 1) +
                   " lines: the rebuild would cut " + std::to_string(2 * breaks) +
                   " bytes from its end, two for each line break in it");
    }
    if (length > 0xFFFF) {
        Report(analysis, line,
               "the text of " + RecordName(walk->Number) + " is " + std::to_string(length) +
                   " bytes long, more than the 65,535 a record can hold");
    }
}

static void OpenRecord(const DumpView& dump, RecordWalk* walk, uint32_t p, DumpAnalysis* analysis)
{
    uint32_t line = LineOf(dump, p);
    if (!StartsLine(dump, p)) {
        Report(analysis, line,
               (walk->Open ? "the text of " + RecordName(walk->Number) : std::string("a line")) +
                   " holds \"[LINE:\": the rebuild would start a new record there");
    }
    uint32_t number = 0;
    uint32_t digits = 0;
    while (digits < 4 && IsDigitAt(dump, p + 6 + digits)) {
        number = number * 10 + (uint32_t)(dump.Bytes[p + 6 + digits] - '0');
        ++digits;
    }
    if (digits < 4 || !StandsAt(dump, p + 10, "]")) {
        Report(analysis, line,
               "the record number is not four digits and \"]\": the rebuild would read it as " +
                   std::to_string(number) + " and start the text at the wrong byte");
    }
    if (walk->HavePrevious && walk->Number == 9999 && number == 0) {
        if (!walk->Wrapped) {
            Report(analysis, line,
                   "more than 9,999 records: the dump shows their numbers from here on "
                   "as 0000, 0001, ..., and the rebuilt file would number them so, not "
                   "10000, 10001, ...");
        }
        walk->Wrapped = true;
    } else if (walk->HavePrevious && number != walk->Number + 1) {
        Report(analysis, line,
               RecordName(number) + " follows " + RecordName(walk->Number) +
                   ": numbers must rise by one, or a reader of the rebuilt file stops here");
    }
    walk->HavePrevious = true;
    walk->Open = true;
    walk->Start = p;
    walk->TextStart = p + 11; // past "[LINE:", four digits and "]"
    walk->Number = number;
}

// The rebuild's record walk. Returns where the tail marker that asks for side data stands,
// or 0 when none does.
static uint32_t WalkRecords(const DumpView& dump, RecordWalk* walk, DumpAnalysis* analysis)
{
    int64_t length = 0; // bytes since the text start, CR LF pairs counting zero
    bool shortTailSeen = false;
    int64_t savedLength = 0;
    uint32_t shortTailAt = 0;
    bool ended = false;
    for (uint32_t p = 0; p < dump.Size && !ended; ++p) {
        if (StandsAt(dump, p, RECORD_PREFIX)) {
            if (walk->Open) {
                CheckRecord(dump, walk, length, p, analysis);
            }
            OpenRecord(dump, walk, p, analysis);
            p = walk->TextStart; // the text's first byte is never taken for a record start
            length = 0;
            if (p >= dump.Size) {
                break;
            }
        }
        if (walk->Open && StandsAt(dump, p, "[:::::") && p + 8 < dump.Size) {
            char first = (char)dump.Bytes[p + 7];
            char second = (char)dump.Bytes[p + 8];
            bool marker =
                first == 'U' ? second == 'N' || second == 'n' : first == 'S' && second == 'p';
            if (marker && !StartsLine(dump, p)) {
                Report(analysis, LineOf(dump, p),
                       "the text of " + RecordName(walk->Number) + " holds \"" +
                           std::string((const char*)dump.Bytes + p, 9) +
                           "\": the rebuild would take it for a marker line and " +
                           (second == 'n' ? "splice side data" : "end the record there"));
            }
            if (first == 'U' && second == 'N') {
                CheckRecord(dump, walk, length, p, analysis);
                return p;
            }
            if (first == 'U' && second == 'n') {
                shortTailSeen = true;
                savedLength = length;
                shortTailAt = p;
            }
            if (first == 'S' && second == 'p') {
                CheckRecord(dump, walk, shortTailSeen ? savedLength : length,
                            shortTailSeen ? shortTailAt : p, analysis);
                ended = true;
            }
        }
        if (p + 1 < dump.Size && dump.Bytes[p] == '\r' && dump.Bytes[p + 1] == '\n') {
            length -= 2;
        }
        length += walk->Open;
    }
    if (!ended && walk->Open) {
        Report(analysis, LineOf(dump, walk->Start),
               "the closing line [:::::]Speech FINISH[:::::] is missing: the rebuild would write "
               "this last record's number but not its text");
    }
    return shortTailSeen ? shortTailAt : 0;
}

// The rebuild splices the side data found first under the short name in the current
// folder, then beside the dump.
static void CheckSideData(const char* name, uint32_t line, DumpAnalysis* analysis)
{
    UseFileName(name);
    char shortName[PATH_CAPACITY];
    char sibling[PATH_CAPACITY];
    BuildSideDataName(shortName);
    BuildSiblingSideDataName(sibling, name);
    bool shortStands = FileStands(shortName);
    std::string owner = WithEnding(shortName, "txt");
    if (!shortStands && !FileStands(sibling)) {
        Report(analysis, line,
               std::string("the dump ends in a tail marker, but its side data ") + sibling +
                   " is missing: the rebuilt file would lack its tail");
    } else if (shortStands && !SameFile(shortName, sibling) &&
               (FileStands(sibling) ||
                (FileStands(owner.c_str()) && !SameFile(owner.c_str(), name)))) {
        Report(analysis, line,
               std::string("the rebuild would splice ") + shortName + " (the side data of " +
                   owner + "), not this dump's own " + sibling + ": the wrong tail");
    }
}

void AnalyseDump(const char* name, const std::string& bytes, CarriedHeader* carried,
                 DumpAnalysis* analysis)
{
    analysis->Findings.clear();
    analysis->RecordsWritten = 0;
    analysis->SideData = false;
    std::string text = bytes;
    if (text.size() >= 10 && memcmp(text.data(), MARKER_BRACKET " Sp", 10) == 0) {
        text.resize(RepairSpacedDump((uint8_t*)&text[0], (uint32_t)text.size()));
        analysis->Findings.push_back(DumpFinding{
            1, true, "blanks an editor put into the markup will be repaired before the rebuild"});
    }
    DumpView dump;
    dump.Bytes = (const uint8_t*)text.data();
    dump.Size = (uint32_t)text.size();
    dump.LineStarts.push_back(0);
    for (uint32_t p = 0; p < dump.Size; ++p) {
        if (dump.Bytes[p] == '\n') {
            dump.LineStarts.push_back(p + 1);
        }
    }

    ScannedValue header = {};
    ScannedValue lineCount = {};
    ScanHeader(dump, &header, &lineCount);
    CheckValue(dump, "HEADER", header, 0xFF, "a header is one byte, 0 to 255, of four digits", name,
               &carried->HeaderByte, &carried->HeaderFrom, analysis);
    uint32_t count = CheckValue(dump, "LINECOUNT", lineCount, 0xFFFFFFFF,
                                "only four digits and no sign are read", name, &carried->LineCount,
                                &carried->LineCountFrom, analysis);
    if (count == 0) {
        Report(analysis, lineCount.Found ? LineOf(dump, lineCount.KeywordAt) : 0,
               "the line count is 0: the rebuild would write no record");
    } else {
        RecordWalk walk = {};
        uint32_t tailAt = WalkRecords(dump, &walk, analysis);
        if (walk.NotCrLf > 0) {
            Report(analysis, walk.FirstNotCrLf,
                   std::to_string(walk.NotCrLf) +
                       " record line(s) from here end in LF only, not CR LF (an editor saved "
                       "the dump that way): every text would gain a byte per line end");
        }
        if (tailAt != 0) {
            analysis->SideData = true;
            CheckSideData(name, LineOf(dump, tailAt), analysis);
        }
        // The walk starts at the first record line, so a tail marker without one is not seen.
        static const char tailMarker[] = MARKER_BRACKET "U";
        const uint8_t* marker = std::search(dump.Bytes, dump.Bytes + dump.Size, tailMarker,
                                            tailMarker + sizeof tailMarker - 1);
        if (!walk.HavePrevious && marker != dump.Bytes + dump.Size) {
            Report(analysis, LineOf(dump, (uint32_t)(marker - dump.Bytes)),
                   "a tail marker with no record line before it: the rebuild would not splice "
                   "the side data");
        }
    }
    std::stable_sort(analysis->Findings.begin(), analysis->Findings.end(),
                     [](const DumpFinding& a, const DumpFinding& b) { return a.Line < b.Line; });
}

// Header values carry over from one dump to the next over the whole run, as in the window.
static CarriedHeader CheckCarried;

FileOutcome CheckFile(const char* name)
{
    std::string bytes;
    if (!ReadInput(name, &bytes)) {
        return FILE_FAILED;
    }
    DumpAnalysis analysis;
    AnalyseDump(name, bytes, &CheckCarried, &analysis);
    bool problems = false;
    for (const DumpFinding& finding : analysis.Findings) {
        problems = problems || !finding.Note;
        PrintResult(name,
                    (finding.Line != 0 ? "line " + std::to_string(finding.Line) + ": " : "") +
                        (finding.Note ? "note: " : "") + finding.Text,
                    !finding.Note);
    }
    if (!problems) {
        PrintResult(name,
                    "ready: a rebuild writes " + std::to_string(analysis.RecordsWritten) +
                        " records" + (analysis.SideData ? " and splices its side data" : ""),
                    false);
    }
    return problems ? FILE_FINDINGS : FILE_DONE;
}
