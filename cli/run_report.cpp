// What a run says: one line per file on standard output, problems on standard error, and a
// progress line while a long run works on a terminal.
#include "command_line.h"

#include <errno.h>

#include <chrono>
#include <stdio.h>
#include <string.h>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

bool QuietRun;

// Progress shows only after this long, and is redrawn at most this often.
static const std::chrono::milliseconds PROGRESS_DELAY(1000);
static const std::chrono::milliseconds PROGRESS_INTERVAL(200);

struct ProgressLine {
    bool Visible;
    std::chrono::steady_clock::time_point Started;
    std::chrono::steady_clock::time_point Drawn;
};

static ProgressLine Progress;

void ShowProgress(size_t done, size_t total)
{
    std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now();
    if (done == 0) {
        Progress.Started = now;
    }
    if (now - Progress.Started < PROGRESS_DELAY || now - Progress.Drawn < PROGRESS_INTERVAL ||
        !isatty(fileno(stderr))) {
        return;
    }
    fprintf(stderr, "\rquillmarsh: %lu of %lu files", (unsigned long)done, (unsigned long)total);
    fflush(stderr);
    Progress.Visible = true;
    Progress.Drawn = now;
}

void ClearProgress()
{
    if (Progress.Visible) {
        fprintf(stderr, "\r%60s\r", "");
        Progress.Visible = false;
    }
}

void PrintResult(const char* name, const std::string& text, bool finding)
{
    if (QuietRun && !finding) {
        return;
    }
    ClearProgress();
    printf("%s: %s\n", name, text.c_str());
}

void PrintProblem(const char* name, const std::string& text)
{
    ClearProgress();
    fflush(stdout); // keep the two streams in order where both go to one place
    fprintf(stderr, "quillmarsh: %s: %s\n", name, text.c_str());
}

static std::string SystemReason(int error)
{
    return error != 0 ? std::string(" (") + strerror(error) + ")" : std::string();
}

std::string DescribeProblem(const ConversionReport& report, const char* name)
{
    std::string file = report.ProblemFile[0] != 0 ? report.ProblemFile : name;
    std::string reason = SystemReason(report.SystemError);
    switch (report.Problem) {
    case PROBLEM_NONE:
        break;
    case PROBLEM_NAME_UNUSABLE:
        if (strlen(name) >= FILE_NAME_CAPACITY) {
            return "the name is longer than 259 characters, more than the converter takes";
        }
        return "the name cannot carry the output's name (it needs a three-letter extension)";
    case PROBLEM_CANNOT_OPEN:
        return "cannot be opened" + reason;
    case PROBLEM_NOT_REGULAR_FILE:
        if (report.SystemError == EISDIR) {
            return "is a folder, not a file (folders are not searched: name the files in it)";
        }
        return "is not a regular file (a pipe or a device), so it is not read";
    case PROBLEM_TOO_LARGE:
        return "is 4 GiB or larger, more than a speech file can hold";
    case PROBLEM_READ_FAILED:
        return "could not be read" + reason;
    case PROBLEM_TOO_SHORT:
        return "is shorter than five bytes, too short for the head of a speech file";
    case PROBLEM_OUTPUT_IS_INPUT:
        return "its output " + file + " would be the input itself; rename the input first";
    case PROBLEM_CANNOT_MAKE_FOLDER:
        return "the folder mod cannot be created here" + reason;
    case PROBLEM_CANNOT_CREATE:
        return file + " cannot be created" + reason + "; nothing was written";
    case PROBLEM_WRITE_FAILED:
        return "writing " + file + " failed" + reason + "; nothing was written";
    case PROBLEM_CANNOT_REPLACE:
        return file + " cannot be replaced" + reason + "; it was left as it was";
    case PROBLEM_SIDE_DATA_UNREADABLE:
        return "the side data " + file + " cannot be read" + reason + "; nothing was written";
    }
    return "was not converted";
}
