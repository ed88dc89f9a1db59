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

#endif
