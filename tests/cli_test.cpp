// The command-line program run as a user runs it: exit codes and messages, outputs against
// the core's own, and what check and verify find.
#include "test_support.h"

#include "workspace.h"

#include <cstdlib>
#include <sys/wait.h>

namespace fs = std::filesystem;

struct RunResult {
    int Status;
    std::string Out;
    std::string Err;
};

// Runs the program in the current folder through the shell; outputs are kept outside it.
static RunResult RunQuillmarsh(const std::string& arguments, const std::string& environment = "")
{
    const std::string out = fs::current_path().string() + ".out", err = out + ".err";
    int status = std::system(
        (environment + " '" QUILLMARSH_PROGRAM "' " + arguments + " >'" + out + "' 2>'" + err + "'")
            .c_str());
    RunResult result = {WEXITSTATUS(status), ReadFileBytes(out), ReadFileBytes(err)};
    fs::remove(out);
    fs::remove(err);
    return result;
}

static const std::string SPEECH = BuildSpeechFile(3, 2, {{1, "Hi"}, {2, "yo"}});
static const std::string DUMP = "[:::::]Speech START[:::::]\r\n[:::::]FILENAME: a.txt[:::::]\r\n"
                                "[:::::]HEADER: 3[:::::]\r\n[:::::]LINECOUNT: 2[:::::]\r\n"
                                "[LINE:0001]Hi\r\n[LINE:0002]yo\r\n[:::::]Speech FINISH[:::::]";

TEST_F(ScratchDirectoryTest, EachFailureHasItsExitStatusAndMessageAndWritesNothing)
{
    struct Case {
        std::vector<std::pair<std::string, std::string>> Files; // "/" as bytes: a folder
        std::string Arguments;
        int Status;
        std::string Message;
    } cases[] = {
        {{}, "", 2, "quillmarsh: no command given"},
        {{}, "unpack a.spc", 2, "unknown command 'unpack'"},
        {{}, "decode -x a.spc", 2, "unknown option '-x'"},
        {{}, "check", 2, "no file given to check"},
        {{}, "decode missing.spc", 1, "quillmarsh: missing.spc: cannot be opened"},
        {{{"d.spc", "/"}}, "decode d.spc", 1, "quillmarsh: d.spc: is a folder, not a file"},
        {{{"s.spc", "abc"}}, "verify s.spc", 1, "quillmarsh: s.spc: is shorter than five"},
        {{{"a.txt", SPEECH}}, "decode a.txt", 1, "a.txt: its output a.txt would be the input"},
        {{{"mod", ""}, {"a.txt", DUMP}}, "rebuild a.txt", 1, "a.txt: the folder mod cannot"},
        {{}, "decode " + std::string(256, 'n') + ".spc", 1, "longer than 259 characters"},
    };
    for (const Case& c : cases) {
        for (const auto& entry : fs::directory_iterator(Scratch)) {
            fs::remove_all(entry.path());
        }
        for (const auto& file : c.Files) {
            file.second == "/" ? (void)fs::create_directory(file.first)
                               : WriteFileBytes(file.first, file.second);
        }
        auto before = SnapshotDirectory();
        RunResult result = RunQuillmarsh(c.Arguments);
        EXPECT_EQ(result.Status, c.Status) << c.Arguments;
        EXPECT_NE(result.Err.find(c.Message), std::string::npos) << result.Err;
        EXPECT_EQ(SnapshotDirectory(), before) << c.Arguments;
    }
}

// Same inputs, same order: the same files as the window's converters write, header values
// carried from one dump to the next included.
TEST_F(ScratchDirectoryTest, WritesWhatTheCoreWritesInTheSameOrder)
{
    const std::vector<std::string> speech = {"0001.spc", "-a b \xC3\xA9.spc"};
    const std::vector<std::string> dumps = {"0001.txt", "-a b \xC3\xA9.txt", "bare.txt"};
    fs::create_directory("core");
    fs::current_path("core");
    WriteFileBytes(speech[0], BuildSpeechFile(7, 2, {{1, "Hi"}, {2, ""}}, "\x01\x02\x03"));
    WriteFileBytes(speech[1], BuildSpeechFile(9, 1, {{5, "x y"}}));
    WriteFileBytes("bare.txt", "[LINE:0001]z\r\n[:::::]Speech FINISH[:::::]");
    fs::copy(".", "../cli");
    for (size_t i = 0; i < speech.size() + dumps.size(); ++i) {
        SetCurrentFileName(i < speech.size() ? speech[i] : dumps[i - speech.size()]);
        i < speech.size() ? ConvertSpeechToText() : ConvertTextToSpeech();
    }
    auto core = SnapshotDirectory();
    fs::current_path("../cli");
    RunResult decode = RunQuillmarsh("decode -- 0001.spc '-a b \xC3\xA9.spc'");
    EXPECT_NE(decode.Out.find("0001.spc: 2 records, short tail 3 bytes -> 0001.txt, 0001.ext\n"),
              std::string::npos);
    RunResult rebuild = RunQuillmarsh("-q rebuild -- 0001.txt '-a b \xC3\xA9.txt' bare.txt");
    EXPECT_EQ(rebuild.Status, 0) << rebuild.Err;
    EXPECT_EQ(rebuild.Out, "");
    EXPECT_EQ(SnapshotDirectory(), core);
}

TEST_F(ScratchDirectoryTest, CheckNamesWhatARebuildWouldChange)
{
    struct Case {
        std::string From, To; // one edit of DUMP
        int Status;
        std::string Finding;
    } cases[] = {
        {"\r\n", "\n", 1, "line 5: 2 record line(s) from here end in LF only"},
        {"Hi", "H\r\ni", 1, "line 5: the text of record 0001 spans 2 lines"},
        {"Hi", "H[LINE:0002]i", 1, "line 5: the text of record 0001 holds \"[LINE:\""},
        {"yo", "y[:::::]Sp", 1, "line 6: the text of record 0002 holds \"[:::::]Sp\""},
        {"[LINE:0002]", "[LINE:0003]", 1, "line 6: record 0003 follows record 0001"},
        {"0001]Hi\r\n[LINE:0002", "9999]Hi\r\n[LINE:0000", 1, "line 6: more than 9,999"},
        {"LINECOUNT: 2", "LINECOUNT: 0", 1, "line 4: the line count is 0"},
        {"LINECOUNT: 2", "LINECOUNT: 12345", 1, "LINECOUNT 12345 would be written as 1234"},
        {"HEADER: 3", "HEADER: ", 1, "the HEADER line has no value: the rebuild would take 2"},
        {"[:::::]Speech FINISH[:::::]", "", 1, "line 6: the closing line"},
        {"yo\r\n", "yo\r\n[:::::]Unknown DATA[:::::]\r\n", 1, "side data a.ext is missing"},
        {"[:::::]Speech START", "[:::::] Speech START", 0, "line 1: note: blanks"},
        {"yo", "yo", 0, "a.txt: ready: a rebuild writes 2 records\n"},
    };
    for (const Case& c : cases) {
        std::string dump = DUMP;
        for (size_t at = 0; (at = dump.find(c.From, at)) != std::string::npos; at += c.To.size()) {
            dump.replace(at, c.From.size(), c.To);
        }
        WriteFileBytes("a.txt", dump);
        RunResult result = RunQuillmarsh("check a.txt");
        EXPECT_EQ(result.Status, c.Status) << c.Finding;
        EXPECT_NE(result.Out.find(c.Finding), std::string::npos) << result.Out;
    }
    // A dump without header values takes those of the dump before it, and says whose.
    WriteFileBytes("b.txt", "[LINE:0001]z\r\n[:::::]Speech FINISH[:::::]");
    EXPECT_NE(RunQuillmarsh("check a.txt b.txt")
                  .Out.find("b.txt: no LINECOUNT value: the rebuild would "
                            "use 2, carried over from a.txt"),
              std::string::npos);
}

TEST_F(ScratchDirectoryTest, VerifyComparesTheRoundTripAndLeavesNothingBehind)
{
    WriteFileBytes("exact.spc", BuildSpeechFile(1, 2, {{1, "a"}, {2, "b"}}, "\x07"));
    WriteFileBytes("long.spc", BuildSpeechFile(1, 12345, {{1, "a"}}));
    fs::create_directory(Scratch / "temp");
    auto before = SnapshotDirectory();
    RunResult result =
        RunQuillmarsh("verify exact.spc long.spc", "TMPDIR='" + (Scratch / "temp").string() + "'");
    EXPECT_EQ(result.Status, 1);
    EXPECT_NE(result.Out.find("exact.spc: round-trips exactly"), std::string::npos);
    EXPECT_NE(result.Out.find("long.spc: the rebuild differs from byte 1 (in the head): "
                              "LINECOUNT 12345 would be written as 1234"),
              std::string::npos);
    EXPECT_EQ(SnapshotDirectory(), before);
    EXPECT_TRUE(fs::is_empty(Scratch / "temp"));
}
