// Bad input gets a defined outcome: no crash, nothing read outside a buffer (the sanitizer
// run checks that), the input untouched, and no half-written output.
#include "test_support.h"

#include "workspace.h"

namespace {

// Converts `name` holding `bytes` and checks the input is untouched and no temporary is left.
void ConvertAndCheck(void (*convert)(), const std::string& name, const std::string& bytes)
{
    WriteFileBytes(name, bytes);
    SetCurrentFileName(name);
    convert();
    bool replacedByItsDump = name.size() >= 3 && name.substr(name.size() - 3) == "txt";
    if (!replacedByItsDump || convert == ConvertTextToSpeech) {
        EXPECT_EQ(ReadFileBytes(name), bytes) << name;
    }
    for (const auto& file : SnapshotDirectory()) {
        EXPECT_EQ(file.first.find("~qm-"), std::string::npos) << file.first;
    }
}

TEST_F(ScratchDirectoryTest, TextLengthsNearTheTopOfTheRangeBecomeSideData)
{
    for (uint32_t length : {0xFFFFFFFFu, 0xFFFFFFFAu, 0x80000000u, 0x7FFFFFFFu, 100u}) {
        std::string record = BuildSpeechFile(0, 0, {{2, "ok"}}).substr(5);
        std::string bad = BuildSpeechFile(0, 0, {{3, ""}}).substr(5);
        for (int k = 0; k < 4; ++k) {
            bad[2 + k] = (char)(uint8_t)(length >> (8 * k));
        }
        std::string speech = BuildSpeechFile(1, 1, {}) + record + bad + "abc";
        ConvertAndCheck(ConvertSpeechToText, "0001.spc", speech);
        EXPECT_EQ(ReadFileBytes("0001.ext"), bad + "abc") << length;
        std::string dump = ReadFileBytes("0001.txt");
        EXPECT_NE(dump.find("[LINE:0002]ok\r\n[:::::]UNKNOWN DATA[:::::]"), std::string::npos);
    }
}

TEST_F(ScratchDirectoryTest, NamesOfEveryShapeAreHandled)
{
    std::string speech = BuildSpeechFile(1, 1, {{1, "x"}}, "tail!");
    // Full paths of a given total length, to reach past what one name may hold.
    auto pathOfLength = [](size_t total) {
        std::string folder = std::string(total > 200 ? 120 : 0, 'd');
        std::string path = folder.empty() ? "" : folder + "/";
        std::filesystem::create_directories(folder.empty() ? "." : folder);
        return path + std::string(total - path.size() - 4, 'n') + ".spc";
    };
    const std::string names[] = {
        "a",
        "ab",
        "abc",
        "abc.spc",
        "0001.spc",
        "noextension",
        "\xC3\xA9t\xC3\xA9.spc",
        pathOfLength(251),
        pathOfLength(252),
        pathOfLength(259),
        "sub/0002.spc",
    };
    std::filesystem::create_directories("sub");
    for (const std::string& name : names) {
        SCOPED_TRACE(name.size());
        ConvertAndCheck(ConvertSpeechToText, name, speech);
        if (name.size() < 3) {
            EXPECT_STREQ(CurrentFileName, name.c_str()) << "too short to convert";
            continue;
        }
#ifdef _WIN32
        // Past the system's path limit, once the current folder is put in front, Windows
        // refuses the name: the conversion then leaves everything as it was.
        if (name.size() > 200 && std::string(CurrentFileName) == name) {
            continue;
        }
#endif
        std::string stem = name.substr(0, name.size() - 3);
        EXPECT_EQ(std::string(CurrentFileName), stem + "ext");
        EXPECT_EQ(ReadFileBytes(stem + "ext"), "tail!");
        // The rebuild puts the file into mod under its base name, with its tail.
        std::filesystem::remove_all("mod");
        SetCurrentFileName(stem + "txt");
        ConvertTextToSpeech();
        std::string base = (stem + "spc").substr((stem + "spc").find_last_of('/') + 1);
        EXPECT_EQ(ReadFileBytes("mod/" + base), speech);
        EXPECT_EQ(std::string(CurrentFileName), stem + "spc");
    }
}

TEST_F(ScratchDirectoryTest, InputsThatAreNotFilesGiveNoOutput)
{
    std::filesystem::create_directory("folder.spc");
    std::filesystem::create_directory("folder.txt");
    SetCurrentFileName("folder.spc");
    ConvertSpeechToText();
    EXPECT_STREQ(CurrentFileName, "folder.spc");
    SetCurrentFileName("folder.txt");
    ConvertTextToSpeech();
    EXPECT_STREQ(CurrentFileName, "folder.txt");
    EXPECT_FALSE(FileExists("mod/folder.spc"));
    SetCurrentFileName("missing.txt");
    ConvertTextToSpeech();
    EXPECT_FALSE(FileExists("mod/missing.spc"));
}

TEST_F(ScratchDirectoryTest, ADumpThatIsItsOwnOutputIsReadBeforeItIsReplaced)
{
    std::filesystem::create_directory("mod");
    std::string dump = "[:::::]Speech START[:::::]\r\n[:::::]HEADER: 4[:::::]\r\n"
                       "[:::::]LINECOUNT: 1[:::::]\r\n[LINE:0001]self\r\n"
                       "[:::::]Speech FINISH[:::::]";
    std::string full = (std::filesystem::current_path() / "mod" / "0001.spc").string();
    WriteFileBytes(full, dump);
    SetCurrentFileName(full);
    ConvertTextToSpeech();
    EXPECT_EQ(ReadFileBytes("mod/0001.spc"), BuildSpeechFile(4, 1, {{1, "self"}}));
}

} // namespace
