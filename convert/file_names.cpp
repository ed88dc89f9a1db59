#include "file_names.h"

#include "file_io.h"
#include "file_system.h"
#include "workspace.h"

#include <algorithm>
#include <string.h>

uint32_t CurrentFileNameLength()
{
    const void* end = memchr(CurrentFileName, 0, FILE_NAME_CAPACITY);
    if (end == NULL) {
        // Keep the workspace a string, whatever a caller left in it.
        CurrentFileName[FILE_NAME_CAPACITY - 1] = 0;
        return FILE_NAME_CAPACITY - 1;
    }
    return (uint32_t)((const char*)end - CurrentFileName);
}

static bool IsDirectorySeparator(char c)
{
#ifdef _WIN32
    return c == '\\' || c == '/' || c == ':';
#else
    return c == '/';
#endif
}

bool NamesDosDevice(const char* path)
{
    const char* base = BaseNameOf(path);
    size_t length = strcspn(base, ".");
    while (length > 0 && base[length - 1] == ' ') {
        --length;
    }
    static const char* const devices[] = {"CON", "PRN", "AUX", "NUL", "COM", "LPT"};
    for (int k = 0; k < 6; ++k) {
        bool same = length >= 3;
        for (int c = 0; same && c < 3; ++c) {
            same = (base[c] & ~0x20) == devices[k][c]; // in either case
        }
        if (same && (k < 4 ? length == 3 : length == 4 && base[3] >= '1' && base[3] <= '9')) {
            return true;
        }
    }
    return false;
}

bool IsTemporaryName(const char* path)
{
    const char* base = BaseNameOf(path);
    for (size_t k = 0; k < sizeof TEMPORARY_PREFIX - 1; ++k) {
#ifdef _WIN32
        char c = base[k] >= 'A' && base[k] <= 'Z' ? (char)(base[k] + 32) : base[k];
#else
        char c = base[k];
#endif
        if (c != TEMPORARY_PREFIX[k]) {
            return false;
        }
    }
    return true;
}

const char* BaseNameOf(const char* path)
{
    const char* base = path;
    for (const char* c = path; *c != 0; ++c) {
        if (IsDirectorySeparator(*c)) {
            base = c + 1;
        } else if (SystemLeadByte(*c) && c[1] != 0) {
            ++c; // "表" is 95 5C in Shift_JIS: its second byte parts no folder from a name
        }
    }
    return base;
}

bool BuildRebuiltName(char* name, uint32_t capacity)
{
#ifdef _WIN32
    static const char prefix[] = "MOD\\";
#else
    static const char prefix[] = OUTPUT_DIRECTORY "/";
#endif
    const char* base = BaseNameOf(CurrentFileName);
    size_t length = strlen(base);
    if (length == 0 || sizeof(prefix) + length > capacity) {
        return false;
    }
    memcpy(name, prefix, sizeof(prefix) - 1);
    memcpy(name + sizeof(prefix) - 1, base, length + 1);
    return true;
}

void BuildSideDataNames(const char* dumpName, char* first, char* second)
{
    size_t length = strlen(dumpName);
    size_t stem = length >= 3 ? length - 3 : 0;
    // The short name stands in the current folder: a folder's name before it is dropped, and so
    // is the second byte of a character cut in two ("\x95\x5C", Shift_JIS for a kanji, would
    // read as a separator and lead to the drive's root).
    size_t base = BaseNameOf(dumpName) - dumpName;
    size_t start = std::max(base, stem < 5 ? (size_t)0 : stem - 5);
    for (size_t k = base; k < start; ++k) {
        if (SystemLeadByte(dumpName[k]) && k + 1 < length) {
            start = k + 1 == start ? k + 2 : start;
            ++k;
        }
    }
    start = std::min(start, stem);
    size_t taken = stem - start;
    memcpy(first, dumpName + start, taken);
    memcpy(first + taken, "ext", 4);
    memcpy(second, dumpName, length + 1);
    memcpy(second + length - 3, "ext", 3);
}
