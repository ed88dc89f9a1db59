// The file layer's system calls on POSIX systems.
#ifndef _WIN32
#include "file_system.h"

#include <errno.h>
#include <fcntl.h>
#include <sanitizer/asan_interface.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

int SystemError;

// Below this size a read into a buffer kept for the run is cheaper than setting up and
// tearing down a mapping.
enum { SMALL_INPUT_LIMIT = 256 << 10 };

static uint8_t SmallInputBuffer[SMALL_INPUT_LIMIT];

static dev_t InputDevice;
static ino_t InputInode;
static bool InputKnown;

static bool Fail()
{
    SystemError = errno;
    return false;
}

static bool ReadFully(int fd, uint8_t* bytes, uint32_t size)
{
    uint32_t done = 0;
    while (done < size) {
        ssize_t got = read(fd, bytes + done, size - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            if (got == 0) {
                errno = EIO; // the file shrank under us
            }
            return false;
        }
        done += (uint32_t)got;
    }
    return true;
}

ConversionProblem SystemOpenInput(const char* name, InputFile* input, bool primary)
{
    input->Bytes = NULL;
    input->Size = 0;
    input->View = NULL;
    input->Primary = primary;
    InputKnown = InputKnown && !primary;
    // Non-blocking, so that opening a pipe with no writer returns at once.
    int fd = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    input->File = fd;
    if (fd < 0) {
        Fail();
        return PROBLEM_CANNOT_OPEN;
    }
    struct stat info;
    if (fstat(fd, &info) != 0) {
        Fail();
        return PROBLEM_READ_FAILED;
    }
    if (!S_ISREG(info.st_mode)) {
        SystemError = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        return PROBLEM_NOT_REGULAR_FILE;
    }
    if ((uint64_t)info.st_size > 0xFFFFFFFEu) {
        SystemError = EFBIG;
        return PROBLEM_TOO_LARGE;
    }
    if (primary) {
        InputDevice = info.st_dev;
        InputInode = info.st_ino;
        InputKnown = true;
    }
    input->Size = (uint32_t)info.st_size;
    if (primary && input->Size <= SMALL_INPUT_LIMIT) {
        input->Bytes = SmallInputBuffer;
        // Under AddressSanitizer a read past the input's end shows, as it would on the heap.
        ASAN_POISON_MEMORY_REGION(SmallInputBuffer + input->Size, SMALL_INPUT_LIMIT - input->Size);
        return ReadFully(fd, input->Bytes, input->Size) ? PROBLEM_NONE
                                                        : (Fail(), PROBLEM_READ_FAILED);
    }
    // Read-only, and populated up front so that the walk takes no page faults.
    void* view = mmap(NULL, input->Size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (view == MAP_FAILED) {
        // Some file systems cannot map; a read into the heap does the same job.
        uint8_t* bytes = (uint8_t*)malloc(input->Size);
        if (bytes == NULL) {
            SystemError = ENOMEM;
            return PROBLEM_READ_FAILED;
        }
        input->Bytes = bytes;
        if (!ReadFully(fd, bytes, input->Size)) {
            Fail();
            return PROBLEM_READ_FAILED;
        }
        return PROBLEM_NONE;
    }
    input->View = view;
    input->Bytes = (uint8_t*)view;
    return PROBLEM_NONE;
}

void SystemCloseInput(InputFile* input)
{
    if (input->View != NULL) {
        munmap(input->View, input->Size);
    } else if (input->Bytes == SmallInputBuffer) {
        ASAN_UNPOISON_MEMORY_REGION(SmallInputBuffer, SMALL_INPUT_LIMIT);
    } else {
        free(input->Bytes);
    }
    if (input->File >= 0) {
        close((int)input->File);
    }
    input->Bytes = NULL;
    input->View = NULL;
    input->File = -1;
    InputKnown = InputKnown && !input->Primary;
}

bool SystemIsInput(const char* name)
{
    struct stat info;
    return InputKnown && stat(name, &info) == 0 && info.st_dev == InputDevice &&
           info.st_ino == InputInode;
}

bool SystemTakeFile(const char* name, SystemFile* file, uint64_t* priorSize)
{
    // The usual case: a file this call creates, and nobody else holds, is this process's
    // alone. Every other process renames or removes such a file only while holding it.
    int created = open(name, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (created >= 0 && flock(created, LOCK_EX | LOCK_NB) == 0) {
        *file = created;
        *priorSize = 0;
        return true;
    }
    if (created >= 0) {
        close(created);
    } else if (errno != EEXIST) {
        return Fail();
    }
    for (;;) {
        int fd = open(name, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0) {
            return Fail();
        }
        int locked;
        while ((locked = flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
        }
        struct stat held, named;
        if (locked != 0 || fstat(fd, &held) != 0) {
            Fail();
            close(fd);
            return false;
        }
        // The holder before us may have renamed or removed the file: then the lock is on a
        // file that no longer has this name, and a fresh one is made.
        if (stat(name, &named) != 0 || named.st_dev != held.st_dev || named.st_ino != held.st_ino) {
            close(fd);
            continue;
        }
        if (InputKnown && held.st_dev == InputDevice && held.st_ino == InputInode) {
            close(fd);
            SystemError = EEXIST;
            return false;
        }
        *file = fd;
        *priorSize = (uint64_t)held.st_size;
        return true;
    }
}

bool SystemTruncate(SystemFile file)
{
    return ftruncate((int)file, 0) == 0 || Fail();
}

bool SystemWrite(SystemFile file, const void* bytes, uint32_t count)
{
    const uint8_t* at = (const uint8_t*)bytes;
    while (count != 0) {
        ssize_t written = write((int)file, at, count);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return Fail();
        }
        at += written;
        count -= (uint32_t)written;
    }
    return true;
}

void SystemRelease(SystemFile file)
{
    close((int)file);
}

bool SystemReplace(const char* from, const char* to)
{
    return rename(from, to) == 0 || Fail();
}

bool SystemRemove(const char* name)
{
    return unlink(name) == 0 || Fail();
}

int64_t SystemFileSize(const char* name)
{
    struct stat info;
    return stat(name, &info) == 0 && S_ISREG(info.st_mode) ? (int64_t)info.st_size : -1;
}

bool SystemMakeDirectory(const char* name)
{
    struct stat info;
    return mkdir(name, 0777) == 0 ||
           (errno == EEXIST && stat(name, &info) == 0 && S_ISDIR(info.st_mode)) || Fail();
}
#endif
