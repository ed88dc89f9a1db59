// The speech file format.
//
//   offset 0   +--------+------------------------+
//              | header | line count (u32 LE)    |   SpeechHeader, 5 bytes
//   offset 5   +--------+------------------------+------------------------------+
//              | line number (u16 LE) | text length N (u32 LE) | N masked bytes  |  SpeechRecord
//              +----------------------+------------------------+-----------------+
//              | next record, back to back, no gap ...                          |
//              +-----------------------------------------------------------------+
//              | tail: bytes that do not decode as records (kept as side data)  |
//
// All integers are little-endian; there is no magic number, version, checksum or padding.
// Every text byte is XORed with the low byte of TEXT_MASK. Line numbers of consecutive
// records rise by exactly one; the first record's number starts the sequence. The line
// count is shown in the dump but not used to find records.
//
// Tails: a "short tail" is 1 to 5 bytes after a complete record, too few for another
// record head; an "unsequenced tail" runs from a record that breaks the sequence, or does
// not fit the file, to the end of the file.
#ifndef QUILLMARSH_CONVERT_SPEECH_FORMAT_H
#define QUILLMARSH_CONVERT_SPEECH_FORMAT_H

#include <stdint.h>

struct SpeechHeader {
    uint8_t HeaderByte;
    uint32_t LineCount;
};

struct SpeechRecord {
    uint16_t LineNumber;
    uint32_t TextLength;
};

enum {
    SPEECH_HEADER_SIZE = 5,
    RECORD_HEAD_SIZE = 6, // line number and text length
    SHORT_TAIL_LIMIT = 5, // the most bytes a short tail can have
};

// The dump's marker words; each marker line is framed by MARKER_BRACKET on both sides.
#define MARKER_BRACKET "[:::::]"
#define RECORD_PREFIX "[LINE:"
#define DUMP_LINE_END "\r\n"

#endif
