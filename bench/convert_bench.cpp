// Google Benchmark of the conversion core: the field codecs, decoding, the repair pass and
// rebuilding, on realistic speech content of 1 MiB and 16 MiB (see speech_data.h).
//
// The converters read and write files named by CurrentFileName, so "in memory" here means
// files in a RAM-backed directory (/dev/shm when there is one), served from the page cache.
// Beside each converter runs a plain copy of the same bytes (a file copy for the converters,
// a memcpy for the in-memory repair pass), so their ratio comes from one run on one machine.
// Every benchmark checks, after timing, that what it timed gave the right bytes: the decoded
// dump and its rebuild, the rebuilt file, the repaired dump, the codecs' round trips.
#include "speech_data.h"
#include "workspace.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>
#include <string>

// Where the benchmark's files live for the whole run; removed at the end.
static char BenchDirectory[256];

struct SpeechSet {
    bool Ready;
    std::string Speech;
    std::string Dump;
    std::string Spaced;
    std::string Rebuilt;
};

enum { LARGEST_SET_MIB = 16 };
// Content of each size, made once for the whole run.
static SpeechSet SpeechSetsByMiB[LARGEST_SET_MIB + 1];

// Input names carry the size, so the files of both sizes can stand side by side.
static std::string NameFor(int mib, const char* extension)
{
    char name[32];
    snprintf(name, sizeof name, "%04d.%s", mib, extension);
    return name;
}

static const SpeechSet& SpeechSetOf(int mib)
{
    SpeechSet& set = SpeechSetsByMiB[mib];
    if (!set.Ready) {
        SpeechContent content;
        // Texts of 60 to 2,000 bytes: a MiB holds about a thousand records.
        GenerateSpeechContent(20240000u + (uint32_t)mib, (uint64_t)mib << 20, 60, 2000, &content);
        set.Speech = BuildSpeechBytes(content);
        set.Dump = BuildExactDump(content, NameFor(mib, "txt"));
        set.Spaced = BuildSpacedDump(content, NameFor(mib, "txt"));
        set.Rebuilt = BuildExpectedRebuild(content);
        set.Ready = true;
    }
    return set;
}

static void SetCurrentFileName(const std::string& name)
{
    snprintf(CurrentFileName, FILE_NAME_CAPACITY, "%s", name.c_str());
}

static bool FileHolds(const std::string& name, const std::string& expected)
{
    std::string bytes;
    return ReadWholeFile(name, &bytes) && bytes == expected;
}

// Rebuilds the dump named dumpName and checks the file that comes out.
static bool RebuildGives(const std::string& dumpName, const std::string& expected, int mib)
{
    remove(("mod/" + NameFor(mib, "spc")).c_str());
    SetCurrentFileName(dumpName);
    ConvertTextToSpeech();
    return FileHolds("mod/" + NameFor(mib, "spc"), expected);
}

// ---- Field codecs ---------------------------------------------------------------------------

// SplitLowBytes then PackLittleEndian over every 16-bit value.
static void BM_SplitAndPack(benchmark::State& state)
{
    uint32_t mismatches = 0;
    for (auto _ : state) {
        for (int32_t v = 0; v < 65536; ++v) {
            SplitLowBytes(v);
            PackLittleEndian((uint8_t)DigitScratch[0], (uint8_t)DigitScratch[1],
                             (uint8_t)DigitScratch[2], (uint8_t)DigitScratch[3]);
            mismatches += FieldValue != (uint32_t)v;
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 65536);
    if (mismatches != 0) {
        state.SkipWithError("a value did not survive SplitLowBytes and PackLittleEndian");
    }
}
BENCHMARK(BM_SplitAndPack);

// RenderFourDigits then ParseDigits over every four-digit line number.
static void BM_RenderAndParse(benchmark::State& state)
{
    uint32_t mismatches = 0;
    for (auto _ : state) {
        for (uint32_t v = 0; v < 10000; ++v) {
            FieldValue = v;
            RenderFourDigits();
            ParseDigits();
            mismatches += FieldValue != v;
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 10000);
    if (mismatches != 0) {
        state.SkipWithError("a line number did not survive RenderFourDigits and ParseDigits");
    }
}
BENCHMARK(BM_RenderAndParse);

// The three renames a round trip makes: spc -> txt -> ext -> spc.
static void BM_ReplaceExtension(benchmark::State& state)
{
    SetCurrentFileName("0001.spc");
    for (auto _ : state) {
        ReplaceExtension('t', 'x', 't');
        ReplaceExtension('e', 'x', 't');
        ReplaceExtension('s', 'p', 'c');
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 3);
    if (strcmp(CurrentFileName, "0001.spc") != 0) {
        state.SkipWithError("ReplaceExtension did not come back to 0001.spc");
    }
}
BENCHMARK(BM_ReplaceExtension);

// ---- Plain copies: the yardsticks -----------------------------------------------------------

// Reads `from` and writes it to `to` through a 1 MiB buffer, as dd bs=1M does.
static bool CopyFileBytes(const char* from, const char* to, char* buffer, size_t capacity)
{
    int input = open(from, O_RDONLY);
    int output = open(to, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    bool ok = input >= 0 && output >= 0;
    ssize_t count = 0;
    while (ok && (count = read(input, buffer, capacity)) > 0) {
        ok = write(output, buffer, (size_t)count) == count;
    }
    ok = ok && count == 0;
    if (input >= 0) {
        close(input);
    }
    if (output >= 0) {
        ok = close(output) == 0 && ok;
    }
    return ok;
}

static void CopyFileBenchmark(benchmark::State& state, const std::string& bytes,
                              const std::string& name)
{
    if (!WriteWholeFile(name, bytes)) {
        state.SkipWithError("cannot write the input");
        return;
    }
    std::string copyName = name + ".copy";
    static char buffer[1 << 20];
    bool ok = true;
    for (auto _ : state) {
        ok = CopyFileBytes(name.c_str(), copyName.c_str(), buffer, sizeof buffer) && ok;
    }
    state.SetBytesProcessed(state.iterations() * (int64_t)bytes.size());
    if (!ok || !FileHolds(copyName, bytes)) {
        state.SkipWithError("the copy differs from its source");
    }
    remove(copyName.c_str());
}

static void BM_CopySpeechFile(benchmark::State& state)
{
    int mib = (int)state.range(0);
    CopyFileBenchmark(state, SpeechSetOf(mib).Speech, NameFor(mib, "spc"));
}
BENCHMARK(BM_CopySpeechFile)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_CopyDumpFile(benchmark::State& state)
{
    int mib = (int)state.range(0);
    CopyFileBenchmark(state, SpeechSetOf(mib).Dump, NameFor(mib, "txt"));
}
BENCHMARK(BM_CopyDumpFile)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond)->UseRealTime();

// memcpy of the spaced dump: the yardstick of the in-memory repair pass.
static void BM_MemoryCopy(benchmark::State& state)
{
    const std::string& spaced = SpeechSetOf((int)state.range(0)).Spaced;
    std::string copy(spaced.size(), '\0');
    for (auto _ : state) {
        memcpy(&copy[0], spaced.data(), spaced.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * (int64_t)spaced.size());
    if (copy != spaced) {
        state.SkipWithError("the copy differs from its source");
    }
}
BENCHMARK(BM_MemoryCopy)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond);

// ---- Converters -----------------------------------------------------------------------------

static void BM_Decode(benchmark::State& state)
{
    int mib = (int)state.range(0);
    const SpeechSet& set = SpeechSetOf(mib);
    std::string speechName = NameFor(mib, "spc");
    std::string dumpName = NameFor(mib, "txt");
    if (!WriteWholeFile(speechName, set.Speech)) {
        state.SkipWithError("cannot write the input");
        return;
    }
    for (auto _ : state) {
        SetCurrentFileName(speechName);
        ConvertSpeechToText();
    }
    state.SetBytesProcessed(state.iterations() * (int64_t)set.Speech.size());
    if (!FileHolds(dumpName, set.Dump)) {
        state.SkipWithError("the dump differs from the expected dump");
    } else if (!RebuildGives(dumpName, set.Rebuilt, mib)) {
        state.SkipWithError("the dump does not rebuild to the expected speech file");
    }
}
BENCHMARK(BM_Decode)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond)->UseRealTime();

// The repair pass alone, on a spaced dump in memory. It works in place, so each round
// starts from a fresh copy of the spaced dump, made with the clock stopped.
static void BM_Repair(benchmark::State& state)
{
    const SpeechSet& set = SpeechSetOf((int)state.range(0));
    std::string work(set.Spaced.size(), '\0');
    uint32_t repairedSize = 0;
    for (auto _ : state) {
        state.PauseTiming();
        memcpy(&work[0], set.Spaced.data(), set.Spaced.size());
        state.ResumeTiming();
        repairedSize = RepairSpacedDump((uint8_t*)&work[0], (uint32_t)work.size());
    }
    state.SetBytesProcessed(state.iterations() * (int64_t)set.Spaced.size());
    if (set.Dump.compare(0, std::string::npos, work, 0, repairedSize) != 0) {
        state.SkipWithError("the repaired dump differs from the exact dump");
    }
}
BENCHMARK(BM_Repair)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond);

static void BM_Rebuild(benchmark::State& state)
{
    int mib = (int)state.range(0);
    const SpeechSet& set = SpeechSetOf(mib);
    std::string dumpName = NameFor(mib, "txt");
    if (!WriteWholeFile(dumpName, set.Dump)) {
        state.SkipWithError("cannot write the input");
        return;
    }
    for (auto _ : state) {
        SetCurrentFileName(dumpName);
        ConvertTextToSpeech();
    }
    state.SetBytesProcessed(state.iterations() * (int64_t)set.Dump.size());
    if (!RebuildGives(dumpName, set.Rebuilt, mib)) {
        state.SkipWithError("the rebuilt file differs from the expected speech file");
    }
}
BENCHMARK(BM_Rebuild)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond)->UseRealTime();

// Rebuilding a spaced dump: the repair pass, then the rebuild.
static void BM_RebuildSpaced(benchmark::State& state)
{
    int mib = (int)state.range(0);
    const SpeechSet& set = SpeechSetOf(mib);
    std::string dumpName = "spaced/" + NameFor(mib, "txt");
    if (!WriteWholeFile(dumpName, set.Spaced)) {
        state.SkipWithError("cannot write the input");
        return;
    }
    for (auto _ : state) {
        SetCurrentFileName(dumpName);
        ConvertTextToSpeech();
    }
    state.SetBytesProcessed(state.iterations() * (int64_t)set.Spaced.size());
    if (!RebuildGives(dumpName, set.Rebuilt, mib)) {
        state.SkipWithError("the rebuilt file differs from the expected speech file");
    }
}
BENCHMARK(BM_RebuildSpaced)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond)->UseRealTime();

static bool EnterBenchDirectory()
{
    const char* root = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    snprintf(BenchDirectory, sizeof BenchDirectory, "%s/quillmarsh-bench-XXXXXX", root);
    if (mkdtemp(BenchDirectory) == NULL || chdir(BenchDirectory) != 0) {
        fprintf(stderr, "convert_bench: cannot make a directory in %s\n", root);
        return false;
    }
    std::error_code error;
    std::filesystem::create_directory("spaced", error);
    return !error;
}

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv) || !EnterBenchDirectory()) {
        return 1;
    }
    benchmark::AddCustomContext("data directory", BenchDirectory);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code error;
    std::filesystem::current_path("/", error);
    std::filesystem::remove_all(BenchDirectory, error);
    return 0;
}
