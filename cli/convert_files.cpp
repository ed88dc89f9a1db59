// decode and rebuild: the window's two conversions, one file at a time, through the same
// core calls, with what each did, or why it did not, said in one line.
#include "command_line.h"

#include <string.h>

bool RunConverter(const char* name, const char* input, bool decoding)
{
    UseFileName(input);
    if (decoding) {
        ConvertSpeechToText();
    } else {
        ConvertTextToSpeech();
    }
    if (LastConversion.Problem != PROBLEM_NONE) {
        PrintProblem(name, DescribeProblem(LastConversion, input));
        return false;
    }
    return true;
}

// Converts `name` as the window does.
static bool ConvertNamedFile(const char* name, bool decoding)
{
    ConversionReport report;
    if (!NameFits(name, &report)) {
        PrintProblem(name, DescribeProblem(report, name));
        return false;
    }
    return RunConverter(name, name, decoding);
}

static std::string CountsOf(const ConversionReport& report)
{
    std::string counts =
        std::to_string(report.RecordCount) + (report.RecordCount == 1 ? " record" : " records");
    if (report.TailSize != 0) {
        counts += report.ShortTail ? ", short tail " : ", tail ";
        counts += std::to_string(report.TailSize) + " bytes";
    }
    return counts;
}

FileOutcome DecodeFile(const char* name)
{
    if (!ConvertNamedFile(name, true)) {
        return FILE_FAILED;
    }
    std::string line = CountsOf(LastConversion) + " -> " + LastConversion.OutputName;
    if (LastConversion.SideDataName[0] != 0) {
        line += std::string(", ") + LastConversion.SideDataName;
    }
    PrintResult(name, line, false);
    return FILE_DONE;
}

FileOutcome RebuildFile(const char* name)
{
    if (!ConvertNamedFile(name, false)) {
        return FILE_FAILED;
    }
    std::string line = CountsOf(LastConversion);
    if (LastConversion.SideDataName[0] != 0) {
        line += std::string(" from ") + LastConversion.SideDataName;
    }
    line += std::string(" -> ") + LastConversion.OutputName;
    if (LastConversion.Repaired) {
        line += " (blanks in the markup repaired)";
    }
    PrintResult(name, line, false);
    if (LastConversion.SideDataMissing) {
        PrintProblem(name, "the dump ends in a tail marker, but its side data " +
                               WithEnding(name, "ext") + " is missing: " +
                               LastConversion.OutputName + " was written without its tail");
        return FILE_FAILED;
    }
    return FILE_DONE;
}
