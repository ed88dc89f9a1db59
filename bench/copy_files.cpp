// The plain copy the batch conversions are measured against: each named file is read and
// written to the target directory under its own name, with one open, read and write per
// file and nothing else (a 1 MiB buffer, reused; files of the batch fit it in one read).
//
//   copy_files TARGET_DIRECTORY FILE...
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

enum { COPY_BUFFER_SIZE = 1 << 20 };

static bool WriteAll(int handle, const char* bytes, ssize_t count)
{
    while (count > 0) {
        ssize_t written = write(handle, bytes, (size_t)count);
        if (written <= 0) {
            return false;
        }
        bytes += written;
        count -= written;
    }
    return true;
}

static bool CopyFile(const char* from, const char* to, char* buffer)
{
    int input = open(from, O_RDONLY);
    if (input < 0) {
        return false;
    }
    int output = open(to, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (output < 0) {
        close(input);
        return false;
    }
    bool ok = true;
    ssize_t count = 0;
    while (ok && (count = read(input, buffer, COPY_BUFFER_SIZE)) > 0) {
        ok = WriteAll(output, buffer, count);
    }
    ok = ok && count == 0;
    close(input);
    return close(output) == 0 && ok;
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: copy_files TARGET_DIRECTORY FILE...\n");
        return 2;
    }
    char* buffer = (char*)malloc(COPY_BUFFER_SIZE);
    if (buffer == NULL) {
        return 1;
    }
    char target[4096];
    for (int k = 2; k < argc; ++k) {
        const char* slash = strrchr(argv[k], '/');
        const char* base = slash != NULL ? slash + 1 : argv[k];
        if (snprintf(target, sizeof target, "%s/%s", argv[1], base) >= (int)sizeof target ||
            !CopyFile(argv[k], target, buffer)) {
            fprintf(stderr, "copy_files: cannot copy %s\n", argv[k]);
            free(buffer);
            return 1;
        }
    }
    free(buffer);
    return 0;
}
