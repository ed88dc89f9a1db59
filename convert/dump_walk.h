// The one reading of a dump: the repair gate, the header scan and the record walk, each
// reporting what it found and where. The rebuild writes from this walk and `check` judges
// from it, so the two cannot disagree about what a dump says.
//
// The dump is not read as lines: the walk scans bytes for fixed markers. The header scan picks
// up the HEADER and LINECOUNT values; the record walk then takes each "[LINE:nnnn]" line's text
// up to the next marker, with every CR LF pair counting zero towards its length.
#ifndef QUILLMARSH_CONVERT_DUMP_WALK_H
#define QUILLMARSH_CONVERT_DUMP_WALK_H

#include <stdint.h>

// A HEADER or LINECOUNT value as the header scan found it.
struct DumpValue {
    bool KeywordFound;
    uint32_t KeywordAt; // where "HEADER: " or "LINECOUNT: " stands
    bool DigitsFound;
    uint32_t DigitsAt; // the first digit taken, wherever it stands after the keyword
};

// One record line as the rebuild writes it.
struct DumpRecordLine {
    uint32_t LineAt;     // its "[LINE:"
    uint32_t TextStart;  // past "[LINE:", four digits and "]"; may lie past the end
    uint32_t TextEnd;    // where the marker that ends its text stands, or the end of the dump
    uint32_t Length;     // text bytes written from TextStart
    uint32_t LineBreaks; // CR LF pairs between TextStart and TextEnd
    uint32_t LineNumber; // as written: the value of at most four digits
    bool NumberOnly;     // the dump ended with this line open: only its number is written
};

enum DumpEnd {
    DUMP_NOT_ENDED,
    DUMP_WITHOUT_RECORD_LINE, // no "[LINE:" at all
    DUMP_CLOSED,              // by the closing line "[:::::]Sp..."
    DUMP_UNSEQUENCED_MARKER,  // by the marker "[:::::]UN..."
    DUMP_CUT_OFF,             // the bytes ran out with a record line open
};

struct DumpWalk {
    const uint8_t* Original; // the dump as read
    const uint8_t* Bytes;    // as walked: a repaired copy when the dump needed repair
    uint32_t Size;           // of Bytes
    uint32_t OriginalSize;
    bool Repaired;
    bool ByteOrderMark;    // the dump starts with a UTF-8 byte-order mark
    bool MarkBlocksRepair; // ... right before blanked markup, which is then not repaired
    bool StartFound;       // "Speech START" after a "[:::::]"
    bool Utf16;            // saved as UTF-16 by an editor: its byte-order mark, or "[" "\0" ":"...
    DumpValue Header;
    DumpValue LineCount;
    // The record walk; FirstLineAt is set by its first step, EndAt once it ends.
    DumpEnd End;
    uint32_t EndAt;        // where the marker that ended the walk stands, or Size
    bool WantsSideData;    // a tail marker asks for the side data to follow the records
    uint32_t TailMarkerAt; // where that marker stands
    uint32_t FirstLineAt;  // the first record line's "[LINE:", or Size
    uint32_t FirstNumber;  // ... and its number
    DumpRecordLine Open;   // the line each step goes on in, from its TextStart (0 before any)
    bool ShortTailSeen;
    uint32_t SavedLength;
    uint32_t SavedLineBreaks;
};

// Whether `marker` stands whole at p.
bool StandsAt(const uint8_t* bytes, uint32_t size, uint32_t p, const char* marker);
// Where the first CR or LF in [p, to) stands, or `to`: a person sees a line end in either.
uint32_t NextLineEnd(const uint8_t* bytes, uint32_t p, uint32_t to);

// Repairs the dump when it needs it (on a private copy of the input, so that Original stays as
// read) and runs the header scan, which sets StoredHeaderByte and StoredLineCount when the dump
// carries them. False, with the problem reported, when no memory is left for the copy.
bool StartDumpWalk(DumpWalk* walk, const uint8_t* bytes, uint32_t size);
// Frees the repaired copy; the walk is not used after it.
void EndDumpWalk(DumpWalk* walk);

// The marker the record walk reads at q, if any: a bracket's first six bytes and the two letters
// after its seventh. It ends a text, or for a short-tail marker, its length.
enum DumpMarker { MARKER_NONE, MARKER_UNSEQUENCED_TAIL, MARKER_SHORT_TAIL, MARKER_CLOSING };
DumpMarker DumpMarkerAt(const uint8_t* bytes, uint32_t size, uint32_t q);

// The next record line in the order the rebuild writes them. False once the walk has ended;
// End and EndAt then say how.
bool NextDumpRecordLine(DumpWalk* walk, DumpRecordLine* line);

// Where the FILENAME value stands in a dump's head as a decode writes it: right after the START
// line and "[:::::]FILENAME: ", up to the "[:::::]" and CR LF that end its line. False when the
// head is not so.
bool FindFileNameValue(const uint8_t* bytes, uint32_t size, uint32_t* at, uint32_t* length);

// Where `word` next stands from p on, before `end`, in any case; or `end`.
uint32_t FindWord(const uint8_t* bytes, uint32_t end, uint32_t p, const char* word);

// Whether a record number as a dump shows it (four digits, so 0000 follows 9999) is one of
// the numbers in [low, high), high >= low.
bool ShownInRange(uint32_t shown, uint32_t low, uint32_t high);

// Whether the line [p, end) reads like a record line to a person: "[LINE:0001]" with its
// letters in another case, blanks put inside, its bracket or colon lost, mistyped
// ("[LINE;0001)") or made full-width by an editor, or its word translated ("[LIGNE:0001]": a
// colon, four digits and a bracket then tell it, when the number lies in [low, high), where a
// record can be lost, 0000 following 9999: a note such as "[TODO:2024]" is not one).
bool LooksLikeRecordLine(const uint8_t* bytes, uint32_t p, uint32_t end, uint32_t low,
                         uint32_t high);

// Lines the walk never looked at, other than marker lines, header lines and empty ones: those that
// read like a record line to a person ("[LINE:0003]", "[line:0001]", "LINE:0001]") and the others
// (a translator's comment), each with where the first of them stands and ends.
struct DumpUnreadLines {
    uint32_t Count;
    uint32_t FirstAt;
    uint32_t FirstEnd; // before its line end
};

// What the walk left unread: the lines before the first record line; what follows the marker
// where the records ended (the closing line, or a tail marker after the last record line), the
// rest of its line after its closing bracket included; and, when the walk took no tail marker, one
// it never looked at before the first record line or after the closing line.
struct DumpUnreadPart {
    DumpUnreadLines RecordLinesBefore;
    DumpUnreadLines OtherLinesBefore;
    DumpUnreadLines RecordLinesAfter;
    DumpUnreadLines OtherLinesAfter;
    bool TailMarker;
    uint32_t TailMarkerAt;
};
void FindUnreadPart(const DumpWalk* walk, DumpUnreadPart* unread);

#endif
