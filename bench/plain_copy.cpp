// The yardstick the conversions are measured against: the plainest program that does the
// same job's input and output with the same all-or-nothing publish. Each file is read and
// written under a temporary name beside it, which is then renamed to the file's name with
// SUFFIX added: the same folder, as a conversion's output.
//
//   plain_copy SUFFIX FILE...
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

enum { COPY_BUFFER_SIZE = 1 << 20 };

static bool CopyFile(const char* from, const char* to, const char* temporary, char* buffer)
{
    int input = open(from, O_RDONLY);
    int output = open(temporary, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    bool ok = input >= 0 && output >= 0;
    ssize_t count = 0;
    while (ok && (count = read(input, buffer, COPY_BUFFER_SIZE)) > 0) {
        ok = write(output, buffer, (size_t)count) == count;
    }
    ok = ok && count == 0;
    close(input);
    ok = close(output) == 0 && ok;
    return ok && rename(temporary, to) == 0;
}

int main(int argc, char** argv)
{
    char* buffer = (char*)malloc(COPY_BUFFER_SIZE);
    if (argc < 2 || buffer == NULL) {
        fprintf(stderr, "usage: plain_copy SUFFIX FILE...\n");
        return 2;
    }
    char target[4096];
    char temporary[4096];
    for (int k = 2; k < argc; ++k) {
        const char* slash = strrchr(argv[k], '/');
        int folder = slash != NULL ? (int)(slash + 1 - argv[k]) : 0;
        snprintf(target, sizeof target, "%s%s", argv[k], argv[1]);
        snprintf(temporary, sizeof temporary, "%.*s~copy.tmp", folder, argv[k]);
        if (!CopyFile(argv[k], target, temporary, buffer)) {
            fprintf(stderr, "plain_copy: cannot copy %s\n", argv[k]);
            return 1;
        }
    }
    free(buffer);
    return 0;
}
