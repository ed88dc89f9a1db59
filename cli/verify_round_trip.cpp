// verify: decode a speech file and rebuild it in a scratch folder, as a user would in the
// file's own folder, and compare the result with the original byte for byte.
#include "command_line.h"

#include "file_io.h"
#include "file_names.h"
#include "speech_format.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <string.h>

namespace fs = std::filesystem;

static bool MakeScratchFolder(fs::path* folder)
{
    std::error_code error;
    fs::path base = fs::temp_directory_path(error);
    if (error) {
        return false;
    }
    // Clock and random device together: some runtimes give the same random sequence on
    // every run.
    unsigned long long seed =
        (unsigned long long)std::chrono::steady_clock::now().time_since_epoch().count() ^
        std::random_device()();
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate = base / ("quillmarsh-verify-" + std::to_string(seed + attempt));
        if (fs::create_directory(candidate, error)) {
            *folder = candidate;
            return true;
        }
        if (error) {
            return false;
        }
    }
    return false;
}

static uint32_t LittleEndianAt(const std::string& bytes, uint32_t p, int count)
{
    uint32_t value = 0;
    for (int k = count - 1; k >= 0; --k) {
        value = value << 8 | (uint8_t)bytes[p + k];
    }
    return value;
}

// Names the part of a speech file that holds `offset`, walking its records as decoding does,
// and the cause of a difference there that the dump cannot show.
static std::string PartAt(const std::string& bytes, uint32_t offset, std::string* cause)
{
    if (offset < SPEECH_HEADER_SIZE) {
        return "in the head";
    }
    uint32_t size = (uint32_t)bytes.size();
    uint32_t p = SPEECH_HEADER_SIZE;
    uint32_t expected = 0;
    bool first = true;
    while (p + 1 < size) {
        uint32_t number = LittleEndianAt(bytes, p, 2);
        if ((!first && number != expected) || size - p < RECORD_HEAD_SIZE ||
            LittleEndianAt(bytes, p + 2, 4) > size - p - RECORD_HEAD_SIZE) {
            break;
        }
        uint32_t end = p + RECORD_HEAD_SIZE + LittleEndianAt(bytes, p + 2, 4);
        if (offset < end) {
            if (number > 9999) {
                *cause = "a dump shows only the last four digits of the record number " +
                         std::to_string(number);
            }
            return "in record " + std::to_string(number) +
                   (offset < p + RECORD_HEAD_SIZE ? ", its number or length" : ", its text");
        }
        first = false;
        expected = number + 1;
        p = end;
        if (p < size && size - p <= SHORT_TAIL_LIMIT) {
            break;
        }
    }
    return "in the tail kept as side data";
}

struct RoundTrip {
    std::string Dump;
    std::string DumpName;
    std::string Rebuilt;
    std::string Why; // the first thing the rebuild would change, from the dump's check
};

static bool RoundTripIn(const char* name, const std::string& original, RoundTrip* trip)
{
    std::string base = BaseNameOf(name);
    if (!WriteWholeFile(base.c_str(), original)) {
        PrintProblem(name, "cannot be copied into a scratch folder");
        return false;
    }
    if (!RunConverter(name, base.c_str(), true)) {
        return false;
    }
    trip->DumpName = WithEnding(base, "txt");
    if (!ReadWholeFile(trip->DumpName.c_str(), &trip->Dump) ||
        !RunConverter(name, trip->DumpName.c_str(), false)) {
        return false;
    }
    char rebuilt[PATH_CAPACITY] = "";
    BuildRebuiltName(rebuilt, sizeof rebuilt);
    ReadWholeFile(rebuilt, &trip->Rebuilt);
    // What the dump itself tells about the difference; side data is looked up here.
    CarriedHeader fresh = {};
    DumpAnalysis analysis;
    AnalyseDump(trip->DumpName.c_str(), trip->Dump, &fresh, &analysis);
    for (const DumpFinding& finding : analysis.Findings) {
        if (!finding.Note) {
            trip->Why = finding.Text;
            break;
        }
    }
    return true;
}

FileOutcome VerifyFile(const char* name)
{
    std::string original;
    if (!ReadInput(name, &original)) {
        return FILE_FAILED;
    }
    fs::path scratch;
    std::error_code error;
    fs::path previous = fs::current_path(error);
    if (error || !MakeScratchFolder(&scratch)) {
        PrintProblem(name, "no scratch folder can be made in the temporary folder");
        return FILE_FAILED;
    }
    // The core's values that a window run would carry into the next rebuild stay as they were.
    uint32_t headerByte = StoredHeaderByte;
    uint32_t lineCount = StoredLineCount;
    RoundTrip trip;
    fs::current_path(scratch, error);
    bool converted = !error && RoundTripIn(name, original, &trip);
    fs::current_path(previous, error);
    fs::remove_all(scratch, error);
    StoredHeaderByte = headerByte;
    StoredLineCount = lineCount;
    if (!converted) {
        return FILE_FAILED;
    }

    if (trip.Rebuilt == original) {
        PrintResult(name, "round-trips exactly (" + std::to_string(original.size()) + " bytes)",
                    false);
        return FILE_DONE;
    }
    size_t common = std::min(original.size(), trip.Rebuilt.size());
    size_t offset =
        std::mismatch(original.begin(), original.begin() + (std::string::difference_type)common,
                      trip.Rebuilt.begin())
            .first -
        original.begin();
    std::string cause;
    std::string text = "the rebuild differs from byte " + std::to_string(offset) + " (" +
                       PartAt(original, (uint32_t)offset, &cause) + ")";
    if (!trip.Why.empty() || cause.empty()) {
        cause = trip.Why.empty() ? "no cause found in the dump" : trip.Why;
    }
    if (trip.Rebuilt.size() != original.size()) {
        text += "; it is " + std::to_string(trip.Rebuilt.size()) + " bytes against " +
                std::to_string(original.size());
    }
    text += ": " + cause;
    PrintResult(name, text, true);
    return FILE_FINDINGS;
}
