// Make each file operation of a conversion fail in turn, or end the process there as a kill
// would, or run two conversions at once: the input never changes, no temporary file is left,
// every output is whole, and a dump and its side data always belong together.
#include "test_support.h"

#include "file_io.h"
#include "workspace.h"

#ifndef _WIN32
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

// The speech file that the folder's dump and side data rebuild into.
std::string RebuildOfTheFolder()
{
    std::filesystem::remove_all("mod");
    Convert(ConvertTextToSpeech, "0001.txt");
    return ReadFileBytes("mod/0001.spc");
}

void ExpectNoTemporaryFile()
{
    for (const auto& file : SnapshotDirectory()) {
        EXPECT_EQ(file.first.find(TEMPORARY_PREFIX), std::string::npos) << "left behind";
    }
}

// 0001.spc holds the new speech file; beside it stands the dump and side data of the old one.
Snapshot LayOldPairBesideNewSpeech()
{
    WriteFileBytes("0001.spc", OldSpeech);
    Convert(ConvertSpeechToText, "0001.spc");
    WriteFileBytes("0001.spc", NewSpeech);
    return SnapshotDirectory();
}

#ifndef _WIN32
// Runs convert in a child process, which the fault seam ends at operation n as a kill would.
void KilledAt(uint32_t n, void (*convert)(), const char* name)
{
    pid_t child = fork();
    if (child == 0) {
        FileOperationCount = 0;
        FileFaultAt = n;
        FileFaultKills = true;
        Convert(convert, name);
        _exit(0);
    }
    waitpid(child, NULL, 0);
}
#endif

TEST_F(ScratchDirectoryTest, ADecodeFailingOrKilledAtAnyOperationLeavesTheOldPairOrTheNew)
{
    Snapshot before = LayOldPairBesideNewSpeech();
    uint32_t n = 1;
    for (bool faultHappened = true; faultHappened; ++n) {
        SCOPED_TRACE("failing operation " + std::to_string(n));
        Restore(before);
        faultHappened = FailedAt(n, ConvertSpeechToText, "0001.spc");
        EXPECT_EQ(ReadFileBytes("0001.spc"), NewSpeech);
        ExpectNoTemporaryFile();
        EXPECT_EQ(RebuildOfTheFolder(), faultHappened ? OldSpeech : NewSpeech);
#ifndef _WIN32
        // Killed there instead: the rebuild puts the old pair back if the new one was not
        // whole, and the next decode of that name, here of a shorter file, takes over what
        // the killed one left.
        Restore(before);
        KilledAt(n, ConvertSpeechToText, "0001.spc");
        std::string rebuilt = RebuildOfTheFolder();
        EXPECT_TRUE(rebuilt == OldSpeech || rebuilt == NewSpeech);
        WriteFileBytes("0001.spc", OldSpeech);
        Convert(ConvertSpeechToText, "0001.spc");
        ExpectNoTemporaryFile();
        EXPECT_EQ(RebuildOfTheFolder(), OldSpeech);
#endif
    }
    // Open and read the input; take, write (twice), take and write the side data; set the old
    // side data aside; rename both.
    EXPECT_GE(n, 9u);
}

TEST_F(ScratchDirectoryTest, AFailingOperationOfARebuildLeavesTheOldFileOrTheNew)
{
    LayOldPairBesideNewSpeech();
    Convert(ConvertSpeechToText, "0001.spc");
    std::filesystem::create_directory("mod");
    WriteFileBytes("mod/0001.spc", "old rebuilt file");
    Snapshot before = SnapshotDirectory();
    uint32_t n = 1;
    for (bool faultHappened = true; faultHappened; ++n) {
        SCOPED_TRACE("failing operation " + std::to_string(n));
        Restore(before);
        faultHappened = FailedAt(n, ConvertTextToSpeech, "0001.txt");
        EXPECT_EQ(ReadFileBytes("mod/0001.spc"), faultHappened ? "old rebuilt file" : NewSpeech);
        ExpectNoTemporaryFile();
        EXPECT_EQ(SnapshotDirectory().size(), before.size());
    }
    // Make the folder, open and read the dump; take and write the output; read the side
    // data; rename.
    EXPECT_GE(n, 7u);
}

#ifndef _WIN32
TEST_F(ScratchDirectoryTest, ConversionsRunningAtOnceInOneFolderPublishWholeFiles)
{
    const std::string speech[] = {BuildSpeechFile(1, 1, {{1, std::string(300000, 'a')}}, "A"),
                                  BuildSpeechFile(2, 1, {{1, std::string(200000, 'b')}}, "BB"),
                                  NewSpeech};
    const char* names[] = {"a.spc", "b.spc", "0001.spc"};
    for (int k = 0; k < 3; ++k) {
        WriteFileBytes(names[k], speech[k]);
    }
    for (int round = 0; round < 20; ++round) {
        // Each child decodes its own file and the shared one, then rebuilds its own dump.
        pid_t children[2];
        for (int k = 0; k < 2; ++k) {
            children[k] = fork();
            if (children[k] == 0) {
                Convert(ConvertSpeechToText, names[k]);
                Convert(ConvertSpeechToText, "0001.spc");
                Convert(ConvertTextToSpeech, std::string(names[k]).replace(2, 3, "txt"));
                _exit(0);
            }
        }
        for (pid_t child : children) {
            waitpid(child, NULL, 0);
        }
        SCOPED_TRACE("round " + std::to_string(round));
        EXPECT_EQ(ReadFileBytes("mod/a.spc"), speech[0]);
        EXPECT_EQ(ReadFileBytes("mod/b.spc"), speech[1]);
        EXPECT_EQ(RebuildOfTheFolder(), NewSpeech);
        ExpectNoTemporaryFile();
    }
}
#endif

} // namespace
