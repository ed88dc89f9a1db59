// quillmarsh: the window's conversions on the command line, with a line for every file,
// problems in words, exit codes for scripts, and two commands the window lacks: check,
// which tells what a rebuild would change in a dump, and verify, which tries the round trip.
#include "command_line.h"

#include <stdio.h>
#include <string.h>

static const char USAGE[] =
    "Usage: quillmarsh [-q] COMMAND FILE...\n"
    "\n"
    "  decode FILE.spc...   write FILE.txt (and FILE.ext for a tail) beside each speech file\n"
    "  rebuild FILE.txt...  write mod/FILE.spc below the current folder from each dump\n"
    "  check FILE.txt...    tell what a rebuild would change or lose; writes nothing\n"
    "  verify FILE.spc...   decode and rebuild in a scratch folder and compare\n"
    "\n"
    "  -q, --quiet   print only problems\n"
    "  --help        show this help\n"
    "  --version     show the version\n"
    "  --            the names that follow may start with '-'\n"
    "\n"
    "Files are converted in the order given; HEADER and LINECOUNT values missing from a dump\n"
    "are taken from the last dump before it that had them, as in the window.\n"
    "Exit status: 0 all went well, 1 a file failed or a check or verify found a problem,\n"
    "2 the command line was wrong.\n";

struct Command {
    const char* Name;
    FileOutcome (*Run)(const char* name);
    const char* DoneWord;
    const char* FindingsWord;
};

static const Command COMMANDS[] = {
    {"decode", DecodeFile, "converted", "converted"},
    {"rebuild", RebuildFile, "converted", "converted"},
    {"check", CheckFile, "ready to rebuild", "with problems"},
    {"verify", VerifyFile, "round-trip exactly", "differ"},
};

static int UsageError(const std::string& text)
{
    fprintf(stderr, "quillmarsh: %s\nTry 'quillmarsh --help'.\n", text.c_str());
    return 2;
}

int main(int argc, char** argv)
{
    const Command* command = NULL;
    std::vector<const char*> files;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (options && strcmp(argument, "--") == 0) {
            options = false;
        } else if (options && argument[0] == '-' && argument[1] != 0) {
            if (strcmp(argument, "-q") == 0 || strcmp(argument, "--quiet") == 0) {
                QuietRun = true;
            } else if (strcmp(argument, "--help") == 0 || strcmp(argument, "-h") == 0) {
                fputs(USAGE, stdout);
                return 0;
            } else if (strcmp(argument, "--version") == 0) {
                printf("quillmarsh %s\n", QUILLMARSH_VERSION);
                return 0;
            } else {
                return UsageError(std::string("unknown option '") + argument + "'");
            }
        } else if (command == NULL) {
            for (const Command& known : COMMANDS) {
                if (strcmp(argument, known.Name) == 0) {
                    command = &known;
                }
            }
            if (command == NULL) {
                return UsageError(std::string("unknown command '") + argument + "'");
            }
        } else {
            files.push_back(argument);
        }
    }
    if (command == NULL) {
        return UsageError("no command given");
    }
    if (files.empty()) {
        return UsageError(std::string("no file given to ") + command->Name);
    }

    size_t counts[3] = {0, 0, 0}; // by FileOutcome
    for (size_t i = 0; i < files.size(); ++i) {
        ShowProgress(i, files.size());
        ++counts[command->Run(files[i])];
    }
    ClearProgress();
    if (files.size() > 1 && !QuietRun) {
        std::string summary = std::to_string(files.size()) + " files: ";
        if (command->DoneWord == command->FindingsWord) {
            summary +=
                std::to_string(counts[FILE_DONE] + counts[FILE_FINDINGS]) + " " + command->DoneWord;
        } else {
            summary += std::to_string(counts[FILE_DONE]) + " " + command->DoneWord + ", " +
                       std::to_string(counts[FILE_FINDINGS]) + " " + command->FindingsWord;
        }
        printf("%s, %lu failed\n", summary.c_str(), (unsigned long)counts[FILE_FAILED]);
    }
    return counts[FILE_DONE] == files.size() ? 0 : 1;
}
