// The conversion workspace: the few process-wide values that the two converters and the
// application shell share, the codecs that move numbers between speech-file bytes, dump
// digits and the value register, and the converters themselves.
//
// The seam is thin: the shell fills CurrentFileName and calls a converter; the converter
// reads and writes files and leaves its results here. Nothing in convert/ knows about windows.
#ifndef QUILLMARSH_CONVERT_WORKSPACE_H
#define QUILLMARSH_CONVERT_WORKSPACE_H

#include <stdint.h>

// ---- What the shell and the converters share ------------------------------------------

enum { IDLE = 0, OPENING = 1, FINISHED = 2 };

// XORed into every text byte of a speech file record; its own inverse.
static const uint32_t TEXT_MASK = 0x5A;

// Capacity of CurrentFileName, terminating NUL included.
enum { FILE_NAME_CAPACITY = 260 };

extern char CurrentFileName[FILE_NAME_CAPACITY];
extern uint32_t FieldValue;
extern char DigitScratch[12];
extern uint32_t StoredHeaderByte;
extern uint32_t StoredLineCount;
extern int32_t ConversionState;

// ---- Field codecs: each leaves its result in FieldValue or DigitScratch ----------------

void PackLittleEndian(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3);
void RenderFourDigits();
void ParseDigits();
void SplitLowBytes(int32_t v);
void ReplaceExtension(char first, char second, char third);

// ---- The converters ---------------------------------------------------------------------

// Speech file named by CurrentFileName -> dump (and side-data file for an undecodable tail).
void ConvertSpeechToText();

// Dump named by CurrentFileName -> speech file in the "mod" directory.
void ConvertTextToSpeech();

// Puts a dump with blanks inserted around its markup back into the exact layout, in place.
// Returns the new size, never larger than size.
uint32_t RepairSpacedDump(uint8_t* buffer, uint32_t size);

// ---- What the last conversion did --------------------------------------------------------
// Each converter fills LastConversion; the window ignores it, the command line reports it.

enum ConversionProblem {
    PROBLEM_NONE,
    PROBLEM_NAME_UNUSABLE,        // too short to carry an extension, too long, or one of ours
    PROBLEM_CANNOT_OPEN,          // missing, or no permission to read
    PROBLEM_NOT_REGULAR_FILE,     // a directory, a pipe, a device
    PROBLEM_TOO_LARGE,            // 4 GiB or more: past the format's 32-bit positions
    PROBLEM_READ_FAILED,          // an I/O error while reading
    PROBLEM_INPUT_CHANGED,        // another program changed the input while it was read
    PROBLEM_TOO_SHORT,            // a speech file shorter than its five-byte head
    PROBLEM_NOT_A_DUMP,           // guarded rebuild: no "Speech START" marker
    PROBLEM_DUMP_IN_UTF16,        // ... as the dump was saved as UTF-16
    PROBLEM_OUTPUT_IS_INPUT,      // an output would replace the input itself
    PROBLEM_OUTPUT_DIFFERS,       // guarded decode: a dump (or side data) that stands differs
    PROBLEM_CANNOT_LOCK,          // a folder's lock cannot be taken
    PROBLEM_CANNOT_SETTLE,        // an interrupted publish in the folder cannot be settled
    PROBLEM_CANNOT_MAKE_FOLDER,   // "mod" cannot be created
    PROBLEM_CANNOT_CREATE,        // an output (or its temporary file) cannot be created
    PROBLEM_WRITE_FAILED,         // the disk is full, or another I/O error while writing
    PROBLEM_CANNOT_REPLACE,       // the finished output cannot take its final name
    PROBLEM_SIDE_DATA_UNREADABLE, // the dump asks for side data that exists but cannot be read
    PROBLEM_SIDE_DATA_CHANGED,    // ... and another program cut or lengthened it meanwhile
};

enum { REPORT_NAME_CAPACITY = 520 };

// What a dump cannot show of a speech file as it stands, so that a rebuild of an untouched dump
// gives back another file.
enum DumpLoss {
    LOSS_NONE,
    LOSS_NUMBER_PAST_9999,    // a dump shows a record number by its last four digits
    LOSS_MARKER_IN_TEXT,      // a marker in a text ends it there
    LOSS_RECORD_LINE_IN_TEXT, // "[LINE:" after a text's start starts another record
    LOSS_CR_LF_IN_TEXT,       // a CR LF in a text reads as a line break
    // A short-tail marker in a text, where no tail follows the records: a rebuild takes the
    // last record's length from it.
    LOSS_SHORT_TAIL_MARKER,
    LOSS_LONE_BYTE,  // the one byte after a head, with no record, which a decode drops
    LOSS_LINE_COUNT, // past 9999 or signed, of which a rebuild reads four digits and no sign
    LOSS_TAIL_WITHOUT_RECORD, // a rebuild looks for tail markers only after a record line
    LOSS_NAME_IN_HEAD,        // the name on the FILENAME line holds a header value or a record line
};

struct ConversionReport {
    ConversionProblem Problem;
    int SystemError;                         // errno of the failing call, 0 if none
    char ProblemFile[REPORT_NAME_CAPACITY];  // the file the problem concerns
    char OutputName[REPORT_NAME_CAPACITY];   // the dump, or the rebuilt speech file
    char SideDataName[REPORT_NAME_CAPACITY]; // written (decode) or spliced (rebuild)
    uint32_t InputSize;
    uint32_t RecordCount; // records decoded, or record lines written by the rebuild
    uint64_t TailSize;    // side-data bytes written, or spliced back
    bool ShortTail;       // the tail was a short one ("Unknown DATA")
    bool Repaired;        // rebuild: the dump went through the repair pass
    bool SideDataMissing; // rebuild: a tail marker asked for side data that is not there
    bool RecordsLeftOut;  // rebuild: a line count of 0 left the dump's records or tail out
    bool CutOff; // rebuild: no closing line; the last record's number went without its text
    // rebuild: lines that read like record lines where it does not read (before the first
    // record line, after the closing or tail marker line), and blanked markup a byte-order mark
    // kept from its repair
    uint32_t RecordLinesUnread;
    bool MarkBlockedRepair;
    uint32_t TextsCut; // rebuild: texts a line break inside cut short, and the first one's number
    uint32_t FirstCutRecord;
    // rebuild: texts that end in the byte their line end left, the dump saved with LF or CR
    // line ends, and the first one's number
    uint32_t TextsGainingByte;
    uint32_t FirstGainingRecord;
    uint8_t GainedByte; // LF or CR
    // rebuild: a short-tail marker before the last record line wrote that record's text as long
    // as the text before the marker, not as long as it shows
    bool LastTextShortened;
    uint32_t ShortenedRecord;
    uint32_t ShortenedLength;
    uint32_t ShortenedShown;
    uint32_t ShortenedSaved; // the length of the text before the marker, which may run past the end
    // rebuild: no value shown for HEADER or LINECOUNT, so the one before it in the run was taken
    bool HeaderCarried;
    bool LineCountCarried;
    bool Unchanged;            // guarded decode: the dump that stands is the one it would write
    bool SideDataRestored;     // and its side data, missing, was written again
    bool StaleSideDataRemoved; // decode without a tail: an earlier decode's side data went
    bool SideDataLeft;         // ... or a file under its name that no dump there named stayed
    DumpLoss Loss; // decode, asked to look: what the dump cannot show, and of which record
    uint32_t LossRecord;
    uint8_t LossShown[9]; // ... the marker a text holds
    bool Differs;         // compared rebuild: the result is not the file compared with
    uint64_t FirstDifference;
    uint64_t OutputSize;
};

extern ConversionReport LastConversion;

// ---- What the command line adds ---------------------------------------------------------
// The window leaves all of these as they start.

// Guards a translator's work: decode leaves a dump (and its side data) that differs from the
// one it would write as it is, and rebuild refuses a file without a "Speech START" marker.
extern bool GuardEdits;

// Has decode look for what its dump cannot show, into LastConversion's Loss.
extern bool LookForDumpLoss;

// Has decode of a file without a tail remove the side data an earlier decode left beside the
// dump: it belongs to another version of the file, and check and rebuild would take it for
// this dump's lost tail.
extern bool RemoveStaleSideData;

// Called when a conversion must wait for another one that works in the same folder.
extern void (*WaitingForFolder)(const char* folder);

// Called now and then while a long file is converted, with the bytes done of the input's.
extern void (*ConversionProgress)(uint64_t done, uint64_t total);

// Decodes the speech file named by CurrentFileName into the given dump and side-data names
// (verify's scratch folder), as ConvertSpeechToText writes them beside it.
void DecodeSpeechFileTo(const char* dumpName, const char* sideDataName);

// Rebuilds the dump named by CurrentFileName as ConvertTextToSpeech would, with the side data
// under sideDataName, and compares the result with the file `expected` instead of writing it:
// LastConversion's Differs, FirstDifference and OutputSize tell how it compares.
void CompareRebuildWith(const char* sideDataName, const char* expected);

#endif
