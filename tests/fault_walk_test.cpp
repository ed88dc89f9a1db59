// Make each file operation of a conversion fail in turn, or end the process there as a kill
// would, or run conversions side by side: the input never changes, no temporary file is left
// once the next conversion has run, every output is whole, and a dump and its side data always
// belong together.
#include "test_support.h"

#include "file_io.h"
#include "file_system.h"
#include "workspace.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

typedef std::vector<std::pair<std::string, std::string>> Snapshot;

// The old pair names a tail of its own, so a dump beside the wrong side data shows.
const std::string OldSpeech = BuildSpeechFile(9, 1, {{1, "old"}}, "OLD TAIL");
// A text and a tail each larger than the staging area, so that both ways of writing fail.
const std::string NewSpeech = BuildSpeechFile(
    1, 2, {{1, std::string(OUTPUT_STAGING_CAPACITY + 4096, 'a')}, {2, "b"}},
    BuildSpeechFile(0, 0, {{9, "c"}}).substr(5) + std::string(OUTPUT_STAGING_CAPACITY, 't'));
// Two names whose temporary files an earlier design named alike.
const std::string Name = "take995399";
const std::string Neighbour = "take1119314";

void Convert(void (*convert)(), const std::string& name)
{
    SetCurrentFileName(name);
    convert();
}

// Runs convert with its operation n failing; true if the conversion came that far.
bool FailedAt(uint32_t n, void (*convert)(), const std::string& name)
{
    FileOperationCount = 0;
    FileFaultAt = n;
    Convert(convert, name);
    FileFaultAt = 0;
    return FileOperationCount >= n;
}

void Restore(const Snapshot& files)
{
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
        std::filesystem::remove_all(entry.path());
    }
    for (const auto& file : files) {
        std::filesystem::create_directories(std::filesystem::path(file.first).parent_path());
        WriteFileBytes(file.first, file.second);
    }
}

// What the dump `stem`.txt and its side data rebuild into, or "" when the rebuild fails.
std::string RebuildOf(const std::string& stem)
{
    std::filesystem::remove("mod/" + stem + ".spc");
    Convert(ConvertTextToSpeech, stem + ".txt");
    return LastConversion.Problem == PROBLEM_NONE ? ReadFileBytes("mod/" + stem + ".spc") : "";
}

void ExpectNoTemporaryFile()
{
    for (const auto& file : SnapshotDirectory()) {
        EXPECT_EQ(file.first.find(TEMPORARY_PREFIX), std::string::npos) << "left behind";
    }
}

// The speech file `name`.spc holds the new version; beside it stand the dump and side data
// of the old one, and the neighbour's own pair.
Snapshot LayOldPairBesideNewSpeech(const std::string& newSpeech = NewSpeech)
{
    WriteFileBytes(Neighbour + ".spc", BuildSpeechFile(5, 1, {{3, "next door"}}, "NEXT"));
    Convert(ConvertSpeechToText, Neighbour + ".spc");
    WriteFileBytes(Name + ".spc", OldSpeech);
    Convert(ConvertSpeechToText, Name + ".spc");
    WriteFileBytes(Name + ".spc", newSpeech);
    return SnapshotDirectory();
}

// ---- Conversions in processes of their own --------------------------------------------------

// Runs in a child process started by StartChild, and does nothing otherwise.
TEST(ChildProcess, Converts)
{
    const char* command = std::getenv("QUILLMARSH_TEST_CHILD");
    if (command == NULL) {
        return;
    }
    FileFaultAt = (uint32_t)std::atoi(std::getenv("QUILLMARSH_TEST_KILL_AT"));
    FileFaultKills = true;
    RemoveStaleSideData = strchr(command, '+') != NULL;
    GuardEdits = strchr(command, 'g') != NULL;
    Convert(command[0] == 'd' ? ConvertSpeechToText : ConvertTextToSpeech,
            std::getenv("QUILLMARSH_TEST_NAME"));
    std::_Exit(LastConversion.Problem == PROBLEM_NONE ? 0 : 1);
}

// Decodes ("d"; "d+" removing side data the new dump leaves stale, "dg" keeping a dump that
// stands unless it is the one it writes, as the command line does) or rebuilds ("r") `name` in a
// process of its own, which the fault seam ends at its operation killAt as a kill would (0: it runs
// to its end).
intptr_t StartChild(const char* command, const std::string& name, uint32_t killAt)
{
#ifdef _WIN32
    _putenv_s("QUILLMARSH_TEST_CHILD", command);
    _putenv_s("QUILLMARSH_TEST_NAME", name.c_str());
    _putenv_s("QUILLMARSH_TEST_KILL_AT", std::to_string(killAt).c_str());
    char program[MAX_PATH];
    GetModuleFileNameA(NULL, program, MAX_PATH);
    const char* arguments[] = {program, "--gtest_filter=ChildProcess.Converts", NULL};
    intptr_t child = _spawnv(_P_NOWAIT, program, arguments);
    _putenv_s("QUILLMARSH_TEST_CHILD", "");
    return child;
#else
    pid_t child = fork();
    if (child == 0) {
        FileOperationCount = 0;
        FileFaultAt = killAt;
        FileFaultKills = true;
        RemoveStaleSideData = strchr(command, '+') != NULL;
        GuardEdits = strchr(command, 'g') != NULL;
        Convert(command[0] == 'd' ? ConvertSpeechToText : ConvertTextToSpeech, name);
        _exit(LastConversion.Problem == PROBLEM_NONE ? 0 : 1);
    }
    return child;
#endif
}

// The child's exit status: 0 when it converted without a problem, 3 when it was killed.
int WaitForChild(intptr_t child)
{
#ifdef _WIN32
    int status = -1;
    _cwait(&status, child, 0);
    return status;
#else
    int status = -1;
    waitpid((pid_t)child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

// ---- The walks -------------------------------------------------------------------------------

TEST_F(ScratchDirectoryTest, ADecodeFailingAtAnyOperationLeavesTheOldPairOrTheNew)
{
    // A new version with a tail, and one without, whose decode takes the old side data away
    // with the old dump, as the command line's does.
    const std::string tailless = BuildSpeechFile(1, 1, {{1, "new"}});
    for (const std::string& newSpeech : {NewSpeech, tailless}) {
        bool tail = newSpeech == NewSpeech;
        RemoveStaleSideData = !tail;
        Snapshot before = LayOldPairBesideNewSpeech(newSpeech);
        uint32_t n = 1;
        for (bool faultHappened = true; faultHappened; ++n) {
            SCOPED_TRACE("failing operation " + std::to_string(n));
            Restore(before);
            faultHappened = FailedAt(n, ConvertSpeechToText, Name + ".spc");
            bool published = LastConversion.Problem == PROBLEM_NONE;
            EXPECT_EQ(std::string(CurrentFileName), Name + (!published ? ".spc"
                                                            : tail     ? ".ext"
                                                                       : ".txt"));
            EXPECT_EQ(ReadFileBytes(Name + ".spc"), newSpeech);
            EXPECT_EQ(std::filesystem::exists(Name + ".ext"), !published || tail);
            EXPECT_EQ(RebuildOf(Name), published ? newSpeech : OldSpeech);
            ExpectNoTemporaryFile();
        }
        // Lock and settle the folder, read the input; write the dump and the side data (or
        // read the old dump's end); write the journal, set the old side data aside, rename
        // both, tidy up.
        EXPECT_GE(n, 15u);
    }
    RemoveStaleSideData = false;
}

// A decode killed at each of its operations; then the next rebuild, failing at each of its
// own, settling included: it gives the old file, the new one or nothing, and the rebuild after
// it the old or the new. The neighbour keeps its own pair throughout.
TEST_F(ScratchDirectoryTest, AfterAKilledDecodeEveryRebuildGivesTheOldPairOrTheNew)
{
    const std::string newSpeech = BuildSpeechFile(1, 2, {{1, "new"}, {2, "b"}}, "NEW TAIL");
    Snapshot before = LayOldPairBesideNewSpeech(newSpeech);
    std::string neighbour = RebuildOf(Neighbour);
    uint32_t walked = 0;
    bool killed = true;
    for (uint32_t n = 1; killed; ++n) {
        Restore(before);
        killed = WaitForChild(StartChild("d", Name + ".spc", n)) == 3;
        Snapshot afterKill = SnapshotDirectory();
        bool faultHappened = true;
        for (uint32_t m = 1; faultHappened; ++m) {
            SCOPED_TRACE("decode killed at " + std::to_string(n) + ", rebuild failing at " +
                         std::to_string(m));
            Restore(afterKill);
            std::filesystem::create_directories("mod");
            faultHappened = FailedAt(m, ConvertTextToSpeech, Name + ".txt");
            std::string output = "mod/" + Name + ".spc";
            std::string rebuilt =
                std::filesystem::exists(output) ? ReadFileBytes(output) : "nothing";
            EXPECT_TRUE(rebuilt == OldSpeech || rebuilt == newSpeech || rebuilt == "nothing");
            EXPECT_EQ(LastConversion.Problem != PROBLEM_NONE, rebuilt == "nothing");
            std::string next = RebuildOf(Name);
            EXPECT_TRUE(next == OldSpeech || next == newSpeech);
            EXPECT_EQ(RebuildOf(Neighbour), neighbour);
            ExpectNoTemporaryFile();
            ++walked;
        }
    }
    // Every operation of a decode that publishes a pair, each with every one of the rebuild's.
    EXPECT_GE(walked, 14u * 12u);
}

// A decode of a version without a tail, killed at each of its operations: once the folder is
// settled, the old side data stands beside the old dump only, never beside the new one.
TEST_F(ScratchDirectoryTest, AKilledDecodeLeavesNoNewDumpBesideOldSideData)
{
    Snapshot before = LayOldPairBesideNewSpeech(BuildSpeechFile(1, 1, {{1, "new"}}));
    std::string oldDump = ReadFileBytes(Name + ".txt");
    bool killed = true;
    for (uint32_t n = 1; killed; ++n) {
        SCOPED_TRACE("decode killed at " + std::to_string(n));
        Restore(before);
        killed = WaitForChild(StartChild("d+", Name + ".spc", n)) == 3;
        Convert(ConvertSpeechToText, Neighbour + ".spc"); // settles the folder
        EXPECT_EQ(std::filesystem::exists(Name + ".ext"), ReadFileBytes(Name + ".txt") == oldDump);
        ExpectNoTemporaryFile();
    }
}

// A guarded decode writing again the side data deleted beside its unchanged dump, killed at
// each of its operations: the next conversion there leaves no temporary file.
TEST_F(ScratchDirectoryTest, AKilledDecodeRestoringSideDataLeavesNoTemporaryFile)
{
    WriteFileBytes(Name + ".spc", NewSpeech);
    Convert(ConvertSpeechToText, Name + ".spc");
    std::filesystem::remove(Name + ".ext");
    Snapshot before = SnapshotDirectory();
    bool killed = true;
    for (uint32_t n = 1; killed; ++n) {
        SCOPED_TRACE("decode killed at " + std::to_string(n));
        Restore(before);
        killed = WaitForChild(StartChild("dg", Name + ".spc", n)) == 3;
        Convert(ConvertTextToSpeech, Name + ".txt"); // settles the folder
        ExpectNoTemporaryFile();
    }
}

// A decode killed inside "mod" at each of its operations, then a rebuild in the folder above:
// that rebuild settles "mod" too, which it publishes into, so the pair there is the old one or
// the new one, never the old dump beside the new side data.
TEST_F(ScratchDirectoryTest, ARebuildSettlesADecodeKilledInsideMod)
{
    const std::string newSpeech = BuildSpeechFile(1, 2, {{1, "new"}, {2, "b"}}, "NEW TAIL");
    const std::string pair = "mod/" + Name;
    std::filesystem::create_directory("mod");
    std::string pairs[2];
    for (const std::string* version : {&newSpeech, &OldSpeech}) {
        WriteFileBytes(pair + ".spc", *version);
        Convert(ConvertSpeechToText, pair + ".spc");
        pairs[version == &OldSpeech] = ReadFileBytes(pair + ".txt") + ReadFileBytes(pair + ".ext");
    }
    WriteFileBytes(pair + ".spc", newSpeech);
    WriteFileBytes("a.spc", BuildSpeechFile(1, 1, {{1, "a"}}));
    Convert(ConvertSpeechToText, "a.spc");
    Snapshot before = SnapshotDirectory();
    bool killed = true;
    for (uint32_t n = 1; killed; ++n) {
        SCOPED_TRACE("decode killed at " + std::to_string(n));
        Restore(before);
        killed = WaitForChild(StartChild("d", pair + ".spc", n)) == 3;
        Convert(ConvertTextToSpeech, "a.txt");
        std::string settled = ReadFileBytes(pair + ".txt") + ReadFileBytes(pair + ".ext");
        EXPECT_TRUE(settled == pairs[0] || settled == pairs[1]);
        ExpectNoTemporaryFile();
    }
}

TEST_F(ScratchDirectoryTest, AFailingOperationOfARebuildLeavesTheOldFileOrTheNew)
{
    LayOldPairBesideNewSpeech();
    Convert(ConvertSpeechToText, Name + ".spc");
    std::filesystem::create_directory("mod");
    WriteFileBytes("mod/" + Name + ".spc", "old rebuilt file");
    Snapshot before = SnapshotDirectory();
    uint32_t n = 1;
    for (bool faultHappened = true; faultHappened; ++n) {
        SCOPED_TRACE("failing operation " + std::to_string(n));
        Restore(before);
        faultHappened = FailedAt(n, ConvertTextToSpeech, Name + ".txt");
        bool published = LastConversion.Problem == PROBLEM_NONE;
        EXPECT_EQ(ReadFileBytes("mod/" + Name + ".spc"),
                  published ? NewSpeech : "old rebuilt file");
        EXPECT_EQ(std::string(CurrentFileName), Name + (published ? ".spc" : ".txt"));
        ExpectNoTemporaryFile();
        EXPECT_EQ(SnapshotDirectory().size(), before.size());
    }
    // Lock and settle both folders, read the dump; make mod, write the output, read the side
    // data; rename.
    EXPECT_GE(n, 10u);
}

// Decodes and rebuilds of one name in several processes at once, while the speech file is
// replaced by one version or the other: they take turns, every one succeeds, and whatever
// stands at any moment is whole.
TEST_F(ScratchDirectoryTest, ConversionsRunningAtOnceInOneFolderTakeTurns)
{
    const std::string versions[] = {BuildSpeechFile(1, 2, {{1, std::string(90000, 'a')}}, "A1"),
                                    BuildSpeechFile(2, 3, {{7, "b"}, {8, "bb"}}, "TAIL B")};
    WriteFileBytes("0001.spc", versions[0]);
    Convert(ConvertSpeechToText, "0001.spc");
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::vector<intptr_t> children;
        for (int k = 0; k < 2 + round % 7; ++k) {
            children.push_back(StartChild(k % 2 ? "r" : "d", k % 2 ? "0001.txt" : "0001.spc", 0));
        }
        for (int k = 0; k < 4; ++k) {
            WriteFileBytes("next.tmp", versions[k % 2]);
            std::error_code error;
            std::filesystem::rename("next.tmp", "0001.spc", error); // may be held open a moment
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        for (intptr_t child : children) {
            EXPECT_EQ(WaitForChild(child), 0);
        }
        std::string rebuilt = ReadFileBytes("mod/0001.spc");
        EXPECT_TRUE(rebuilt == versions[0] || rebuilt == versions[1]);
        rebuilt = RebuildOf("0001");
        EXPECT_TRUE(rebuilt == versions[0] || rebuilt == versions[1]);
    }
    std::filesystem::remove("next.tmp");
    ExpectNoTemporaryFile();
}

// A conversion that finds a folder it works in locked for longer than a moment says so, and
// still waits for the lock: it never goes on without it. A rebuild works in "mod" too, where
// another conversion may be decoding.
TEST_F(ScratchDirectoryTest, AConversionWaitsForALockedFolderAndSaysSo)
{
    const std::string speech = BuildSpeechFile(1, 1, {{1, "a"}});
    WriteFileBytes("0001.spc", speech);
    Convert(ConvertSpeechToText, "0001.spc");
    std::filesystem::create_directory("mod");
    const struct {
        const char* Folder;
        void (*Conversion)();
        const char* Name;
    } cases[] = {{".", ConvertSpeechToText, "0001.spc"}, {"mod", ConvertTextToSpeech, "0001.txt"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Folder);
        std::atomic<int> holder(0); // 1: the lock is held, 2: it is about to be let go
        std::thread other([&holder, &c] {
            FolderLock lock;
            bool taken =
                SystemOpenFolderLock(c.Folder, &lock) && SystemTakeFolderLock(&lock, c.Folder);
            holder = 1;
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            holder = 2;
            if (taken) {
                SystemReleaseFolderLock(&lock);
            }
        });
        while (holder == 0) {
            std::this_thread::yield();
        }
        static std::atomic<int> noticed;
        noticed = 0;
        WaitingForFolder = [](const char*) { ++noticed; };
        Convert(c.Conversion, c.Name);
        int heldWhenDone = holder;
        WaitingForFolder = NULL;
        other.join();
        EXPECT_EQ(noticed, 1);
        EXPECT_EQ(heldWhenDone, 2) << "converted while the folder was locked";
    }
    EXPECT_EQ(RebuildOf("0001"), speech);
}

#ifndef _WIN32
// Windows refuses to cut short a file that is mapped; elsewhere another program can.
TEST_F(ScratchDirectoryTest, AnInputCutShortOrLengthenedWhileItIsReadFailsThatFileAlone)
{
    // Cut while its records are read, or once only its tail is left, which goes to the side
    // data straight from the mapped input without being touched first; or lengthened; or
    // rewritten in place at the same size (its time of change, set back before, then moves).
    static uint64_t cutTo;
    const struct {
        uint16_t Records;
        size_t TailSize;
        uint64_t KeptOfTail;
        bool Lengthened;
    } cases[] = {{24, 0, 0, false}, {8, 4 << 20, 8192, false}, {8, 0, 0, true}, {8, 0, 0, false}};
    for (const auto& c : cases) {
        std::vector<TestRecord> records;
        for (uint16_t k = 0; k < c.Records; ++k) {
            records.push_back({k, std::string(1 << 20, 'x')});
        }
        std::string tail = c.TailSize == 0 ? "" : BuildSpeechFile(0, 0, {{99, "zz"}}).substr(5);
        tail.resize(tail.size() + c.TailSize, 't');
        const std::string big = BuildSpeechFile(1, 24, records, tail);
        static bool rewrite;
        rewrite = c.Records == 8 && c.TailSize == 0 && !c.Lengthened;
        cutTo = c.Lengthened      ? big.size() + 8192
                : rewrite         ? big.size()
                : c.TailSize == 0 ? 100
                                  : big.size() - tail.size() + c.KeptOfTail;
        WriteFileBytes("0001.spc", big);
        WriteFileBytes("0001.txt", "the old dump");
        std::filesystem::last_write_time("0001.spc", std::filesystem::last_write_time("0001.spc") -
                                                         std::chrono::hours(1));
        ConversionProgress = [](uint64_t, uint64_t) {
            std::filesystem::resize_file("0001.spc", cutTo);
            if (rewrite) {
                std::fstream("0001.spc", std::ios::in | std::ios::out | std::ios::binary).put('y');
            }
        };
        Convert(ConvertSpeechToText, "0001.spc");
        ConversionProgress = NULL;
        EXPECT_EQ(LastConversion.Problem, PROBLEM_INPUT_CHANGED) << c.Records;
        EXPECT_EQ(ReadFileBytes("0001.txt"), "the old dump");
        ExpectNoTemporaryFile();
    }
}
#endif

} // namespace
