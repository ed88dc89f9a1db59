// The process the whole-process measurements time: converts each named file in turn, the
// way the application's batch command does, by filling CurrentFileName and calling the
// converter. Names are taken as given, relative to the current directory.
//
//   convert_files spc-to-txt FILE.spc...    writes FILE.txt beside each
//   convert_files txt-to-spc FILE.txt...    writes mod/FILE.spc for each
#include "workspace.h"

#include <stdio.h>
#include <string.h>

int main(int argc, char** argv)
{
    void (*convert)() = NULL;
    if (argc >= 2 && strcmp(argv[1], "spc-to-txt") == 0) {
        convert = ConvertSpeechToText;
    } else if (argc >= 2 && strcmp(argv[1], "txt-to-spc") == 0) {
        convert = ConvertTextToSpeech;
    } else {
        fprintf(stderr, "usage: convert_files spc-to-txt|txt-to-spc FILE...\n");
        return 2;
    }
    for (int k = 2; k < argc; ++k) {
        size_t length = strlen(argv[k]);
        if (length >= FILE_NAME_CAPACITY) {
            fprintf(stderr, "convert_files: name too long: %s\n", argv[k]);
            return 1;
        }
        memcpy(CurrentFileName, argv[k], length + 1);
        convert();
    }
    return 0;
}
