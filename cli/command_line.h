// The command-line program's shared pieces: how one run reports, what it learns about an
// input before the core sees it, and the commands, each taking one file at a time.
#ifndef QUILLMARSH_CLI_COMMAND_LINE_H
#define QUILLMARSH_CLI_COMMAND_LINE_H

#include "file_io.h"
#include "file_names.h"
#include "text_encoding.h"
#include "workspace.h"

#include <stdint.h>
#include <string>
#include <vector>

// What a command made of one file, as the exit status counts it: done; done, but with
// something the user must look at (a check or verify finding, a rebuild without its tail, a
// skipped catalogue entry); or not done at all.
enum FileOutcome { FILE_DONE, FILE_FINDINGS, FILE_NOT_DONE };

// ---- Reports ------------------------------------------------------------------------------

extern bool QuietRun; // -q: only problems and findings are printed
extern bool ForceRun; // -f: replace edited dumps, rebuild files that are not dumps

// "NAME: text" on standard output; not in a quiet run unless it is a finding.
void PrintResult(const char* name, const std::string& text, bool finding);
// "quillmarsh: NAME: text" on standard error.
void PrintProblem(const char* name, const std::string& text);
// The sentence for what stopped a conversion of `name`.
std::string DescribeProblem(const ConversionReport& report, const char* name);
// "1 record", "2 records".
std::string Plural(uint64_t count, const char* noun);
// "record 0042", as a dump shows its number.
std::string RecordName(uint32_t number);
// A few bytes of a text, quoted, for a message.
std::string Excerpt(const uint8_t* bytes, uint32_t length);
// What a dump cannot show of a speech file, in words; "" for LOSS_NONE.
std::string LossInWords(DumpLoss loss, uint32_t record, const uint8_t* shown);
// Why a rebuild refuses a file as no dump.
std::string NotADump(bool utf16);
// The progress line on standard error, only on a terminal and only once a run takes a while:
// "N of M files", and the share of a long file done. Installs the core's hooks.
void StartProgress(size_t total);
void ShowProgress(size_t done, const char* name);
void ClearProgress();

// ---- Inputs -------------------------------------------------------------------------------

bool FileStands(const char* name);
// The errno that a write under this name is bound to meet, known before any work is done: its
// folder does not stand (ENOENT, ENOTDIR), or a folder (EISDIR), a pipe or a device (EINVAL)
// stands in its place; 0 if none.
int WhyNoFileCanBeWritten(const char* name);
// Whether "mod" is this folder or the dump's under another name, where a rebuild would replace
// the speech file; a rebuild then refuses.
bool ModLeadsBack(const char* dump);
#define MOD_LEADS_BACK                                                                             \
    OUTPUT_DIRECTORY " leads back to this folder or the dump's (a link?), where the rebuild "      \
                     "would replace the speech file"
bool SameFile(const char* first, const char* second);
// One key for every name of a file in a folder that exists ("a.pot", "./a.pot", "link/a.pot").
std::string FileKey(const std::string& name);
// The names without a second name of one file: a file named twice ("*.txt a.txt") is converted
// once, in its first place, as a second conversion would take other carried-over values.
std::vector<const char*> OncePerFile(const std::vector<const char*>& names);
// `name` with its last three characters replaced.
std::string WithEnding(const std::string& name, const char* ending);

// Sets CurrentFileName to `input`; false, with the problem reported under `name`, when it is
// too long for it.
bool UseFileName(const char* name, const char* input);
// False, with the problem reported under `name`, when the last conversion had one.
bool Reported(const char* name, const char* input);
// Sets CurrentFileName to `input` and hands its bytes to `work` through the core's file layer,
// with the locks of the folders it works in (those of a rebuild unless told). False, with the
// problem reported under `name`, when the file could not be read or `work` failed.
bool RunCore(const char* name, const char* input, bool (*work)(const uint8_t*, uint32_t),
             FolderUse folders = INPUT_AND_CURRENT_FOLDER);
// Sets CurrentFileName to `input` and calls the window's converter for it. False, with the
// problem reported under `name`, when nothing was converted.
bool RunConverter(const char* name, const char* input, bool decoding);

// ---- Commands -----------------------------------------------------------------------------

// The input that wrote `output` earlier in this run, or NULL: a run writes each file once,
// though the same input come again under a name the run did not know for it (a link in
// another folder: what a dump writes depends on the side data beside it). RememberOutput
// notes that `name` wrote `output`.
const char* EarlierInputOf(const std::string& output);
void RememberOutput(const std::string& output, const char* name);
// Whether an earlier input wrote `output` (`shown` to the user): if so, says so under `name`,
// in the command's words ("decoded"), with what to do instead.
bool WrittenBefore(const char* name, const std::string& output, const std::string& shown,
                   const char* participle, const char* advice);
// The same for the mod file that `name`'s rebuild writes.
const char* EarlierDumpOfTheSameOutput(const char* name);
void RememberRebuild(const char* name);
// A file name as the file system tells names apart: on Windows, in one letter case.
std::string NameKey(std::string name);
// Whether side data found under the short name that a rebuild of `dump` looks for first is
// another dump's: its own side data stands with other bytes, or, with none of its own, the
// dump of that short name is another one.
bool SplicesAnotherDumpsSideData(const char* dump);
// Names side data found under the short name `first` as not the dump's own `sibling`:
// "0001.ext (the side data of 0001.txt), not this dump's own intro_0001.ext".
std::string OtherSideData(const char* first, const char* sibling);
// What to say when the dump's own side data stands beside it but no tail marker follows its
// records (its line deleted or moved), or ""; *earlierVersions when the speech file beside the
// dump has no tail either, so that the side data is an earlier version's.
std::string UnusedSideData(const char* dump, bool* earlierVersions);

// The HEADER and LINECOUNT values of the speech file `speech` that the dump `dump` does not
// show in a head as a decode writes it ("HEADER 4, not 3"): a dump of another version, as
// before a game patch, or edited. "" where it shows them, or nothing stands to tell.
std::string DumpOfAnotherVersion(const char* dump, const char* speech);

FileOutcome DecodeFile(const char* name);
FileOutcome RebuildFile(const char* name);
FileOutcome CheckFile(const char* name);
FileOutcome VerifyFile(const char* name);
FileOutcome ExportFile(const char* name);

// How the game stores its texts (--encoding); UTF-8 unless told.
extern TextEncoding GameEncoding;
extern bool EncodingGiven; // --encoding named it
extern bool ImportFuzzy;   // --fuzzy: fuzzy translations are used too

// export -o: one catalogue for all the files, written only when every one of them exported.
void ExportToOneCatalogue(const std::vector<const char*>& files, const char* catalogue,
                          size_t counts[3]);
// import: reads every catalogue first (one that is not valid PO stops the run before anything is
// written), then writes mod/NAME.spc for each speech file the catalogues name. Counts the
// speech files by outcome.
void ImportCatalogues(const std::vector<const char*>& catalogues, size_t counts[3]);

// ---- What a rebuild would make of a dump --------------------------------------------------

struct DumpFinding {
    uint32_t Line; // 0 when the finding concerns the dump as a whole
    bool Note;     // exact, but worth knowing
    std::string Text;
};

struct DumpJudgement {
    // Handed each finding in line order as it is made, when set; else they gather in Findings.
    void (*Emit)(const DumpFinding& finding) = NULL;
    std::vector<DumpFinding> Findings; // in line order
    uint32_t Problems = 0;             // findings that are not notes
    uint32_t RecordsWritten = 0;
    bool SideData = false;     // the rebuild would splice side data
    bool RebuildFails = false; // the rebuild would refuse the dump or fail on it
};

// Walks the dump `name` (its bytes given) as the rebuild does and lists every place where the
// rebuilt file, decoded again, would show something else than the dump shows. Header values
// missing from it are those of the dump judged or rebuilt before it in this run.
void JudgeDump(const char* name, const uint8_t* bytes, uint32_t size, DumpJudgement* result);
// JudgeDump of the dump named by CurrentFileName, into Judged: the work RunCore hands it to.
extern DumpJudgement Judged;
bool JudgeLoadedDump(const uint8_t* bytes, uint32_t size);

#ifdef _WIN32
// Whether the system's 8-bit code page holds every character of a text as it stands, with no
// stand-in ('?', or a look-alike: "L" for the Polish "Ł").
bool FitsCodePage(const wchar_t* text);
// A text in that code page, with '?' for what it lacks.
std::string InCodePage(const wchar_t* text);
#endif

#endif
