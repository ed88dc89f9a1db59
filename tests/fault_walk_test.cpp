// Make the first, second, third ... file operation of a conversion fail in turn: each time,
// nothing may crash, the input must stay as it was, and every output must be either
// complete and correct or exactly what stood there before.
#include "test_support.h"

#include "file_io.h"
#include "workspace.h"

namespace {

typedef std::vector<std::pair<std::string, std::string>> Snapshot;

std::string Find(const Snapshot& files, const std::string& name)
{
    for (const auto& file : files) {
        if (file.first == name) {
            return file.second;
        }
    }
    return "<absent>";
}

void Restore(const Snapshot& files)
{
    std::filesystem::remove_all("mod");
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
        std::filesystem::remove_all(entry.path());
    }
    for (const auto& file : files) {
        std::filesystem::create_directories(std::filesystem::path(file.first).parent_path());
        WriteFileBytes(file.first, file.second);
    }
}

// Runs convert with the Nth operation failing, for N = 1, 2, ... until a run completes
// without reaching N. `before` is the directory before, `after` after a clean run. When
// `dependent` is new, `dependency` must be new too. Returns the operations a clean run takes.
uint32_t WalkFaults(void (*convert)(), const std::string& input, const Snapshot& before,
                    const Snapshot& after, const std::string& dependent = "",
                    const std::string& dependency = "")
{
    uint32_t n = 1;
    for (;; ++n) {
        SCOPED_TRACE("failing operation " + std::to_string(n));
        Restore(before);
        SetCurrentFileName(input);
        FileOperationCount = 0;
        FileFaultAt = n;
        convert();
        FileFaultAt = 0;
        bool faultHappened = FileOperationCount >= n;
        Snapshot now = SnapshotDirectory();
        EXPECT_EQ(Find(now, "./" + input), Find(before, "./" + input)) << "input changed";
        for (const auto& file : now) {
            std::string old = Find(before, file.first);
            std::string fresh = Find(after, file.first);
            EXPECT_TRUE(file.second == old || file.second == fresh) << file.first;
        }
        for (const auto& file : after) {
            if (Find(now, file.first) == "<absent>") {
                EXPECT_EQ(Find(before, file.first), "<absent>") << "lost: " << file.first;
            }
        }
        if (!dependent.empty() && Find(now, dependent) == Find(after, dependent)) {
            EXPECT_EQ(Find(now, dependency), Find(after, dependency)) << "stale " << dependency;
        }
        if (!faultHappened) {
            EXPECT_EQ(now, after);
            break;
        }
    }
    return n - 1;
}

TEST_F(ScratchDirectoryTest, EveryFailingOperationOfADecodeLosesNothing)
{
    std::string speech = BuildSpeechFile(
        1, 2, {{1, std::string(OUTPUT_STAGING_CAPACITY + 4096, 'a')}, {2, "b"}}, "xy");
    WriteFileBytes("0001.spc", speech);
    WriteFileBytes("0001.txt", "old dump");
    WriteFileBytes("0001.ext", "old side data");
    Snapshot before = SnapshotDirectory();
    SetCurrentFileName("0001.spc");
    ConvertSpeechToText();
    Snapshot after = SnapshotDirectory();
    ASSERT_EQ(Find(after, "./0001.ext"), "xy");

    // At least: open, size, read, close of the input; open, write, flush, close, rename of
    // each output. A dump that names a tail must never stand beside stale side data.
    EXPECT_GE(
        WalkFaults(ConvertSpeechToText, "0001.spc", before, after, "./0001.txt", "./0001.ext"),
        4u + 2 * 5);
}

TEST_F(ScratchDirectoryTest, EveryFailingOperationOfARebuildLosesNothing)
{
    std::string speech = BuildSpeechFile(
        1, 2, {{1, std::string(OUTPUT_STAGING_CAPACITY + 4096, 'a')}, {2, "b"}}, "xy");
    WriteFileBytes("0001.spc", speech);
    SetCurrentFileName("0001.spc");
    ConvertSpeechToText();
    std::filesystem::remove("0001.spc");
    std::filesystem::create_directory("mod");
    WriteFileBytes("mod/0001.spc", "old rebuilt file");
    Snapshot before = SnapshotDirectory();
    SetCurrentFileName("0001.txt");
    ConvertTextToSpeech();
    Snapshot after = SnapshotDirectory();
    ASSERT_EQ(Find(after, "./mod/0001.spc"), speech);

    // At least the reads of the dump and the side data, and the output's open, write, flush,
    // close and rename.
    EXPECT_GE(WalkFaults(ConvertTextToSpeech, "0001.txt", before, after), 4u + 4 + 5);
}

} // namespace
