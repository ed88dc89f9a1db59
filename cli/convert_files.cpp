// decode and rebuild: the window's two conversions, one file at a time, through the same
// core calls, with what each did, or why it did not, said in one line.
#include "command_line.h"

#include "file_io.h"
#include "file_names.h"
#include "speech_format.h"

#include <algorithm>
#include <ctype.h>
#include <string.h>
#include <unordered_map>

#ifdef _WIN32
#include <direct.h>
#include <windows.h>
#define getcwd _getcwd
#else
#include <unistd.h>
#endif

// The name as the core takes it; a longer one would reach the core cut short.
bool UseFileName(const char* name, const char* input)
{
    size_t length = strlen(input);
#ifdef _WIN32
    // Windows opens "a.spc." as "a.spc", and the outputs would be named from the name typed.
    bool unusable = length > 0 && (input[length - 1] == '.' || input[length - 1] == ' ');
#else
    bool unusable = false;
#endif
    if (length >= sizeof CurrentFileName || unusable) {
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

#ifdef _WIN32
#define PATH_SEPARATORS "/\\"
#else
#define PATH_SEPARATORS "/"
#endif

// Whether a name starts with the current folder's path: on Windows as the system compares
// names, in either letter case (its code page's letters, double-byte ones included) and with
// either slash.
static bool StartsWithFolder(const char* name, const char* folder)
{
    size_t length = strlen(folder);
    if (strlen(name) < length) {
        return false;
    }
#ifdef _WIN32
    std::string a(name, length);
    std::string b(folder);
    std::replace(a.begin(), a.end(), '/', '\\');
    std::replace(b.begin(), b.end(), '/', '\\');
    return CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, a.data(), (int)length, b.data(),
                          (int)length) == CSTR_EQUAL;
#else
    return memcmp(name, folder, length) == 0;
#endif
}

// A name in the current folder as the core takes it: "./x.spc" (as find gives it) and the
// folder's full path are left off, so that the dump's FILENAME line, and with it the dump,
// is the same however the file was named, and an untouched dump is not taken for an edited one.
static const char* NameInCurrentFolder(const char* name)
{
    char folder[PATH_CAPACITY];
    const char* rest = name;
    // Only a full path can start with the current folder's, which then costs a system call.
    bool full = name[0] != 0 && (strchr(PATH_SEPARATORS, name[0]) != NULL || name[1] == ':');
    if (full && getcwd(folder, sizeof folder) != NULL && StartsWithFolder(name, folder)) {
        // A root folder's path ends in its separator (its base name is empty; "\x95\x5C" ends
        // a kanji in Shift_JIS, not the path); any other is followed by one.
        size_t k = strlen(folder);
        if (k > 0 && (*BaseNameOf(folder) == 0 ||
                      (name[k] != 0 && strchr(PATH_SEPARATORS, name[k]) != NULL))) {
            rest = name + k + strspn(name + k, PATH_SEPARATORS);
        }
    }
    while (rest[0] == '.' && rest[1] != 0 && strchr(PATH_SEPARATORS, rest[1]) != NULL) {
        rest += 1 + strspn(rest + 1, PATH_SEPARATORS);
    }
    return rest[0] != 0 ? rest : name;
}

FileOutcome DecodeFile(const char* name)
{
    // 0001.spc and 0001.bin decode into one 0001.txt: with -f the second would replace it.
    // (A dump named as the input is refused as such.)
    std::string dump = WithEnding(name, "txt");
    std::string key = FileKey(dump);
    if (NameKey(dump) != NameKey(name) &&
        WrittenBefore(name, key, dump, "decoded", "rename one of them")) {
        return FILE_NOT_DONE;
    }
    LookForDumpLoss = RemoveStaleSideData = true;
    if (!RunConverter(name, NameInCurrentFolder(name), true)) {
        return FILE_NOT_DONE;
    }
    RememberOutput(key, name);
    std::string line = CountsOf(LastConversion) + " -> " + LastConversion.OutputName;
    if (LastConversion.SideDataName[0] != 0) {
        line += std::string(", ") + LastConversion.SideDataName;
    }
    std::string notes = LastConversion.Unchanged ? "unchanged" : "";
    if (LastConversion.SideDataRestored) {
        notes += std::string("; ") + LastConversion.SideDataName + " written again";
    }
    if (LastConversion.StaleSideDataRemoved) {
        notes += (notes.empty() ? "" : "; ") + WithEnding(LastConversion.OutputName, "ext") +
                 ", an earlier decode's side data, removed";
    }
    if (LastConversion.SideDataLeft) {
        notes += (notes.empty() ? "" : "; ") + WithEnding(LastConversion.OutputName, "ext") +
                 ", which no earlier dump here names, left as it is";
    }
    if (!notes.empty()) {
        line += " (" + notes + ")";
    }
    PrintResult(name, line, false);
    // A rebuild from here looks for side data under a short name first (four characters and .ext):
    // another file's side data may stand there already, or be written there later in the run.
    static std::unordered_map<std::string, std::string> lookedForFirst; // by a dump's rebuild
    if (LastConversion.SideDataName[0] != 0) {
        char first[PATH_CAPACITY];
        char sibling[PATH_CAPACITY];
        BuildSideDataNames(LastConversion.OutputName, first, sibling);
        std::string written = LastConversion.OutputName;
        auto earlier = lookedForFirst.find(NameKey(LastConversion.SideDataName));
        bool thisOne = SplicesAnotherDumpsSideData(written.c_str());
        if (thisOne || (earlier != lookedForFirst.end() &&
                        SplicesAnotherDumpsSideData(earlier->second.c_str()))) {
            std::string other = thisOne ? written : earlier->second;
            BuildSideDataNames(other.c_str(), first, sibling);
            PrintProblem(name,
                         "a rebuild of " + other + " from this folder would splice " +
                             OtherSideData(first, sibling) +
                             ", as it looks first under a short name (the last four characters "
                             "before the extension): rebuild it from a folder of its own");
            return FILE_FINDINGS;
        }
        if (strcmp(first, sibling) != 0) {
            lookedForFirst[NameKey(first)] = written;
        }
    }
    // Said now: no edit of the dump can mend it, and check cannot see most of it.
    if (LastConversion.Loss != LOSS_NONE) {
        PrintProblem(name, "a rebuild of " + std::string(LastConversion.OutputName) +
                               " will not give this file back byte for byte: " +
                               LossInWords(LastConversion.Loss, LastConversion.LossRecord,
                                           LastConversion.LossShown));
        return FILE_FINDINGS;
    }
    return FILE_DONE;
}

// Every file a run writes, and the input it came from: a second input of the same output (a
// dump of the same name from another folder, whose rebuild writes into the one "mod" folder;
// a.SPC after a.spc) would replace the first one's without a word.
static std::unordered_map<std::string, std::string> WrittenInThisRun; // output, input

std::string NameKey(std::string name)
{
#ifdef _WIN32
    // Names differ only in case on Windows, in the letters of its code page too.
    CharLowerBuffA(&name[0], (DWORD)name.size());
#endif
    return name;
}

const char* EarlierInputOf(const std::string& output)
{
    auto earlier = WrittenInThisRun.find(NameKey(output));
    return earlier != WrittenInThisRun.end() ? earlier->second.c_str() : NULL;
}

void RememberOutput(const std::string& output, const char* name)
{
    WrittenInThisRun.emplace(NameKey(output), name);
}

bool WrittenBefore(const char* name, const std::string& output, const std::string& shown,
                   const char* participle, const char* advice)
{
    const char* earlier = EarlierInputOf(output);
    if (earlier != NULL) {
        PrintProblem(name, std::string("would be ") + participle + " into the same " + shown +
                               " as " + earlier + " in this run; not " + participle + " (" +
                               advice + ")");
    }
    return earlier != NULL;
}

const char* EarlierDumpOfTheSameOutput(const char* name)
{
    return EarlierInputOf(WithEnding(BaseNameOf(name), "spc"));
}

void RememberRebuild(const char* name)
{
    RememberOutput(WithEnding(BaseNameOf(name), "spc"), name);
}

// Whether "mod" is a link to this folder, or to the dump's folder under another name: the
// rebuild would replace the speech file the dump was decoded from, which a rebuild never
// does. (A dump kept in "mod" is rebuilt there.) Asked once per folder, not once per file.
bool ModLeadsBack(const char* dump)
{
    static std::string askedFolder = "?";
    static bool leadsBack;
    std::string folder(dump, (size_t)(BaseNameOf(dump) - dump));
    if (folder != askedFolder) {
        askedFolder = folder;
        std::string own = folder.substr(0, folder.find_last_not_of(PATH_SEPARATORS) + 1);
        leadsBack = SameFile(OUTPUT_DIRECTORY, ".") ||
                    (!folder.empty() && NameKey(BaseNameOf(own.c_str())) != OUTPUT_DIRECTORY &&
                     SameFile(OUTPUT_DIRECTORY, folder.c_str()));
    }
    return leadsBack;
}

FileOutcome RebuildFile(const char* name)
{
    // A second run would replace the first dump's rebuild as well: a folder of its own would not.
    if (WrittenBefore(name, WithEnding(BaseNameOf(name), "spc"), OUTPUT_DIRECTORY " file",
                      "rebuilt", "rebuild it with -C in its own folder, into a mod of its own")) {
        return FILE_NOT_DONE;
    }
    if (ModLeadsBack(name)) {
        PrintProblem(name, MOD_LEADS_BACK "; not rebuilt");
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
    // Said first: the early returns below are for what else the dump lost.
    bool carried = LastConversion.HeaderCarried || LastConversion.LineCountCarried;
    if (carried) {
        bool both = LastConversion.HeaderCarried && LastConversion.LineCountCarried;
        PrintProblem(name, std::string("the dump shows no ") +
                               (both                           ? "HEADER or LINECOUNT value: "
                                : LastConversion.HeaderCarried ? "HEADER value: "
                                                               : "LINECOUNT value: ") +
                               LastConversion.OutputName + " holds " +
                               (both ? "those" : "the one") +
                               " carried over from an earlier dump of this run (0 where none had "
                               "one)");
    }
    char first[PATH_CAPACITY];
    char sibling[PATH_CAPACITY];
    BuildSideDataNames(name, first, sibling);
    if (strcmp(LastConversion.SideDataName, first) == 0 && SplicesAnotherDumpsSideData(name)) {
        PrintProblem(name, "spliced " + OtherSideData(first, sibling) + ": " +
                               LastConversion.OutputName + " may have the wrong tail");
        return FILE_FINDINGS;
    }
    if (LastConversion.RecordsLeftOut) {
        PrintProblem(name, "LINECOUNT is 0, so " + std::string(LastConversion.OutputName) +
                               " holds no record and no side data, though the dump shows "
                               "records or a tail");
        return FILE_FINDINGS;
    }
    if (LastConversion.CutOff) {
        PrintProblem(name, "the dump has no closing line " MARKER_BRACKET
                           "Speech FINISH" MARKER_BRACKET ", so its last record line stays open: " +
                               std::string(LastConversion.OutputName) +
                               " holds that record's number without its text");
        return FILE_FINDINGS;
    }
    // Each of the rest is said: one does not hide another.
    FileOutcome outcome = carried ? FILE_FINDINGS : FILE_DONE;
    if (LastConversion.MarkBlockedRepair) {
        PrintProblem(name, "the dump starts with a byte-order mark, so the blanks an editor put "
                           "into its markup were not repaired: " +
                               std::string(LastConversion.OutputName) +
                               " may hold what the rebuild misread (save the dump as UTF-8 "
                               "without a byte-order mark; check tells what)");
        outcome = FILE_FINDINGS;
    }
    if (LastConversion.RecordLinesUnread > 0) {
        bool one = LastConversion.RecordLinesUnread == 1;
        PrintProblem(name, Plural(LastConversion.RecordLinesUnread, "line") +
                               (one ? " that reads" : " that read") + " like a record line " +
                               (one ? "stands" : "stand") +
                               " where the rebuild does not read (before the first record line, "
                               "or after the closing or tail marker line): " +
                               LastConversion.OutputName + " holds " +
                               (one ? "no record from it" : "no record from them") +
                               " (check tells where)");
        outcome = FILE_FINDINGS;
    }
    if (LastConversion.TextsCut > 0) {
        bool one = LastConversion.TextsCut == 1;
        std::string record = RecordName(LastConversion.FirstCutRecord);
        PrintProblem(name, (one ? "the text of " + record + " spans"
                                : Plural(LastConversion.TextsCut, "text") + " span") +
                               " more than one line" +
                               (one ? "" : ", the first that of " + record) + ": " +
                               LastConversion.OutputName + " holds " + (one ? "it" : "each") +
                               " cut short by two bytes for every line break in it");
        outcome = FILE_FINDINGS;
    }
    if (LastConversion.TextsGainingByte > 0) {
        bool one = LastConversion.TextsGainingByte == 1;
        std::string record = RecordName(LastConversion.FirstGainingRecord);
        PrintProblem(
            name,
            "record lines of the dump end in LF or CR, not CR LF (an editor saved them so): " +
                std::string(LastConversion.OutputName) + " holds " +
                (one ? "the text of " + record
                     : Plural(LastConversion.TextsGainingByte, "text") + ", the first that of " +
                           record + ", each") +
                " with the " + (LastConversion.GainedByte == '\n' ? "LF" : "CR") +
                " its line ends in (save the dump with CR LF line ends)");
        outcome = FILE_FINDINGS;
    }
    if (LastConversion.LastTextShortened) {
        PrintProblem(name, "a short-tail marker stands before the last record line: " +
                               std::string(LastConversion.OutputName) + " holds " +
                               Plural(LastConversion.ShortenedLength, "byte") +
                               " for the text of " + RecordName(LastConversion.ShortenedRecord) +
                               ", which shows " + std::to_string(LastConversion.ShortenedShown) +
                               (LastConversion.ShortenedSaved == LastConversion.ShortenedLength
                                    ? ": as many as the text before that marker had"
                                    : ": the text before that marker had " +
                                          std::to_string(LastConversion.ShortenedSaved) +
                                          ", which run past the end of the dump"));
        outcome = FILE_FINDINGS;
    }
    // A short tail holds fewer bytes than a record's head; a longer one, under a short tail's
    // marker, decodes as something else: another version's side data, or another kind's.
    bool shortData = LastConversion.TailSize <= SHORT_TAIL_LIMIT;
    if (LastConversion.SideDataName[0] != 0 && LastConversion.ShortTail != shortData) {
        PrintProblem(name, "spliced " + std::string(LastConversion.SideDataName) + " (" +
                               Plural(LastConversion.TailSize, "byte") + "), which is not the " +
                               (LastConversion.ShortTail ? "short" : "unsequenced") +
                               " tail its marker stands for (another version's side data?): " +
                               LastConversion.OutputName + " may have the wrong tail");
        outcome = FILE_FINDINGS;
    }
    if (LastConversion.SideDataMissing) {
        PrintProblem(name, "the dump holds a tail marker, but its side data " +
                               WithEnding(name, "ext") + " is missing: " +
                               LastConversion.OutputName + " was written without its tail");
        return FILE_FINDINGS;
    }
    bool earlier = false;
    std::string unused = LastConversion.SideDataName[0] == 0 ? UnusedSideData(name, &earlier) : "";
    if (!unused.empty() && !earlier) {
        PrintProblem(name,
                     unused + ": " + LastConversion.OutputName + " was written without that tail");
        return FILE_FINDINGS;
    }
    return outcome;
}
