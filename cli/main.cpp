// quillmarsh: the window's conversions on the command line, with a line for every file,
// problems in words, exit codes for scripts, guards for a translator's edits, and commands the
// window lacks: check, which tells what a rebuild would change in a dump, and verify, which
// tries the round trip.
#include "command_line.h"

#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>

#ifdef _WIN32
#include <direct.h>
#define chdir _chdir
#include <windows.h>

#include <algorithm>
#else
#include <unistd.h>
#endif

#ifdef _WIN32
// cmd.exe hands "*.spc" on as it stands. Names cannot hold '*' or '?', so an argument with one
// is a pattern: it stands for the files it matches, sorted, as in a Unix shell; or for itself
// when none does. (The C runtime's own expansion would also take "[a].spc" for a pattern.)
static std::vector<std::string> ExpandedNames; // for the whole run: the file list points here

// Whether a name matches a pattern as a shell matches it ('*' any run, '?' one character of
// the code page, which may take two bytes). FindFirstFileA also matches a file by its short
// 8.3 name: "*.txt" takes "a.txtold" (A~1.TXT).
static bool Matches(const char* pattern, const char* name)
{
    if (*pattern == '*') {
        return Matches(pattern + 1, name) || (*name != 0 && Matches(pattern, CharNextA(name)));
    }
    if (*name == 0 || *pattern == 0) {
        return *name == *pattern;
    }
    return *pattern == '?' ? Matches(pattern + 1, CharNextA(name))
                           : *pattern == *name && Matches(pattern + 1, name + 1);
}

// Whether every argument reaches the program as typed: one with a character the code page
// lacks comes as a stand-in, '?' (a pattern) or a look-alike, that may name other files.
static bool ArgumentsFitCodePage()
{
    // The program's own path comes first, quoted or up to a blank.
    const wchar_t* line = GetCommandLineW();
    if (*line == L'"') {
        line = wcschr(line + 1, L'"');
        line = line != NULL ? line + 1 : L"";
    }
    while (*line != 0 && *line != L' ' && *line != L'\t') {
        ++line;
    }
    return FitsCodePage(line);
}

// Each file is named as it stands in its folder, through the wide calls: by its long name in
// its own letter case, not by a short 8.3 name or as typed ("B.SPC"), which outputs, side data
// and catalogue contexts would take; a pattern stands for the files it matches. False, said,
// when such a name holds a character the code page lacks, which no 8-bit call could open.
static bool NameFilesAsStored(const std::vector<const char*>& arguments,
                              std::vector<const char*>* files)
{
    for (const char* argument : arguments) {
        size_t first = ExpandedNames.size();
        const char* base = BaseNameOf(argument);
        std::string folder(argument, (size_t)(base - argument));
        bool pattern = strpbrk(base, "*?") != NULL;
        bool dots = *base == 0 || strcmp(base, ".") == 0 || strcmp(base, "..") == 0;
        int size = MultiByteToWideChar(CP_ACP, 0, argument, -1, NULL, 0);
        std::wstring wide(size > 1 ? (size_t)size : 1, L'\0');
        MultiByteToWideChar(CP_ACP, 0, argument, -1, &wide[0], size);
        WIN32_FIND_DATAW found;
        HANDLE search = dots ? INVALID_HANDLE_VALUE : FindFirstFileW(wide.c_str(), &found);
        for (bool more = search != INVALID_HANDLE_VALUE; more;
             more = FindNextFileW(search, &found) != 0) {
            std::string name = InCodePage(found.cFileName);
            // Folders too, as a shell gives them, to be refused as such ("." and ".." aside);
            // a pattern matches long names alone ("*.txt" not "a.txtold" by A~1.TXT).
            if (name == "." || name == ".." ||
                (pattern && !Matches(NameKey(base).c_str(), NameKey(name.c_str()).c_str()))) {
                continue;
            }
            if (!FitsCodePage(found.cFileName)) {
                FindClose(search);
                fprintf(stderr,
                        "quillmarsh: %s: names %s%s, whose name holds a character that this "
                        "system's code page lacks (shown as ?), which no conversion could open; "
                        "rename the file\n",
                        argument, folder.c_str(), name.c_str());
                return false;
            }
            ExpandedNames.push_back(folder + name);
        }
        if (search != INVALID_HANDLE_VALUE) {
            FindClose(search);
        }
        std::sort(ExpandedNames.begin() + (long)first, ExpandedNames.end());
        if (ExpandedNames.size() == first) {
            ExpandedNames.push_back(argument);
        }
    }
    for (const std::string& name : ExpandedNames) {
        files->push_back(name.c_str());
    }
    return true;
}
#endif

static const char USAGE[] =
    "Usage: quillmarsh [-q] [-f] [-C DIR] COMMAND FILE...\n"
    "\n"
    "  decode FILE.spc...   write FILE.txt (and FILE.ext for a tail) beside each speech file\n"
    "  rebuild FILE.txt...  write mod/FILE.spc below the current folder from each dump\n"
    "  check FILE.txt...    tell what a rebuild would change or lose; writes no output\n"
    "  verify FILE.spc...   decode and rebuild in a scratch folder and compare\n"
    "  export [--encoding NAME] [-o CATALOGUE.pot] FILE.spc...\n"
    "                       write a gettext PO template FILE.pot beside each speech file,\n"
    "                       or one catalogue for them all\n"
    "  import [--encoding NAME] [--fuzzy] CATALOGUE.po...\n"
    "                       write mod/NAME.spc for each speech file the catalogues name,\n"
    "                       read from the current folder, with its texts translated\n"
    "\n"
    "  -q, --quiet   leave out notes and the lines of files that went well\n"
    "  -f, --force   decode over a dump that differs from the new one (an edited dump);\n"
    "                rebuild a file that is not a dump; export over a catalogue that holds\n"
    "                translations\n"
    "  -C DIR        work in DIR, as if started there (every name and mod/ are relative to it)\n"
    "  --encoding NAME  how the game stores its texts (export, import), one of these,\n"
    "                in any letter case:\n"
    "%s"
    "  --fuzzy       import translations marked fuzzy too\n"
    "  -o FILE       export every speech file into the one catalogue FILE\n"
    "  --help        show this help\n"
    "  --version     show the version\n"
    "  --            the names that follow may start with '-'\n"
    "\n"
    "Files are converted in the order given; HEADER and LINECOUNT values missing from a dump\n"
    "are taken from the last dump before it that had them, as in the window; a file named\n"
    "twice is converted once. Conversions in one folder by this program and by the window\n"
    "take turns.\n"
    "Exit status: 0 everything done, nothing to report; 1 done, with findings or warnings;\n"
    "2 something was not done (a file missing, unreadable or refused, a wrong command line,\n"
    "or a report that standard output could not take).\n";

struct Command {
    const char* Name;
    FileOutcome (*Run)(const char* name);
    // How the summary counts each outcome.
    const char* Words[3];
};

static const Command COMMANDS[] = {
    {"decode", DecodeFile, {"converted", "converted with warnings", "not converted"}},
    {"rebuild", RebuildFile, {"converted", "converted with warnings", "not converted"}},
    {"check", CheckFile, {"ready to rebuild", "with problems", "not checked"}},
    {"verify", VerifyFile, {"round-trip exactly", "differ", "not verified"}},
    {"export", ExportFile, {"exported", "exported with warnings", "not exported"}},
    {"import", NULL, {"imported", "imported with warnings", "not imported"}},
};

// The exit status, or 2 when the report did not reach its file (a full disk): a script must not
// trust it.
static int Finish(int status)
{
    if (fflush(stdout) != 0 || ferror(stdout)) {
        fprintf(stderr, "quillmarsh: the report cannot be written (%s)\n", strerror(errno));
        return 2;
    }
    return status;
}

static int UsageError(const std::string& text)
{
    fprintf(stderr, "quillmarsh: %s\nTry 'quillmarsh --help'.\n", text.c_str());
    return 2;
}

// The value of an option given as "-o VALUE", "-oVALUE" or "--option=VALUE"; NULL when missing
// or empty ("-o ''", a shell variable that was never set).
static const char* OptionValue(const char* argument, size_t length, int* i, int argc, char** argv)
{
    const char* value = NULL;
    if (argument[length] == '=' || (argument[length] != 0 && argument[1] != '-')) {
        value = argument + length + (argument[length] == '=');
    } else if (*i + 1 < argc) {
        value = argv[++*i];
    }
    return value != NULL && *value != 0 ? value : NULL;
}

int main(int argc, char** argv)
{
    const Command* command = NULL;
    std::vector<const char*> folders; // each -C from the one before, as in make
    const char* catalogue = NULL;
    const char* encoding = NULL;
    std::vector<const char*> files;
    bool options = true;
#ifdef SIGPIPE
    // A reader that stops early (head, grep -q) must not stop a run half-way through its
    // files: the write that fails is reported at the end, with exit status 2.
    signal(SIGPIPE, SIG_IGN);
#endif
#ifdef _WIN32
    if (!ArgumentsFitCodePage()) {
        fprintf(stderr,
                "quillmarsh: a name on the command line holds a character that this "
                "system's code page lacks (a Polish letter on a Western system, say), which "
                "would reach the program as another name; rename the file\n");
        return 2;
    }
    // No name holds a quote: the C runtime took a backslash before a closing quote ("%~dp0")
    // for a quote, and the rest of the line for this argument.
    for (int i = 1; i < argc; ++i) {
        if (strchr(argv[i], '"') != NULL) {
            return UsageError(std::string("'") + argv[i] +
                              "' holds a quote: a backslash before a closing quote makes it one "
                              "(write \"%~dp0.\" or leave the last backslash out)");
        }
    }
#endif
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (options && strcmp(argument, "--") == 0) {
            options = false;
        } else if (options && argument[0] == '-' && argument[1] != 0) {
            if (strcmp(argument, "--quiet") == 0) {
                QuietRun = true;
            } else if (strcmp(argument, "--force") == 0) {
                ForceRun = true;
            } else if (strcmp(argument, "--fuzzy") == 0) {
                ImportFuzzy = true;
            } else if (argument[strspn(argument + 1, "qf") + 1] == 0) {
                // -q, -f, and the two written together (-qf), as other programs take them.
                QuietRun = QuietRun || strchr(argument, 'q') != NULL;
                ForceRun = ForceRun || strchr(argument, 'f') != NULL;
            } else if (strncmp(argument, "-C", 2) == 0) {
                folders.push_back(OptionValue(argument, 2, &i, argc, argv));
                if (folders.back() == NULL) {
                    return UsageError("-C needs a folder");
                }
            } else if (strncmp(argument, "-o", 2) == 0) {
                const char* earlier = catalogue;
                if ((catalogue = OptionValue(argument, 2, &i, argc, argv)) == NULL) {
                    return UsageError("-o needs a catalogue's name");
                }
                if (earlier != NULL && strcmp(earlier, catalogue) != 0) {
                    // Which one was meant cannot be told: neither is written.
                    return UsageError(std::string("-o names two catalogues, ") + earlier + " and " +
                                      catalogue + ": a run writes one");
                }
                if (strcmp(catalogue, "-") == 0) {
                    return UsageError("-o - (standard output) is not taken: a catalogue is "
                                      "written whole or not at all; name a file");
                }
            } else if (strncmp(argument, "--encoding", 10) == 0 &&
                       (argument[10] == 0 || argument[10] == '=')) {
                const char* name = OptionValue(argument, 10, &i, argc, argv);
                TextEncoding named = ENCODING_UTF8;
                if (name == NULL) {
                    return UsageError("--encoding needs a name");
                }
                if (!FindTextEncoding(name, &named)) {
                    return UsageError(std::string("unknown encoding '") + name +
                                      "' (quillmarsh --help lists them)");
                }
                // Two spellings of one encoding (sjis, shift_jis) are one.
                if (encoding != NULL && named != GameEncoding) {
                    return UsageError(std::string("--encoding names two encodings, ") + encoding +
                                      " and " + name + ": a game has one");
                }
                encoding = name;
                GameEncoding = named;
            } else if (strcmp(argument, "--help") == 0 || strcmp(argument, "-h") == 0) {
                printf(USAGE, TEXT_ENCODING_HELP);
                return Finish(0);
            } else if (strcmp(argument, "--version") == 0) {
                printf("quillmarsh %s\n", QUILLMARSH_VERSION);
                return Finish(0);
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
    bool catalogues = strcmp(command->Name, "export") == 0 || strcmp(command->Name, "import") == 0;
    const char* misplaced = encoding != NULL && !catalogues                   ? "--encoding"
                            : ImportFuzzy && command->Run != NULL             ? "--fuzzy"
                            : catalogue != NULL && command->Run != ExportFile ? "-o"
                                                                              : NULL;
    if (misplaced != NULL) {
        return UsageError(std::string(misplaced) + " does not go with " + command->Name);
    }
    EncodingGiven = encoding != NULL;
    if (files.empty()) {
        return UsageError(std::string("no file given to ") + command->Name);
    }
    for (const char* folder : folders) {
        if (chdir(folder) != 0) {
            int error = errno;
#ifdef _WIN32
            // Windows says only "Invalid argument" of a file.
            DWORD attributes = GetFileAttributesA(folder);
            if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
                error = ENOTDIR;
            }
#endif
            PrintProblem(folder,
                         std::string("cannot work in this folder (") + strerror(error) + ")");
            return 2;
        }
    }
#ifdef _WIN32
    std::vector<const char*> named;
    if (!NameFilesAsStored(files, &named)) {
        return 2;
    }
    files = named;
#endif
    files = OncePerFile(files);
    GuardEdits = !ForceRun;

    size_t counts[3] = {0, 0, 0}; // by FileOutcome
    StartProgress(files.size());
    if (command->Run == NULL) {
        ImportCatalogues(files, counts);
    } else if (catalogue != NULL) {
        ExportToOneCatalogue(files, catalogue, counts);
    } else {
        for (size_t i = 0; i < files.size(); ++i) {
            ShowProgress(i, files[i]);
            ++counts[command->Run(files[i])];
        }
    }
    ClearProgress();
    size_t total = counts[0] + counts[1] + counts[2];
    if (total > 1 && !QuietRun) {
        printf("%s: %lu %s, %lu %s, %lu %s\n", Plural(total, "file").c_str(),
               (unsigned long)counts[FILE_DONE], command->Words[FILE_DONE],
               (unsigned long)counts[FILE_FINDINGS], command->Words[FILE_FINDINGS],
               (unsigned long)counts[FILE_NOT_DONE], command->Words[FILE_NOT_DONE]);
    }
    return Finish(counts[FILE_NOT_DONE] != 0 ? 2 : counts[FILE_FINDINGS] != 0 ? 1 : 0);
}
