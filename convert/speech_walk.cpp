// Walking the records of a speech file. Every length is checked against the bytes that remain
// before it is used.
#include "speech_walk.h"

#include "dump_walk.h"
#include "file_io.h"
#include "workspace.h"

#include <string.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

bool HoldsSpeechHead(uint32_t size)
{
    if (size < SPEECH_HEADER_SIZE) {
        ReportProblem(PROBLEM_TOO_SHORT, CurrentFileName);
        return false;
    }
    return true;
}

SpeechHeader ReadSpeechHeader(const uint8_t* bytes)
{
    SpeechHeader header;
    header.HeaderByte = bytes[0];
    PackLittleEndian(bytes[1], bytes[2], bytes[3], bytes[4]);
    header.LineCount = FieldValue;
    return header;
}

void StartSpeechWalk(SpeechWalk* walk, const uint8_t* bytes, uint32_t size)
{
    *walk = SpeechWalk(); // no record taken, none expected, no tail
    walk->Bytes = bytes;
    walk->Size = size;
    walk->Position = walk->RecordStart = SPEECH_HEADER_SIZE;
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

// Whether the pair at p may start what a dump cannot show: a bracket before a colon or an L (a
// marker, "[LINE:"), or CR LF. The text stays masked.
static bool IsCandidate(const uint8_t* p)
{
    uint8_t c = p[0] ^ TEXT_MASK, after = p[1] ^ TEXT_MASK;
    return (c == '[' && (after == ':' || after == 'L')) || (c == '\r' && after == '\n');
}

// Where the compiler offers SSE2, sixteen pairs at a time, so that a game's own brackets
// ("[A]") cost nothing; without it (the 32-bit release), eight bytes at a time for a bracket or
// a CR, the bytes a candidate starts with.
#if defined(__SSE2__)
static __m128i CandidatesIn(const uint8_t* p)
{
    __m128i here = _mm_loadu_si128((const __m128i*)p);
    __m128i next = _mm_loadu_si128((const __m128i*)(p + 1));
    __m128i markers =
        _mm_and_si128(_mm_cmpeq_epi8(here, _mm_set1_epi8('[' ^ TEXT_MASK)),
                      _mm_or_si128(_mm_cmpeq_epi8(next, _mm_set1_epi8(':' ^ TEXT_MASK)),
                                   _mm_cmpeq_epi8(next, _mm_set1_epi8('L' ^ TEXT_MASK))));
    __m128i lineEnds = _mm_and_si128(_mm_cmpeq_epi8(here, _mm_set1_epi8('\r' ^ TEXT_MASK)),
                                     _mm_cmpeq_epi8(next, _mm_set1_epi8('\n' ^ TEXT_MASK)));
    return _mm_or_si128(markers, lineEnds);
}
#else
static bool MayHoldCandidate(const uint8_t* p)
{
    const uint64_t ones = 0x0101010101010101ull;
    uint64_t word;
    memcpy(&word, p, 8);
    uint64_t bracket = word ^ (ones * (uint8_t)('[' ^ TEXT_MASK));
    uint64_t cr = word ^ (ones * (uint8_t)('\r' ^ TEXT_MASK));
    // Non-zero exactly when a byte was equal, that is, is zero now.
    return (((bracket - ones) & ~bracket) | ((cr - ones) & ~cr)) & (ones << 7);
}
#endif

static const uint8_t* NextCandidate(const uint8_t* p, const uint8_t* end)
{
#if defined(__SSE2__)
    // A game's texts may hold a candidate every few words ("[Link]"): it is found by its bit,
    // not by a second pass over the block.
    for (; end - p >= 17; p += 16) {
        int found = _mm_movemask_epi8(CandidatesIn(p));
        if (found != 0) {
            return p + __builtin_ctz((unsigned)found);
        }
    }
#else
    for (; end - p >= 9; p += 8) {
        if (!MayHoldCandidate(p)) {
            continue;
        }
        for (int k = 0; k < 8; ++k) {
            if (IsCandidate(p + k)) {
                return p + k;
            }
        }
    }
#endif
    for (; end - p >= 2; ++p) {
        if (IsCandidate(p)) {
            return p;
        }
    }
    return end;
}

DumpLoss RecordLossInDump(const SpeechWalk* walk, const SpeechRecord& record, uint8_t shown[9],
                          uint32_t* shortTailAt)
{
    if (record.LineNumber > 9999) {
        return LOSS_NUMBER_PAST_9999;
    }
    const uint8_t* text = walk->Bytes + walk->RecordStart + RECORD_HEAD_SIZE;
    const uint8_t* end = text + record.TextLength;
    for (const uint8_t* p = text; (p = NextCandidate(p, end)) < end; ++p) {
        if ((p[0] ^ TEXT_MASK) == '\r') {
            return LOSS_CR_LF_IN_TEXT;
        }
        // As the record walk reads a text: "[LINE:", but not at its very start, and a marker,
        // "[:::::" and two letters. A game's own "[Link]" or "[:)" is passed over by the six
        // bytes either starts with, looked at where they stand, still masked.
        bool recordLine = (p[1] ^ TEXT_MASK) == 'L';
        const char* prefix = recordLine ? RECORD_PREFIX : MARKER_BRACKET;
        bool prefixed = end - p >= 6;
        for (int k = 2; prefixed && k < 6; ++k) {
            prefixed = (uint8_t)(p[k] ^ TEXT_MASK) == (uint8_t)prefix[k];
        }
        if (prefixed && recordLine && p > text) {
            return LOSS_RECORD_LINE_IN_TEXT;
        }
        if (!prefixed || recordLine) {
            continue;
        }
        uint8_t bytes[16];
        uint32_t count = end - p < 16 ? (uint32_t)(end - p) : 16;
        MaskBytes(bytes, p, count);
        DumpMarker marker = DumpMarkerAt(bytes, count, 0);
        if (marker == MARKER_SHORT_TAIL) {
            *shortTailAt = (uint32_t)(p - text);
        } else if (marker != MARKER_NONE) {
            memcpy(shown, bytes, 9);
            return LOSS_MARKER_IN_TEXT;
        }
    }
    return LOSS_NONE;
}
