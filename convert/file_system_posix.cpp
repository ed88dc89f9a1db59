// The file layer's system calls on POSIX systems.
#ifndef _WIN32
#include "file_system.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sanitizer/asan_interface.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

int SystemError;

// Below this size a read into a buffer kept for the run is cheaper than setting up and
// tearing down a mapping.
enum { SMALL_INPUT_LIMIT = 256 << 10 };

// How long a wait for a folder's lock may take before the user hears of it.
static const long FOLDER_WAIT_NOTICE_MS = 500;

static uint8_t SmallInputBuffer[SMALL_INPUT_LIMIT];

static dev_t InputDevice;
static ino_t InputInode;
static bool InputKnown;
// The primary input while it is open, and its size then: a file that another program
// lengthens, or rewrites to another size, while it is read changed too.
static int InputOpen = -1;
static off_t InputSize;
static struct timespec InputModified; // rewritten in place at the same size, it changes

static bool Fail()
{
    SystemError = errno;
    return false;
}

// ---- Mapped inputs cut short ------------------------------------------------------------------
// Another program may truncate a file while it is mapped; touching the lost pages then raises
// SIGBUS. The handler puts zero pages in their place, so the conversion runs to its end, and
// notes the change, so that nothing it wrote is published.

// The mappings guarded: the primary input's first, then those read beside it (catalogues),
// of which no more are mapped than there are places here; whether the primary input, or any
// other, changed.
enum { GUARDED_MAPPINGS = 8 };
static uint8_t* volatile MappedStart[GUARDED_MAPPINGS];
static volatile size_t MappedLength[GUARDED_MAPPINGS];
static volatile sig_atomic_t InputChanged[2];
static struct sigaction FormerBusAction;

// The guarded mapping that holds `at`, or -1.
static int GuardedMappingAt(uintptr_t at)
{
    for (int k = 0; k < GUARDED_MAPPINGS; ++k) {
        uintptr_t start = (uintptr_t)MappedStart[k];
        if (start != 0 && at >= start && at < start + MappedLength[k]) {
            return k;
        }
    }
    return -1;
}

// Where a new mapping would be guarded, or -1 when every place for its kind is taken.
static int FreeGuardPlace(bool primary)
{
    for (int k = primary ? 0 : 1; k < (primary ? 1 : GUARDED_MAPPINGS); ++k) {
        if (MappedStart[k] == NULL) {
            return k;
        }
    }
    return -1;
}

static void OnBusError(int signal, siginfo_t* info, void* context)
{
    uintptr_t at = (uintptr_t)info->si_addr;
    uintptr_t page = (uintptr_t)sysconf(_SC_PAGESIZE);
    int k = GuardedMappingAt(at);
    if (k >= 0) {
        uintptr_t from = at & ~(page - 1);
        uintptr_t end = (uintptr_t)MappedStart[k] + MappedLength[k];
        if (mmap((void*)from, end - from, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1,
                 0) != MAP_FAILED) {
            InputChanged[k == 0 ? 0 : 1] = 1;
            return;
        }
    }
    // Not ours: as if no handler had been installed.
    if (FormerBusAction.sa_flags & SA_SIGINFO) {
        FormerBusAction.sa_sigaction(signal, info, context);
        return;
    }
    sigaction(SIGBUS, &FormerBusAction, NULL);
}

static void GuardMapping(int place, uint8_t* start, size_t length)
{
    static bool installed;
    if (!installed) {
        struct sigaction action;
        memset(&action, 0, sizeof action);
        action.sa_sigaction = OnBusError;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        installed = sigaction(SIGBUS, &action, &FormerBusAction) == 0;
    }
    MappedLength[place] = length;
    MappedStart[place] = start;
}

bool SystemInputChanged()
{
    struct stat info;
    bool rewritten = InputOpen >= 0 && fstat(InputOpen, &info) == 0 &&
                     (info.st_size != InputSize || info.st_mtim.tv_sec != InputModified.tv_sec ||
                      info.st_mtim.tv_nsec != InputModified.tv_nsec);
    return InputChanged[0] != 0 || InputChanged[1] != 0 || rewritten;
}

void SystemForgetInputChange()
{
    InputChanged[0] = 0;
}

// ---- Input ------------------------------------------------------------------------------------

// Reads size bytes; a file that ends sooner has changed since its size was taken.
static bool ReadFully(int fd, uint8_t* bytes, uint32_t size, int slot)
{
    uint32_t done = 0;
    while (done < size) {
        ssize_t got = read(fd, bytes + done, size - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            if (got == 0) {
                InputChanged[slot] = 1;
            }
            return Fail();
        }
        done += (uint32_t)got;
    }
    return true;
}

// Opens name for reading without blocking on a pipe, and checks it is a regular file.
static int OpenRegularFile(const char* name, struct stat* info)
{
    int fd = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        Fail();
        return -1;
    }
    if (fstat(fd, info) != 0) {
        Fail();
        close(fd);
        return -1;
    }
    if (!S_ISREG(info->st_mode)) {
        SystemError = S_ISDIR(info->st_mode) ? EISDIR : EINVAL;
        close(fd);
        return -1;
    }
    return fd;
}

ConversionProblem SystemOpenInput(const char* name, InputFile* input, bool primary)
{
    input->Bytes = NULL;
    input->Size = 0;
    input->View = NULL;
    input->Primary = primary;
    InputKnown = InputKnown && !primary;
    struct stat info;
    int fd = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    input->File = fd;
    if (fd < 0) {
        Fail();
        return PROBLEM_CANNOT_OPEN;
    }
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
        InputOpen = fd;
        InputSize = info.st_size;
        InputModified = info.st_mtim;
    }
    input->Size = (uint32_t)info.st_size;
    input->Identity[0] = (uint64_t)info.st_dev;
    input->Identity[1] = (uint64_t)info.st_ino;
    input->Modified = (uint64_t)info.st_mtim.tv_sec * 1000000000u + (uint64_t)info.st_mtim.tv_nsec;
    int slot = primary ? 0 : 1;
    if (primary && input->Size <= SMALL_INPUT_LIMIT) {
        input->Bytes = SmallInputBuffer;
        // Under AddressSanitizer a read past the input's end shows, as it would on the heap.
        ASAN_POISON_MEMORY_REGION(SmallInputBuffer + input->Size, SMALL_INPUT_LIMIT - input->Size);
        return ReadFully(fd, input->Bytes, input->Size, slot)
                   ? PROBLEM_NONE
                   : (InputChanged[slot] ? PROBLEM_INPUT_CHANGED : PROBLEM_READ_FAILED);
    }
    // Read-only, and populated up front so that the walk takes no page faults. (An empty
    // file cannot be mapped, nor one that no place guards; the allocation below serves them.)
    int place = FreeGuardPlace(primary);
    void* view = input->Size == 0 || place < 0
                     ? MAP_FAILED
                     : mmap(NULL, input->Size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (view == MAP_FAILED) {
        // Some file systems cannot map; a read into the heap does the same job.
        uint8_t* bytes = (uint8_t*)malloc(input->Size + 1);
        if (bytes == NULL) {
            SystemError = ENOMEM;
            return PROBLEM_READ_FAILED;
        }
        input->Bytes = bytes;
        if (!ReadFully(fd, bytes, input->Size, slot)) {
            return InputChanged[slot] ? PROBLEM_INPUT_CHANGED : PROBLEM_READ_FAILED;
        }
    } else {
        input->View = view;
        input->Bytes = (uint8_t*)view;
        GuardMapping(place, input->Bytes, input->Size);
    }
    // A file read beside the input is closed once read or mapped: an import may name more
    // catalogues than a process may keep open.
    if (!primary) {
        close(fd);
        input->File = -1;
    }
    return PROBLEM_NONE;
}

bool SystemWrittenInPlace(const InputFile* input, const char* name)
{
    struct stat info;
    return stat(name, &info) == 0 && (uint64_t)info.st_dev == input->Identity[0] &&
           (uint64_t)info.st_ino == input->Identity[1] &&
           ((uint64_t)info.st_size != input->Size ||
            (uint64_t)info.st_mtim.tv_sec * 1000000000u + (uint64_t)info.st_mtim.tv_nsec !=
                input->Modified);
}

void SystemCloseInput(InputFile* input)
{
    if (input->View != NULL) {
        for (int k = 0; k < GUARDED_MAPPINGS; ++k) {
            MappedStart[k] = MappedStart[k] == input->View ? NULL : MappedStart[k];
        }
        munmap(input->View, input->Size);
    } else if (input->Bytes == SmallInputBuffer) {
        ASAN_UNPOISON_MEMORY_REGION(SmallInputBuffer, SMALL_INPUT_LIMIT);
    } else {
        free(input->Bytes);
    }
    if (input->File >= 0) {
        InputOpen = input->File == InputOpen ? -1 : InputOpen;
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

// ---- Files --------------------------------------------------------------------------------------

bool SystemCreateFile(const char* name, SystemFile* file)
{
    // Past a file-size limit a write then fails with EFBIG, reported and cleaned up like any
    // other failed write, instead of the signal ending the process with its temporary files.
    static bool signalIgnored = false;
    if (!signalIgnored) {
        signal(SIGXFSZ, SIG_IGN);
        signalIgnored = true;
    }
    // Always a new file: whatever stands under the name (a leftover, or a link that someone
    // put there to any other file) is removed, never written through.
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
    int fd = open(name, flags, 0666);
    if (fd < 0 && errno == EEXIST && unlink(name) == 0) {
        fd = open(name, flags, 0666);
    }
    *file = fd;
    return fd >= 0 || Fail();
}

void SystemKeepPermissions(SystemFile file, uint32_t permissions)
{
    // Only where they differ from what a new file gets, which is the common case.
    static mode_t created = 0;
    if (created == 0) {
        mode_t mask = umask(022);
        umask(mask);
        created = 0666 & ~mask;
    }
    if (permissions != created) {
        fchmod((int)file, (mode_t)permissions);
    }
}

bool SystemOpenFile(const char* name, SystemFile* file, uint64_t* size)
{
    struct stat info;
    int fd = OpenRegularFile(name, &info);
    *file = fd;
    *size = fd >= 0 ? (uint64_t)info.st_size : 0;
    return fd >= 0;
}

bool SystemSeek(SystemFile file, uint64_t offset)
{
    return lseek((int)file, (off_t)offset, SEEK_SET) >= 0 || Fail();
}

bool SystemRead(SystemFile file, void* bytes, uint32_t count, uint32_t* got)
{
    ssize_t read_;
    while ((read_ = read((int)file, bytes, count)) < 0 && errno == EINTR) {
    }
    *got = read_ > 0 ? (uint32_t)read_ : 0;
    return read_ >= 0 || Fail();
}

bool SystemWrite(SystemFile file, const void* bytes, uint32_t count)
{
    const uint8_t* at = (const uint8_t*)bytes;
    while (count != 0) {
        ssize_t written = write((int)file, at, count);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        // A write straight from a mapping whose file was cut short fails with EFAULT instead
        // of raising SIGBUS: the input changed.
        int mapping = written < 0 && errno == EFAULT ? GuardedMappingAt((uintptr_t)at) : -1;
        if (mapping >= 0) {
            InputChanged[mapping == 0 ? 0 : 1] = 1;
        }
        if (written <= 0) {
            return Fail();
        }
        at += written;
        count -= (uint32_t)written;
    }
    return true;
}

bool SystemClose(SystemFile file)
{
    return close((int)file) == 0 || Fail();
}

bool SystemReplace(const char* from, const char* to)
{
    return rename(from, to) == 0 || Fail();
}

bool SystemRemove(const char* name)
{
    return unlink(name) == 0 || Fail();
}

FileKind SystemFileKind(const char* name, uint32_t* permissions)
{
    struct stat info;
    if (stat(name, &info) != 0) {
        Fail();
        return errno == ENOENT || errno == ENOTDIR ? NOTHING_THERE : KIND_UNKNOWN;
    }
    if (S_ISREG(info.st_mode)) {
        if (permissions != NULL) {
            *permissions = info.st_mode & 07777;
        }
        return REGULAR_FILE;
    }
    SystemError = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    return OTHER_KIND;
}

bool SystemRemoveEmptyFolder(const char* name)
{
    return rmdir(name) == 0;
}

bool SystemMakeDirectory(const char* name)
{
    struct stat info;
    if (mkdir(name, 0777) == 0) {
        return true;
    }
    if (errno != EEXIST) {
        return Fail();
    }
    if (stat(name, &info) == 0 && S_ISDIR(info.st_mode)) {
        return true;
    }
    SystemError = ENOTDIR; // something else stands under the name
    return false;
}

bool SystemFolderMayHold(const char* prefix, const char* ending)
{
    DIR* listing = opendir(prefix[0] != 0 ? prefix : ".");
    if (listing == NULL) {
        return true;
    }
    size_t length = strlen(ending);
    bool found = false;
    for (struct dirent* entry; !found && (entry = readdir(listing)) != NULL;) {
        size_t size = strlen(entry->d_name);
        found = size >= length && memcmp(entry->d_name + size - length, ending, length) == 0;
    }
    closedir(listing);
    return found;
}

bool SystemLeadByte(char)
{
    return false;
}

uint64_t SystemProcessId()
{
    return (uint64_t)getpid();
}

bool SystemProcessRuns(uint64_t id)
{
    return id == 0 || id > INT32_MAX || kill((pid_t)id, 0) == 0 || errno == EPERM;
}

// ---- Folder locks -------------------------------------------------------------------------------
// flock on the folder itself: no lock file to litter the folder, and the lock goes when the
// process does, however it ends.

bool SystemOpenFolderLock(const char* folder, FolderLock* lock)
{
    lock->Held = false;
    int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat info;
    if (fd < 0 || fstat(fd, &info) != 0) {
        Fail();
        if (fd >= 0) {
            close(fd);
        }
        lock->Handle = -1;
        return false;
    }
    lock->Handle = fd;
    snprintf(lock->Key, sizeof lock->Key, "%016llx:%016llx", (unsigned long long)info.st_dev,
             (unsigned long long)info.st_ino);
    return true;
}

bool SystemTakeFolderLock(FolderLock* lock, const char* folder)
{
    int fd = (int)lock->Handle;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK) {
            return Fail();
        }
        // Polled for a moment, so that a short wait goes unmentioned.
        struct timespec pause = {0, 5 * 1000 * 1000};
        long waited = 0;
        int locked;
        while ((locked = flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EWOULDBLOCK &&
               waited < FOLDER_WAIT_NOTICE_MS) {
            nanosleep(&pause, NULL);
            waited += 5;
        }
        if (locked != 0) {
            if (WaitingForFolder != NULL) {
                WaitingForFolder(folder);
            }
            while ((locked = flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
            }
            if (locked != 0) {
                return Fail();
            }
        }
    }
    lock->Held = true;
    return true;
}

void SystemReleaseFolderLock(FolderLock* lock)
{
    if (lock->Handle >= 0) {
        // Closing the descriptor lets go of the lock.
        close((int)lock->Handle);
    }
    lock->Handle = -1;
    lock->Held = false;
}
#endif
