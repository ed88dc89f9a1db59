// What a run says: one line per file on standard output, problems on standard error, and a
// progress line while a long run works on a terminal.
#include "command_line.h"

#include "file_io.h"
#include "file_names.h"
#include "speech_format.h"

#include <errno.h>

#include <chrono>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

bool QuietRun;
bool ForceRun;

// Progress shows only after this long, and is redrawn at most this often.
static const std::chrono::milliseconds PROGRESS_DELAY(1000);
static const std::chrono::milliseconds PROGRESS_INTERVAL(200);

struct ProgressLine {
    bool Terminal;
    bool Visible;
    size_t Done;
    size_t Total;
    const char* Name;
    std::chrono::steady_clock::time_point Started;
    std::chrono::steady_clock::time_point Drawn;
};

static ProgressLine Progress;

// A byte as a message shows it: line ends and control bytes written out as \n, \r or \xNN, so
// that a NUL does not cut the message nor a line end split it. (Backslashes stay as they are:
// Windows paths are full of them.)
static void AppendShown(std::string* text, uint8_t byte)
{
    char escaped[8] = {(char)byte};
    if (byte < 0x20 || byte == 0x7F) {
        snprintf(escaped, sizeof escaped,
                 byte == '\r'   ? "\\r"
                 : byte == '\n' ? "\\n"
                                : "\\x%02X",
                 byte);
    }
    *text += escaped;
}

// A report line as printed: a file's name may hold a line end or a terminal's escape byte,
// which would split the line a script reads, or steer the terminal.
static std::string OneLine(const std::string& text)
{
    std::string line;
    for (char c : text) {
        AppendShown(&line, (uint8_t)c);
    }
    return line;
}

static void DrawProgress(const std::string& text, bool now)
{
    std::chrono::steady_clock::time_point at = std::chrono::steady_clock::now();
    if (!Progress.Terminal || (!now && (at - Progress.Started < PROGRESS_DELAY ||
                                        at - Progress.Drawn < PROGRESS_INTERVAL))) {
        return;
    }
    fprintf(stderr, "\r\033[Kquillmarsh: %s", OneLine(text).c_str());
    fflush(stderr);
    Progress.Visible = true;
    Progress.Drawn = at;
}

static std::string FilesDone()
{
    return Progress.Total > 1 ? " (" + std::to_string(Progress.Done) + " of " +
                                    std::to_string(Progress.Total) + " files)"
                              : "";
}

// The core's hook: the share of the current file done.
static void OnConversionProgress(uint64_t done, uint64_t total)
{
    if (total != 0 && Progress.Name != NULL) {
        DrawProgress(std::string(Progress.Name) + ": " + std::to_string(done * 100 / total) + "%" +
                         FilesDone(),
                     false);
    }
}

static void OnWaitingForFolder(const char* folder)
{
    // The folder waited for may be another than the file's (a catalogue's, mod).
    std::string text = std::string(Progress.Name != NULL ? Progress.Name : "") +
                       ": waiting for another conversion in " +
                       (folder[0] != 0 && strcmp(folder, ".") != 0 ? std::string(folder)
                                                                   : std::string("this folder"));
    if (Progress.Terminal) {
        DrawProgress(text, true);
    } else {
        // A script's log says why the run stands still (a stopped run may hold the lock).
        fprintf(stderr, "quillmarsh: %s\n", OneLine(text).c_str());
    }
}

void StartProgress(size_t total)
{
    Progress.Terminal = isatty(fileno(stderr)) != 0;
    Progress.Total = total;
    Progress.Started = std::chrono::steady_clock::now();
    ConversionProgress = OnConversionProgress;
    WaitingForFolder = OnWaitingForFolder;
}

void ShowProgress(size_t done, const char* name)
{
    Progress.Done = done;
    Progress.Name = name;
    if (Progress.Total > 1) {
        DrawProgress(std::to_string(done) + " of " + std::to_string(Progress.Total) + " files",
                     false);
    }
}

void ClearProgress()
{
    if (Progress.Visible) {
        fputs("\r\033[K", stderr);
        Progress.Visible = false;
    }
}

void PrintResult(const char* name, const std::string& text, bool finding)
{
    if (QuietRun && !finding) {
        return;
    }
    ClearProgress();
    printf("%s\n", OneLine(name + (": " + text)).c_str());
}

void PrintProblem(const char* name, const std::string& text)
{
    ClearProgress();
    fflush(stdout); // keep the two streams in order where both go to one place
    fprintf(stderr, "quillmarsh: %s\n", OneLine(name + (": " + text)).c_str());
}

std::string Excerpt(const uint8_t* bytes, uint32_t length)
{
    std::string text;
    for (uint32_t k = 0; k < length && k < 40; ++k) {
        // Quotes and backslashes written out too, so that a lone quote reads "\"", not """.
        if (bytes[k] == '"' || bytes[k] == '\\') {
            text += '\\';
        }
        AppendShown(&text, bytes[k]);
    }
    return "\"" + text + (length > 40 ? "...\"" : "\"");
}

std::string LossInWords(DumpLoss loss, uint32_t record, const uint8_t* shown)
{
    std::string text = "the text of record " + std::to_string(record) + " holds ";
    switch (loss) {
    case LOSS_NUMBER_PAST_9999:
        return "a dump shows only the last four digits of the record number " +
               std::to_string(record);
    case LOSS_MARKER_IN_TEXT:
        return text + Excerpt(shown, 9) + ", where a rebuild ends it";
    case LOSS_RECORD_LINE_IN_TEXT:
        return text + "\"" RECORD_PREFIX "\", where a rebuild starts a new record";
    case LOSS_SHORT_TAIL_MARKER:
        return text + Excerpt(shown, 9) +
               ", which a rebuild takes for a short-tail marker: it writes the last record's "
               "text as long as the text before that marker";
    case LOSS_CR_LF_IN_TEXT:
        return text + "CR LF, which a dump shows as a line break: a rebuild writes the text two "
                      "bytes short for each";
    case LOSS_LINE_COUNT:
        return record == 0 ? "its LINECOUNT is 0, so a rebuild writes no record and no tail"
                           : "a rebuild reads four digits and no sign of its LINECOUNT, " +
                                 std::to_string((int32_t)record);
    case LOSS_TAIL_WITHOUT_RECORD:
        return "no whole record comes before its tail, and a rebuild splices side data only "
               "after a record line";
    case LOSS_LONE_BYTE:
        return "a decode drops a byte that follows the head with no record before it";
    case LOSS_NAME_IN_HEAD:
        return "its name, which the dump's FILENAME line shows, holds what a rebuild reads as a "
               "header value or a record line (such as \"HEADER: 2\" or \"" RECORD_PREFIX
               "\"): rename the file, or its folder";
    default:
        return "";
    }
}

std::string NotADump(bool utf16)
{
    return utf16 ? "is saved as UTF-16 (what some editors call Unicode), not in the encoding it "
                   "was decoded in (UTF-8, or the game's own, as Shift_JIS, which Windows calls "
                   "ANSI)"
                 : "is not a dump (no " MARKER_BRACKET "Speech START" MARKER_BRACKET " line)";
}

std::string Plural(uint64_t count, const char* noun)
{
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string RecordName(uint32_t number)
{
    char text[16];
    snprintf(text, sizeof text, "record %04u", (unsigned)(number % 10000));
    return text;
}

static std::string SystemReason(int error)
{
#ifdef _WIN32
    // Windows' sharing violations: a game or an editor holds the file open.
    if (error == EBUSY) {
        return " (it is open in another program; close it and run again)";
    }
#endif
    return error != 0 ? std::string(" (") + strerror(error) + ")" : std::string();
}

// "in this folder" for a bare name, so that a message about a file in the current folder says
// where it is.
static std::string Where(const std::string& file)
{
    return BaseNameOf(file.c_str()) == file.c_str() ? file + " in this folder" : file;
}

#define FOLDER_GIVEN "is a folder, not a file (folders are not searched: name the files in it)"

std::string DescribeProblem(const ConversionReport& report, const char* name)
{
    struct stat status;
    std::string file = report.ProblemFile[0] != 0 ? report.ProblemFile : name;
    std::string reason = SystemReason(report.SystemError);
    if (strcmp(name, "-") == 0 && stat(name, &status) != 0) {
        // Other programs read standard input so; the conversions read a named file.
        return "no such file (standard input is not read: name the file)";
    }
    switch (report.Problem) {
    case PROBLEM_NONE:
        break;
    case PROBLEM_NAME_UNUSABLE:
        if (strlen(name) >= FILE_NAME_CAPACITY) {
            return "the name is longer than 259 characters, more than the converter takes";
        }
        if (IsTemporaryName(name)) {
            return "names starting with " TEMPORARY_PREFIX " are kept for this program's own "
                   "temporary files";
        }
        // "." and "..", whose names have no extension to change, are folders first.
        if (stat(name, &status) != 0 || !S_ISDIR(status.st_mode)) {
            return "the name cannot carry the output's name (it needs a three-letter extension)";
        }
        return FOLDER_GIVEN;
    case PROBLEM_CANNOT_OPEN:
        return "cannot be opened" + reason;
    case PROBLEM_NOT_REGULAR_FILE:
        if (report.SystemError == EISDIR) {
            return FOLDER_GIVEN;
        }
        return "is not a regular file (a pipe or a device), so it is not read";
    case PROBLEM_TOO_LARGE:
        return "is 4 GiB less one byte or larger, more than a speech file can hold";
    case PROBLEM_READ_FAILED:
        return file == name ? "could not be read" + reason : file + " could not be read" + reason;
    case PROBLEM_INPUT_CHANGED:
        return (file == name ? "" : file + " ") +
               "changed while it was being read (another program wrote it); nothing was written";
    case PROBLEM_TOO_SHORT:
        return "is shorter than five bytes, too short for the head of a speech file";
    case PROBLEM_NOT_A_DUMP:
    case PROBLEM_DUMP_IN_UTF16:
        return NotADump(report.Problem == PROBLEM_DUMP_IN_UTF16) + "; nothing written";
    case PROBLEM_OUTPUT_IS_INPUT:
        return "its output " + file + " would be the input itself; rename the input first";
    case PROBLEM_OUTPUT_DIFFERS: {
        std::string values = DumpOfAnotherVersion(file.c_str(), name);
        if (!values.empty()) {
            return "exists and differs from a fresh decode of " + std::string(name) +
                   ", which has " + values +
                   " (edited, or decoded before a game patch?); left as it is (to carry a "
                   "translation over to this version, decode a copy of " +
                   name + " in another folder; --force replaces it)";
        }
        return "exists and differs from a fresh decode of " + std::string(name) +
               " (edited?); left as it is (--force replaces it)";
    }
    case PROBLEM_CANNOT_LOCK:
        return "the folder " + file + " cannot be locked for the conversion" + reason;
    case PROBLEM_CANNOT_SETTLE:
        return "a conversion here was interrupted and what it left (" + file +
               ") cannot be settled" + reason +
               "; nothing was read (make the folder writable "
               "and run again)";
    case PROBLEM_CANNOT_MAKE_FOLDER:
        if (report.SystemError == ENOTDIR) {
            return file + " exists and is not a folder";
        }
        return "the folder " + file + " cannot be created here" + reason;
    case PROBLEM_CANNOT_CREATE:
        return "cannot write " + Where(file) + reason + "; nothing was written";
    case PROBLEM_WRITE_FAILED:
        return "writing " + file + " failed" + reason + "; nothing was written";
    case PROBLEM_CANNOT_REPLACE:
        if (report.SystemError == EINVAL) {
            return file + " is not a regular file (a pipe or a device), so it is not replaced";
        }
        return file + " cannot be replaced" + reason + "; it is left as it is";
    case PROBLEM_SIDE_DATA_CHANGED:
        return "the side data " + file +
               " changed while it was being read (another program wrote it); nothing was written";
    case PROBLEM_SIDE_DATA_UNREADABLE:
        if (report.SystemError == EISDIR || report.SystemError == EINVAL) {
            return "the side data " + file + " is not a regular file; nothing was written";
        }
        if (report.SystemError == EFBIG) {
            return "the side data " + file +
                   " would make the rebuilt file 4 GiB less one byte or larger, more than a speech "
                   "file can hold; nothing was written";
        }
        return "the side data " + file + " cannot be read" + reason + "; nothing was written";
    }
    return "was not converted";
}
