// decode and rebuild: the window's two conversions, one file at a time, through the same
// core calls, with what each did, or why it did not, said in one line.
#include "command_line.h"

#include "file_io.h"

#include <ctype.h>
#include <filesystem>
#include <string.h>
#include <unordered_map>

// The name as the core takes it; a longer one would reach the core cut short.
bool UseFileName(const char* name, const char* input)
{
    size_t length = strlen(input);
    if (length >= sizeof CurrentFileName) {
        memset(&LastConversion, 0, sizeof LastConversion);
        LastConversion.Problem = PROBLEM_NAME_UNUSABLE;
        PrintProblem(name, DescribeProblem(LastConversion, input));
        return false;
    }
    memset(CurrentFileName, 0, sizeof CurrentFileName);
    memcpy(CurrentFileName, input, length);
    return true;
}

bool Reported(const char* name, const char* input)
{
    if (LastConversion.Problem == PROBLEM_OUTPUT_DIFFERS) {
        // Said of the dump that stands, which is what the user must look at.
        PrintProblem(LastConversion.ProblemFile, DescribeProblem(LastConversion, input));
        return false;
    }
    if (LastConversion.Problem != PROBLEM_NONE) {
        PrintProblem(name, DescribeProblem(LastConversion, input));
        return false;
    }
    return true;
}

bool RunCore(const char* name, const char* input, bool (*work)(const uint8_t*, uint32_t),
             FolderUse folders)
{
    if (!UseFileName(name, input)) {
        return false;
    }
    bool done = ConvertWholeFile(work, folders);
    return Reported(name, input) && done;
}

bool RunConverter(const char* name, const char* input, bool decoding)
{
    if (!UseFileName(name, input)) {
        return false;
    }
    decoding ? ConvertSpeechToText() : ConvertTextToSpeech();
    return Reported(name, input);
}

static std::string CountsOf(const ConversionReport& report)
{
    std::string counts = Plural(report.RecordCount, "record");
    if (report.TailSize != 0) {
        counts += report.ShortTail ? ", short tail " : ", tail ";
        counts += Plural(report.TailSize, "byte");
    }
    return counts;
}

// A name in the current folder as the core takes it: "./x.spc" (as find gives it) and the
// folder's full path are left off, so that the dump's FILENAME line, and with it the dump,
// is the same however the file was named, and an untouched dump is not taken for an edited one.
static const char* NameInCurrentFolder(const char* name)
{
    std::error_code error;
    std::string folder = std::filesystem::current_path(error).string();
    if (!error && !folder.empty() && strncmp(name, folder.c_str(), folder.size()) == 0 &&
        name[folder.size()] != 0 && strchr("/\\", name[folder.size()]) != NULL) {
        name += folder.size() + 1;
    }
    while (name[0] == '.' && (name[1] == '/' || name[1] == '\\')) {
        name += 2;
        name += strspn(name, "/\\");
    }
    return name;
}

FileOutcome DecodeFile(const char* name)
{
    if (!RunConverter(name, NameInCurrentFolder(name), true)) {
        return FILE_NOT_DONE;
    }
    std::string line = CountsOf(LastConversion) + " -> " + LastConversion.OutputName;
    if (LastConversion.SideDataName[0] != 0) {
        line += std::string(", ") + LastConversion.SideDataName;
    }
    PrintResult(name, line + (LastConversion.Unchanged ? " (unchanged)" : ""), false);
    return FILE_DONE;
}

// Every rebuild of a run writes into the one "mod" folder: a second dump of the same name, from
// another folder, would replace the first one's speech file without a word.
static std::unordered_map<std::string, std::string> RebuiltInThisRun; // output, dump

// The mod file a rebuild of `name` writes, as the file system tells names apart.
static std::string RebuiltName(const char* name)
{
    std::string output = WithEnding(BaseNameOf(name), "spc");
#ifdef _WIN32
    for (char& c : output) {
        c = (char)tolower((unsigned char)c); // names differ only in case on Windows
    }
#endif
    return output;
}

const char* EarlierDumpOfTheSameOutput(const char* name)
{
    auto earlier = RebuiltInThisRun.find(RebuiltName(name));
    return earlier != RebuiltInThisRun.end() && !SameFile(earlier->second.c_str(), name)
               ? earlier->second.c_str()
               : NULL;
}

void RememberRebuild(const char* name)
{
    RebuiltInThisRun.emplace(RebuiltName(name), name);
}

FileOutcome RebuildFile(const char* name)
{
    const char* earlier = EarlierDumpOfTheSameOutput(name);
    if (earlier != NULL) {
        PrintProblem(name,
                     std::string("would be rebuilt into the same " OUTPUT_DIRECTORY " file as ") +
                         earlier + " in this run; not rebuilt (rebuild it in a run of its own)");
        return FILE_NOT_DONE;
    }
    if (!RunConverter(name, name, false)) {
        return FILE_NOT_DONE;
    }
    RememberRebuild(name);
    std::string line = CountsOf(LastConversion);
    if (LastConversion.SideDataName[0] != 0) {
        line += std::string(" from ") + LastConversion.SideDataName;
    }
    line += std::string(" -> ") + LastConversion.OutputName;
    if (LastConversion.Repaired) {
        line += " (blanks in the markup repaired)";
    }
    PrintResult(name, line, false);
    char first[PATH_CAPACITY];
    char sibling[PATH_CAPACITY];
    BuildSideDataNames(name, first, sibling);
    if (strcmp(LastConversion.SideDataName, first) == 0 && SplicesAnotherDumpsSideData(name)) {
        PrintProblem(name, std::string("spliced ") + first + " (the side data of " +
                               WithEnding(first, "txt") + "), not this dump's own " + sibling +
                               ": " + LastConversion.OutputName + " may have the wrong tail");
        return FILE_FINDINGS;
    }
    if (LastConversion.RecordsLeftOut) {
        PrintProblem(name, "LINECOUNT is 0, so " + std::string(LastConversion.OutputName) +
                               " holds no record and no side data, though the dump has record "
                               "lines");
        return FILE_FINDINGS;
    }
    if (LastConversion.SideDataMissing) {
        PrintProblem(name, "the dump ends in a tail marker, but its side data " +
                               WithEnding(name, "ext") + " is missing: " +
                               LastConversion.OutputName + " was written without its tail");
        return FILE_FINDINGS;
    }
    return FILE_DONE;
}
