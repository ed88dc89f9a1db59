// The command-line program's shared pieces: how one run reports, what it learns about an
// input before the core sees it, and the four commands, each taking one file at a time.
#ifndef QUILLMARSH_CLI_COMMAND_LINE_H
#define QUILLMARSH_CLI_COMMAND_LINE_H

#include "workspace.h"

#include <stdint.h>
#include <string>
#include <vector>

// What a command made of one file: done, done but with something the user must look at
// (a check or verify finding, a rebuild that lost its tail), or not done at all.
enum FileOutcome { FILE_DONE, FILE_FINDINGS, FILE_FAILED };

// ---- Reports ------------------------------------------------------------------------------

extern bool QuietRun; // -q: only problems and findings are printed

// "NAME: text" on standard output; not in a quiet run unless it is a finding.
void PrintResult(const char* name, const std::string& text, bool finding);
// "quillmarsh: NAME: text" on standard error.
void PrintProblem(const char* name, const std::string& text);
// The sentence for what stopped a conversion of `name`.
std::string DescribeProblem(const ConversionReport& report, const char* name);
// "N of M files" on standard error, only on a terminal and only once a run takes a while.
void ShowProgress(size_t done, size_t total);
void ClearProgress();

// ---- Inputs -------------------------------------------------------------------------------

// The name fits CurrentFileName; a longer one would reach the core cut short.
bool NameFits(const char* name, ConversionReport* report);
// NameFits, and the input is a regular file that opens: what check and verify, which read
// their inputs themselves, learn before they start.
bool PreflightInput(const char* name, ConversionReport* report);
bool ReadWholeFile(const char* name, std::string* bytes);
// An input that check or verify read themselves, whole; says what is wrong when it cannot.
bool ReadInput(const char* name, std::string* bytes);
bool WriteWholeFile(const char* name, const std::string& bytes);
bool FileStands(const char* name);
bool SameFile(const char* first, const char* second);
// CurrentFileName = name, which NameFits has found to fit.
void UseFileName(const char* name);
// `name` with its last three characters replaced.
std::string WithEnding(const std::string& name, const char* ending);

// ---- Commands -----------------------------------------------------------------------------

// Sets CurrentFileName to `input` and calls the window's converter for it. False, with the
// problem reported under `name`, when nothing was converted.
bool RunConverter(const char* name, const char* input, bool decoding);

FileOutcome DecodeFile(const char* name);
FileOutcome RebuildFile(const char* name);
FileOutcome CheckFile(const char* name);
FileOutcome VerifyFile(const char* name);

// ---- What a rebuild would make of a dump --------------------------------------------------

struct DumpFinding {
    uint32_t Line; // 0 when the finding concerns the dump as a whole
    bool Note;     // information only: the rebuild handles it
    std::string Text;
};

// Header values a rebuild keeps from the last dump that carried them, as the window does
// over one run, and the dump each came from.
struct CarriedHeader {
    uint32_t HeaderByte;
    uint32_t LineCount;
    std::string HeaderFrom;
    std::string LineCountFrom;
};

struct DumpAnalysis {
    std::vector<DumpFinding> Findings; // in line order
    uint32_t RecordsWritten;
    bool SideData; // the rebuild would splice side data
};

// Follows the rebuild's header scan and record walk over the dump `name` (its bytes given;
// side data is looked up in the current folder) and lists every place where the rebuilt
// file would differ from what the dump shows.
void AnalyseDump(const char* name, const std::string& bytes, CarriedHeader* carried,
                 DumpAnalysis* analysis);

#endif
