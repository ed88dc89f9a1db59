// The field codecs, as tables of inputs and the workspace they must leave.
#include "test_support.h"

#include "workspace.h"

#include <cstring>

TEST(Codecs, ParseDigitsTakesTheLeadingRunOfAtMostFourDigits)
{
    const struct {
        const char Characters[4];
        uint32_t Value;
    } cases[] = {
        {{'1', '2', 'a', 'b'}, 12},     {{'1', 'a', '2', '3'}, 1}, {{'a', '1', '2', '3'}, 0},
        {{'0', '0', '4', '2'}, 42},     {{0, 0, 0, 0}, 0},         {{'9', '9', '9', '9'}, 9999},
        {{'1', '2', ']', 'H'}, 12},     {{'/', ':', '0', '1'}, 0}, {{'\xB1', '1', '1', '1'}, 0},
        {{'3', '0', '0', '\xB2'}, 300},
    };
    for (const auto& c : cases) {
        std::memcpy(DigitScratch, c.Characters, 4);
        DigitScratch[4] = '7'; // a fifth digit must never be taken
        FieldValue = 123456;
        ParseDigits();
        EXPECT_EQ(FieldValue, c.Value) << std::string(c.Characters, 4);
    }
}

TEST(Codecs, ReplaceExtensionRewritesTheLastThreeCharactersOnly)
{
    const struct {
        const char* Before;
        char Extension[3];
        const char* After;
    } cases[] = {
        {"0001.spc", {'t', 'x', 't'}, "0001.txt"},
        {"readme", {'e', 'x', 't'}, "reaext"},
        {"abc", {'s', 'p', 'c'}, "spc"},
        {"C:\\games\\0001.txt", {'s', 'p', 'c'}, "C:\\games\\0001.spc"},
        {"ab", {'t', 'x', 't'}, "ab"}, // too short: left alone, nothing written before it
        {"", {'t', 'x', 't'}, ""},
    };
    for (const auto& c : cases) {
        SetCurrentFileName(c.Before);
        ReplaceExtension(c.Extension[0], c.Extension[1], c.Extension[2]);
        EXPECT_STREQ(CurrentFileName, c.After) << c.Before;
    }
}

TEST(Codecs, ReplaceExtensionStaysInsideAnUnterminatedName)
{
    std::memset(CurrentFileName, 'a', sizeof CurrentFileName);
    ReplaceExtension('t', 'x', 't');
    EXPECT_EQ(std::string(CurrentFileName).size(), sizeof CurrentFileName - 1u);
    EXPECT_EQ(std::string(CurrentFileName).substr(sizeof CurrentFileName - 4), "txt");
}
