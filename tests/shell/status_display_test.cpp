// PaintStatus, read back from the DIB section's pixels.
#include "shell_test_support.h"

#include "workspace.h"

#include <cstring>

TEST_F(MainWindowTest, PaintStatusDrawsEachStateAndShowsOpeningOnce)
{
    struct Case {
        int State;
        const char* Word;
        bool ShowsName;
        const char* WordAfter; // on the next repaint
    };
    const Case cases[] = {
        {IDLE, "IDLE", false, "IDLE"},
        {OPENING, "OPENING...", true, "FINISHED"},
        {FINISHED, "FINISHED", true, "FINISHED"},
    };
    const char* name = "0001.txt";
    const COLORREF magenta = RGB(255, 0, 255), green = RGB(0, 255, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Word);
        std::strcpy(CurrentFileName, name);
        ConversionState = c.State;
        for (const char* word : {c.Word, c.WordAfter}) {
            PaintStatus();
            std::vector<ReferenceText> values = {{word, 80, 50, green}};
            if (c.ShowsName) {
                values.push_back({name, 80, 70, green});
            }
            EXPECT_EQ(PixelsOfColour(MAGENTA_PIXEL),
                      ReferencePixels({{"STATUS:", 10, 50, magenta}}, MAGENTA_PIXEL));
            EXPECT_EQ(PixelsOfColour(GREEN_PIXEL), ReferencePixels(values, GREEN_PIXEL)) << word;
        }
        EXPECT_EQ(ConversionState, c.State == IDLE ? IDLE : FINISHED);
    }
}
