// The one reading of a speech file: its records in file order, then where its tail starts.
// Decoding, verify and the catalogue export all walk a speech file through here.
#ifndef QUILLMARSH_CONVERT_SPEECH_WALK_H
#define QUILLMARSH_CONVERT_SPEECH_WALK_H

#include "speech_format.h"
#include "workspace.h"

#include <stdint.h>

enum TailKind { NO_TAIL, UNSEQUENCED_TAIL, SHORT_TAIL };

struct SpeechWalk {
    const uint8_t* Bytes;
    uint32_t Size;
    uint32_t Position;    // of the next record head
    uint32_t RecordStart; // of the record NextSpeechRecord returned last
    uint32_t Expected;    // the number the next record must carry; 32 bits, so none follows 65,535
    bool Started;         // a record was taken, so the next one must follow in sequence
    bool Ended;
    TailKind Tail; // once ended: what follows the last record
    uint32_t TailStart;
};

// Line numbers rise by exactly one from record to record; the first record's number is free.
inline bool FollowsInSequence(bool started, uint32_t expected, uint16_t number)
{
    return !started || number == expected;
}

// Whether `size` bytes can hold a speech file's head; when not, the input is reported too short.
bool HoldsSpeechHead(uint32_t size);

// The head of a speech file; the caller has made sure its SPEECH_HEADER_SIZE bytes are there.
SpeechHeader ReadSpeechHeader(const uint8_t* bytes);

// Starts at the first record; the caller has made sure the head is there.
void StartSpeechWalk(SpeechWalk* walk, const uint8_t* bytes, uint32_t size);

// Walks `bytes` as what follows a record numbered lastNumber: how a tail appended after that
// record would read.
void ContinueSpeechWalk(SpeechWalk* walk, const uint8_t* bytes, uint32_t size, uint16_t lastNumber);

// The next record; its masked text starts at Bytes + RecordStart + RECORD_HEAD_SIZE. False once
// the records end; Tail and TailStart then say what follows them.
bool NextSpeechRecord(SpeechWalk* walk, SpeechRecord* record);

// What a dump cannot show of the record the walk returned last (LOSS_NONE when it shows it
// all); for a marker that ends its text, `shown` gets the marker's first nine bytes. A short-tail
// marker is no loss of its own: where the last one stands in the text goes to shortTailAt.
DumpLoss RecordLossInDump(const SpeechWalk* walk, const SpeechRecord& record, uint8_t shown[9],
                          uint32_t* shortTailAt);

#endif
