// verify: decode a speech file into a scratch folder, rebuild the dump there, and compare the
// result with the original byte for byte as it is produced; nothing is written beside it.
#include "command_line.h"

#include "dump_walk.h"
#include "file_io.h"
#include "speech_walk.h"

#include <chrono>
#include <filesystem>
#include <random>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

// A path as the file layer takes it: in the system's 8-bit code page on Windows, where the
// library would give UTF-8 (a temporary folder below a user name with an accent, say). A
// folder with a character the code page lacks ("Łukasz" on a Western system) is named by its
// short 8.3 name, where the volume keeps them.
static std::string NarrowPath(const fs::path& folder, const char* file)
{
#ifdef _WIN32
    std::wstring wide = folder.wstring();
    DWORD shortSize = FitsCodePage(wide.c_str()) ? 0 : GetShortPathNameW(wide.c_str(), NULL, 0);
    std::wstring shortName(shortSize, L'\0');
    if (shortSize > 0 && GetShortPathNameW(wide.c_str(), &shortName[0], shortSize) > 0) {
        wide = shortName.c_str();
    }
    wide += L'\\';
    wide += std::wstring(file, file + strlen(file));
    return InCodePage(wide.c_str());
#else
    return (folder / file).string();
#endif
}

#define SCRATCH_PREFIX "quillmarsh-verify-"

// Scratch folders that a verify killed midway left, named after its process, which has ended:
// removed once a run, as a decode's temporary file is by the next conversion in its folder.
// Only those untouched for an hour: a process that runs may be out of sight (another container
// that shares the temporary folder), and no conversion of a verify takes that long.
static void RemoveAbandonedScratch(const fs::path& base)
{
    auto lately = fs::file_time_type::clock::now() - std::chrono::hours(1);
    std::error_code error;
    for (fs::directory_iterator entry(base, error), end; !error && entry != end;
         entry.increment(error)) {
        std::string name = entry->path().filename().string();
        size_t dash = name.find('-', strlen(SCRATCH_PREFIX));
        if (name.compare(0, strlen(SCRATCH_PREFIX), SCRATCH_PREFIX) != 0 ||
            dash == std::string::npos) {
            continue;
        }
        uint64_t process = strtoull(name.c_str() + strlen(SCRATCH_PREFIX), NULL, 10);
        std::error_code ignored;
        if (process != 0 && !ProcessRuns(process) && entry->is_directory(ignored) &&
            entry->last_write_time(ignored) < lately && !ignored) {
            fs::remove_all(entry->path(), ignored);
        }
    }
}

// On failure *why says where and why, and which setting names another folder.
static bool MakeScratchFolder(fs::path* folder, std::string* why)
{
#ifdef _WIN32
    const char* setting = "TMP";
#else
    const char* setting = "TMPDIR";
#endif
    std::string advice = std::string(": set ") + setting + " to a folder you can write";
    std::error_code error;
    fs::path base = fs::temp_directory_path(error);
    if (error) {
        const char* named = getenv(setting);
        *why = "no temporary folder can be used (" +
               (named != NULL ? std::string(setting) + " names " + named + ": " : std::string()) +
               error.message() + ")" + advice;
        return false;
    }
    static bool swept = false;
    if (!swept) {
        RemoveAbandonedScratch(base);
        swept = true;
    }
    // Clock and random device together: some runtimes give the same random sequence on
    // every run.
    unsigned long long seed =
        (unsigned long long)std::chrono::steady_clock::now().time_since_epoch().count() ^
        std::random_device()();
    for (int attempt = 0; attempt < 100 && !error; ++attempt) {
        fs::path candidate = base / (SCRATCH_PREFIX + std::to_string(ProcessNumber()) + "-" +
                                     std::to_string(seed + attempt));
        if (fs::create_directory(candidate, error)) {
            *folder = candidate;
            return true;
        }
    }
    *why = "no scratch folder can be made in " + base.string() + " (" +
           (error ? error.message() : std::string("every name tried is taken")) + ")" + advice;
    return false;
}

// Where in the original speech file a difference at Offset lies, and a cause the dump cannot
// show, found by walking it as decoding does.
static uint64_t Offset;
static std::string Part;
static std::string Cause;

// The first problem the dump shows is the cause, unless the speech file already gave one;
// later ones are not kept, however many.
static void TakeFirstProblem(const DumpFinding& finding)
{
    if (!finding.Note && Cause.empty()) {
        Cause = finding.Text;
    }
}

static bool NamePart(const uint8_t* bytes, uint32_t size)
{
    if (StandsAt(bytes, size, 0, MARKER_BRACKET "Speech START")) {
        Part = "it is a dump, not a speech file";
        Cause = "verify takes the speech file a dump was decoded from";
        return true;
    }
    Part = "in the tail kept as side data";
    if (Offset < SPEECH_HEADER_SIZE) {
        Part = "in the head";
        return true;
    }
    SpeechWalk walk;
    SpeechRecord record;
    StartSpeechWalk(&walk, bytes, size);
    // With LINECOUNT 0 the rebuild writes no record at all: check names that cause.
    bool recordsWritten = (bytes[1] | bytes[2] | bytes[3] | bytes[4]) != 0;
    while (NextSpeechRecord(&walk, &record)) {
        if (Offset < walk.Position) {
            uint8_t shown[9];
            uint32_t shortTailAt = 0; // its loss shows in the last record, which check names
            DumpLoss loss = RecordLossInDump(&walk, record, shown, &shortTailAt);
            Cause = recordsWritten ? LossInWords(loss, record.LineNumber, shown) : "";
            Part = "in record " + std::to_string(record.LineNumber) +
                   (Offset < walk.RecordStart + RECORD_HEAD_SIZE ? ", its number or length"
                                                                 : ", its text");
            break;
        }
    }
    if (walk.Ended && walk.Tail == NO_TAIL) {
        Part = "in its last byte";
        Cause = LossInWords(LOSS_LONE_BYTE, 0, NULL);
    }
    return true;
}

// Decodes `name` into the scratch folder and rebuilds it there, comparing as it goes; the
// rebuild's report says how it compares. False, with the problem reported, when either
// conversion could not run.
static bool RoundTrip(const char* name, const fs::path& scratch, uint64_t* originalSize,
                      ConversionReport* rebuilt)
{
    std::string dump = NarrowPath(scratch, "v.txt");
    std::string sideData = NarrowPath(scratch, "v.ext");
    // The file is read twice, to decode it and to compare with; another program renaming a
    // new version over it in between makes one pass compare two files. A second pass, made
    // only where the first differs, then takes the new one whole.
    for (int pass = 0; pass < 2; ++pass) {
        // The dump of another version is no edit to keep.
        remove(dump.c_str());
        remove(sideData.c_str());
        if (!UseFileName(name, name)) {
            return false;
        }
        DecodeSpeechFileTo(dump.c_str(), sideData.c_str());
        *originalSize = LastConversion.InputSize;
        if (!Reported(name, name) || !UseFileName(name, dump.c_str())) {
            return false;
        }
        CompareRebuildWith(sideData.c_str(), name);
        if (!Reported(name, name)) {
            return false;
        }
        *rebuilt = LastConversion;
        if (!rebuilt->Differs) {
            return true;
        }
    }
    // Only a file that does not round-trip needs a cause: decoded again, it is looked at for
    // what its dump cannot show.
    LookForDumpLoss = true;
    if (UseFileName(name, name)) {
        DecodeSpeechFileTo(dump.c_str(), sideData.c_str());
    }
    LookForDumpLoss = false;
    ConversionReport decoded = LastConversion;
    Offset = rebuilt->FirstDifference;
    Cause.clear();
    RunCore(name, name, NamePart);
    // What a text holds that its dump cannot show is known of the file itself; the scratch
    // dump read as check reads it may only guess (and names the scratch files). A head value
    // check names as the rebuild writes it.
    if (Cause.empty() && decoded.Loss != LOSS_NONE && decoded.Loss != LOSS_LINE_COUNT) {
        Cause = LossInWords(decoded.Loss, decoded.LossRecord, decoded.LossShown);
    }
    // What the dump itself tells about the difference, judged where it stands.
    // Only where the way back is open (a working folder's path longer than the system's limit
    // is not), so that the files after this one are named from where they stand.
    std::error_code error;
    fs::path previous = fs::current_path(error);
    if (!error) {
        fs::current_path(previous, error);
    }
    if (!error) {
        fs::current_path(scratch, error);
        Judged.Emit = TakeFirstProblem; // the rest JudgeDump sets
        RunCore(name, "v.txt", JudgeLoadedDump);
        fs::current_path(previous, error);
    } else if (Cause.empty()) {
        Cause = "the dump was not looked at, as this folder's path is too long to come back to";
    }
    return true;
}

FileOutcome VerifyFile(const char* name)
{
    fs::path scratch;
    std::string why;
    if (!MakeScratchFolder(&scratch, &why)) {
        PrintProblem(name, why);
        return FILE_NOT_DONE;
    }
    // The core's values that a window run would carry into the next rebuild stay as they were.
    uint32_t headerByte = StoredHeaderByte;
    uint32_t lineCount = StoredLineCount;
    uint64_t originalSize = 0;
    ConversionReport result = {};
    bool converted = RoundTrip(name, scratch, &originalSize, &result);
    std::error_code error;
    fs::remove_all(scratch, error);
    StoredHeaderByte = headerByte;
    StoredLineCount = lineCount;
    if (!converted) {
        return FILE_NOT_DONE;
    }
    if (!result.Differs) {
        PrintResult(name, "round-trips exactly (" + Plural(originalSize, "byte") + ")", false);
        return FILE_DONE;
    }
    std::string text = "the rebuild differs from byte " + std::to_string(result.FirstDifference) +
                       " (" + Part + ")";
    if (result.OutputSize != originalSize) {
        text += "; it is " + Plural(result.OutputSize, "byte") + " against " +
                std::to_string(originalSize);
    }
    PrintResult(name, text + ": " + (Cause.empty() ? "no cause found in the dump" : Cause), true);
    return FILE_FINDINGS;
}
