// Walking the records of a speech file. Every length is checked against the bytes that remain
// before it is used.
#include "speech_walk.h"

#include "file_io.h"
#include "workspace.h"

bool HoldsSpeechHead(uint32_t size)
{
    if (size < SPEECH_HEADER_SIZE) {
        ReportProblem(PROBLEM_TOO_SHORT, CurrentFileName);
        return false;
    }
    return true;
}

void StartSpeechWalk(SpeechWalk* walk, const uint8_t* bytes, uint32_t size)
{
    walk->Bytes = bytes;
    walk->Size = size;
    walk->Position = SPEECH_HEADER_SIZE;
    walk->RecordStart = SPEECH_HEADER_SIZE;
    walk->Expected = 0;
    walk->Started = false;
    walk->Ended = false;
    walk->Tail = NO_TAIL;
    walk->TailStart = size;
}

void ContinueSpeechWalk(SpeechWalk* walk, const uint8_t* bytes, uint32_t size, uint16_t lastNumber)
{
    StartSpeechWalk(walk, bytes, size);
    walk->Position = 0;
    walk->Expected = (uint32_t)lastNumber + 1;
    walk->Started = true;
}

static bool EndWalk(SpeechWalk* walk, TailKind tail)
{
    walk->Ended = true;
    walk->Tail = tail;
    // Without a tail, a lone byte after the head still follows: a decode drops it, an import
    // copies it.
    walk->TailStart = walk->Position;
    return false;
}

bool NextSpeechRecord(SpeechWalk* walk, SpeechRecord* record)
{
    if (walk->Ended) {
        return false;
    }
    const uint8_t* bytes = walk->Bytes;
    uint32_t p = walk->Position;
    uint32_t size = walk->Size;
    // One to five bytes after a record are too few for another record's head.
    if (walk->Started && p < size && size - p <= SHORT_TAIL_LIMIT) {
        return EndWalk(walk, SHORT_TAIL);
    }
    if (!(p < size && size - p > 1)) {
        return EndWalk(walk, NO_TAIL);
    }
    PackLittleEndian(bytes[p], bytes[p + 1], 0, 0);
    record->LineNumber = (uint16_t)FieldValue;
    if (!FollowsInSequence(walk->Started, walk->Expected, record->LineNumber)) {
        return EndWalk(walk, UNSEQUENCED_TAIL);
    }
    // A record whose head or text would run past the end has no meaning; keeping it whole as
    // side data loses nothing.
    uint32_t remaining = size - p;
    if (remaining < RECORD_HEAD_SIZE) {
        return EndWalk(walk, UNSEQUENCED_TAIL);
    }
    PackLittleEndian(bytes[p + 2], bytes[p + 3], bytes[p + 4], bytes[p + 5]);
    record->TextLength = FieldValue;
    if (record->TextLength > remaining - RECORD_HEAD_SIZE) {
        return EndWalk(walk, UNSEQUENCED_TAIL);
    }
    walk->Started = true;
    walk->Expected = (uint32_t)record->LineNumber + 1;
    walk->RecordStart = p;
    walk->Position = p + RECORD_HEAD_SIZE + record->TextLength;
    return true;
}
