// The shared workspace and the field codecs.
#include "workspace.h"

#include "file_names.h"

char CurrentFileName[FILE_NAME_CAPACITY];
uint32_t FieldValue;
char DigitScratch[12];
uint32_t StoredHeaderByte;
uint32_t StoredLineCount;
int32_t ConversionState = IDLE;
ConversionReport LastConversion;
bool GuardEdits;
bool LookForDumpLoss;
bool RemoveStaleSideData;
void (*WaitingForFolder)(const char* folder);
void (*ConversionProgress)(uint64_t done, uint64_t total);

void PackLittleEndian(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3)
{
    FieldValue = (uint32_t)b0 | ((uint32_t)b1 << 8) | ((uint32_t)b2 << 16) | ((uint32_t)b3 << 24);
}

// Line numbers are 16-bit, so only the last four decimal digits are ever shown.
void RenderFourDigits()
{
    uint32_t value = FieldValue % 10000;
    DigitScratch[0] = (char)('0' + value / 1000);
    DigitScratch[1] = (char)('0' + value / 100 % 10);
    DigitScratch[2] = (char)('0' + value / 10 % 10);
    DigitScratch[3] = (char)('0' + value % 10);
}

void ParseDigits()
{
    uint32_t value = 0;
    for (int t = 0; t < 4; ++t) {
        unsigned char c = (unsigned char)DigitScratch[t];
        if (c < '0' || c > '9') {
            break;
        }
        value = value * 10 + (uint32_t)(c - '0');
    }
    FieldValue = value;
}

void SplitLowBytes(int32_t v)
{
    DigitScratch[0] = (char)(uint8_t)((uint32_t)v & 0xFF);
    DigitScratch[1] = (char)(uint8_t)((uint32_t)(v / 256) & 0xFF);
    DigitScratch[2] = 0;
    DigitScratch[3] = 0;
}

// A name shorter than three characters has no extension to replace; it is left alone
// rather than written past its start.
void ReplaceExtension(char first, char second, char third)
{
    uint32_t length = CurrentFileNameLength();
    if (length < 3) {
        return;
    }
    CurrentFileName[length - 3] = first;
    CurrentFileName[length - 2] = second;
    CurrentFileName[length - 1] = third;
}
