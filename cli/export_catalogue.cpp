// export: speech files to gettext PO templates, one entry per record that has a text, for the
// translation platforms and editors translators work in. The speech files are read through the
// core's one walk of the format; the catalogue writer is our own.
#include "command_line.h"

#include "file_io.h"
#include "po_catalogue.h"
#include "speech_walk.h"

#include <errno.h>
#include <map>
#include <stdio.h>
#include <string.h>

TextEncoding GameEncoding = ENCODING_UTF8;
bool EncodingGiven = false;

// What one export run is at: the catalogue being written, the speech file's name as the
// catalogue knows it, and the scratch the texts pass through.
static std::string Catalogue;
static const char* ExportedName;
static std::string ExportedBase; // in UTF-8
static uint32_t ExportedTexts;
static uint32_t InvalidTexts; // not valid in the game's encoding, left out
static bool ExportWarned;
static std::string Unmasked;
static std::string Place;   // of an entry: its reference,
static std::string Context; // and its msgctxt
static std::string Utf8;
static OutputFile* Output; // a template written as its entries are found; NULL: gathered
static const uint32_t CATALOGUE_TEXT_LIMIT = 256u << 20;

// The entries of a loaded speech file, appended to Catalogue.
static bool AppendEntries(const uint8_t* bytes, uint32_t size)
{
    if (!HoldsSpeechHead(size)) {
        return false;
    }
    SpeechWalk walk;
    SpeechRecord record;
    uint32_t reported = 0;
    uint32_t firstInvalid = 0;
    StartSpeechWalk(&walk, bytes, size);
    while (NextSpeechRecord(&walk, &record)) {
        ReportProgress(walk.Position, size, &reported);
        if (record.TextLength == 0) {
            continue; // msgid "" is the catalogue's header
        }
        // Held unmasked and again escaped, a longer text would not fit a 32-bit program's
        // memory beside its speech file; no game has one.
        if (record.TextLength > CATALOGUE_TEXT_LIMIT) {
            PrintProblem(ExportedName, "record " + std::to_string(record.LineNumber) + " is " +
                                           std::to_string(record.TextLength) +
                                           " bytes long, more than a catalogue entry may hold "
                                           "(256 MiB); it is left out, and an import keeps it "
                                           "as it is");
            ExportWarned = true;
            continue;
        }
        Unmasked.resize(record.TextLength);
        MaskBytes((uint8_t*)&Unmasked[0], bytes + walk.RecordStart + RECORD_HEAD_SIZE,
                  record.TextLength);
        // "NAME:42" and "NAME:0042", in strings kept from entry to entry, as a file may
        // have tens of thousands of short texts.
        std::string digits = std::to_string(record.LineNumber);
        Place.assign(ExportedBase).append(1, ':').append(digits);
        Context.assign(Place, 0, ExportedBase.size() + 1)
            .append(digits.size() < 4 ? 4 - digits.size() : 0, '0')
            .append(digits);
        // gettext's tools refuse a whole catalogue for a NUL or an EOT (its context separator)
        // in a string.
        if (memchr(Unmasked.data(), 0, Unmasked.size()) != NULL ||
            memchr(Unmasked.data(), 4, Unmasked.size()) != NULL) {
            PrintProblem(ExportedName, "record " + std::to_string(record.LineNumber) +
                                           " holds a NUL or EOT byte, which a catalogue cannot "
                                           "carry; it is left out, and an import keeps it as "
                                           "it is");
            ExportWarned = true;
            continue;
        }
        // An engine's control bytes in one text leave that text out, not the file; many such
        // texts are more likely another encoding, which the count makes plain.
        const std::string* text = GameTextAsUtf8(GameEncoding, Unmasked, &Utf8);
        if (text == NULL) {
            firstInvalid = InvalidTexts++ == 0 ? record.LineNumber : firstInvalid;
            continue;
        }
        AppendCatalogueEntry(&Catalogue, Place.c_str(), Context.c_str(), text->data(),
                             text->size());
        ++ExportedTexts;
        if (Output != NULL && Catalogue.size() >= OUTPUT_STAGING_CAPACITY) {
            WriteOutput(Output, Catalogue.data(), (uint32_t)Catalogue.size());
            Catalogue.clear();
        }
    }
    if (InvalidTexts > 0) {
        std::string first = "record " + std::to_string(firstInvalid);
        PrintProblem(ExportedName,
                     (InvalidTexts == 1 ? first + " is"
                                        : std::to_string(InvalidTexts) +
                                              " records (the first: " + first + ") are") +
                         " not valid " + TextEncodingName(GameEncoding) + " text, left out" +
                         (ExportedTexts == 0  ? "; with no text left, an import will not write "
                                                "this file"
                          : InvalidTexts == 1 ? "; an import keeps it as it is"
                                              : "; an import keeps them as they are") +
                         " (--encoding names how the game stores its texts)");
        ExportWarned = true;
    }
    return true;
}

// Why a file that stands where a catalogue goes is left as it is, or "": one that holds
// translations, obsolete ones included, is someone's work, which --force replaces; one that
// is no catalogue at all (a speech file named by mistake) is never replaced.
static std::string KeptInPlace(const char* name)
{
    uint8_t* bytes = NULL;
    uint32_t size = 0;
    if (ReadWholeSideFile(name, &bytes, &size) != LOAD_OK) {
        return "";
    }
    std::vector<CatalogueEntry> entries;
    CatalogueText header;
    CatalogueProblem problem;
    uint32_t translated = 0;
    bool catalogue =
        ReadCatalogue((const char*)bytes, size, &entries, &header, &problem, &translated);
    for (const CatalogueEntry& entry : entries) {
        translated += !entry.Translation.Empty;
    }
    free(bytes);
    if (!catalogue) {
        return "is not a catalogue; left as it is (remove it, or name another catalogue)";
    }
    return GuardEdits && translated > 0 ? "holds translations; left as it is (--force replaces it)"
                                        : "";
}

// The game's encoding is named in the catalogue, UTF-8 too, so that an import with another
// --encoding, or without the one named, is refused rather than writing the translations in the
// wrong one (an English game's texts, all ASCII, tell nothing).
static void AppendHeader(const char* project)
{
    AppendCatalogueHeader(&Catalogue, project, "quillmarsh " QUILLMARSH_VERSION,
                          TextEncodingName(GameEncoding));
}

// FILE.pot beside the speech file, written as its entries are found.
static bool WriteTemplate(const uint8_t* bytes, uint32_t size)
{
    std::string name = WithEnding(CurrentFileName, "pot");
    std::string kept = KeptInPlace(name.c_str());
    if (!kept.empty()) {
        PrintProblem(name.c_str(), kept);
        return false;
    }
    Output = OpenOutput(name.c_str(), PRIMARY_OUTPUT, false);
    if (Output == NULL) {
        return false;
    }
    Catalogue.clear();
    AppendHeader(ExportedBase.c_str());
    bool written = AppendEntries(bytes, size);
    WriteOutput(Output, Catalogue.data(), (uint32_t)Catalogue.size());
    Catalogue.clear();
    written = written && PublishOutput(Output);
    snprintf(LastConversion.OutputName, sizeof LastConversion.OutputName, "%s", name.c_str());
    Output = NULL;
    return written;
}

// `target` is "-> FILE.pot" for a written template, "for CATALOGUE" for entries gathered into
// one that is written only when every file is.
static std::vector<std::pair<const char*, std::string>>* HeldLines; // until the catalogue stands

static FileOutcome Exported(const char* name, bool converted, const std::string& target)
{
    if (!converted) {
        return FILE_NOT_DONE;
    }
    std::string line = Plural(ExportedTexts, "text") + " " + target;
    if (HeldLines != NULL) {
        HeldLines->emplace_back(name, line);
    } else {
        PrintResult(name, line, false);
    }
    if (ExportedTexts == 0 && InvalidTexts == 0) {
        // Import knows a speech file only by its entries.
        PrintProblem(name, "has no text a catalogue can carry, so an import will not write it "
                           "(copy it as it is)");
        ExportWarned = true;
    }
    return ExportWarned ? FILE_FINDINGS : FILE_DONE;
}

// False, with the reason said, for a speech file whose name a catalogue cannot carry in its
// references and contexts: one that is not UTF-8 text on one line (on Windows, once taken from
// the code page), or that holds the backslash import takes for a folder.
static bool StartFile(const char* name)
{
    ExportedName = name;
    // The whole name first: in the code pages of East Asia a backslash byte ends many
    // characters, so only in UTF-8 does the last one part a folder from the name.
    bool carried = FileNameAsUtf8(name, &ExportedBase);
    ExportedBase.erase(0, (size_t)(BaseNameOf(ExportedBase.c_str()) - ExportedBase.c_str()));
    ExportedTexts = InvalidTexts = 0;
    ExportWarned = false;
    size_t length = ExportedBase.size();
    carried =
        carried && length > 0 && IsValidUtf8((const uint8_t*)ExportedBase.data(), (uint32_t)length);
    for (size_t k = 0; k < length; ++k) {
        uint8_t c = (uint8_t)ExportedBase[k];
        carried = carried && c >= 0x20 && c != 0x7F && c != '\\';
    }
    if (!carried) {
        PrintProblem(name, "a catalogue cannot carry this name (it holds a control character such "
                           "as a tab or a line break, a backslash or bytes that are not UTF-8); "
                           "rename the file");
        return false;
    }
    return true;
}

FileOutcome ExportFile(const char* name)
{
    std::string output = WithEnding(name, "pot");
    std::string key = FileKey(output);
    if (WrittenBefore(name, key, output, "exported", "rename one of them")) {
        return FILE_NOT_DONE;
    }
    if (!StartFile(name)) {
        return FILE_NOT_DONE;
    }
    bool converted = RunCore(name, name, WriteTemplate, INPUT_FOLDER);
    if (converted) {
        RememberOutput(key, name);
    }
    return Exported(name, converted, std::string("-> ") + LastConversion.OutputName);
}

void ExportToOneCatalogue(const std::vector<const char*>& files, const char* catalogue,
                          size_t counts[3])
{
    // The entries of every file gathered first: a catalogue goes up to a platform whole or not
    // at all, and one that lacked a file's texts would delete them there.
    std::map<std::string, const char*> byBaseName;
    for (const char* file : files) {
        auto found = byBaseName.emplace(NameKey(BaseNameOf(file)), file);
        if (!found.second || SameFile(file, catalogue)) {
            PrintProblem(file, found.second
                                   ? "is also the catalogue to write; nothing written"
                                   : std::string("has the same name as ") + found.first->second +
                                         "; one catalogue cannot tell them apart");
            counts[FILE_NOT_DONE] = files.size();
            return;
        }
    }
    // Judged once, before any file is read, and outside the folder's lock: translations saved
    // into it while the files are read are not seen. A catalogue that cannot be written is
    // said so then too, so that no line claims texts for it.
    std::string kept = KeptInPlace(catalogue);
    ConversionReport unwritable = {};
    unwritable.SystemError = kept.empty() ? WhyNoFileCanBeWritten(catalogue) : 0;
    if (unwritable.SystemError != 0) {
        bool standing = unwritable.SystemError == EISDIR || unwritable.SystemError == EINVAL;
        unwritable.Problem = standing ? PROBLEM_CANNOT_REPLACE : PROBLEM_CANNOT_CREATE;
        kept = DescribeProblem(unwritable, catalogue);
    }
    if (!kept.empty()) {
        PrintProblem(catalogue, kept);
        counts[FILE_NOT_DONE] = files.size();
        return;
    }
    Catalogue.clear();
    std::string title;
    if (!FileNameAsUtf8(catalogue, &title)) {
        title = "messages";
    }
    AppendHeader(BaseNameOf(title.c_str()));
    // Each file's line is printed once the catalogue is written: none claims texts for one that
    // is not.
    std::vector<std::pair<const char*, std::string>> lines;
    HeldLines = &lines;
    bool whole = true;
    for (size_t i = 0; i < files.size(); ++i) {
        ShowProgress(i, files[i]);
        FileOutcome outcome =
            StartFile(files[i])
                ? Exported(files[i], RunCore(files[i], files[i], AppendEntries, INPUT_FOLDER),
                           std::string("for ") + catalogue)
                : FILE_NOT_DONE;
        ++counts[outcome];
        whole = whole && outcome != FILE_NOT_DONE;
    }
    HeldLines = NULL;
    bool published = false;
    if (!whole) {
        PrintProblem(catalogue, "not written, as not every speech file could be exported");
    } else {
        ShowProgress(files.size(), catalogue); // a wait for its folder names it
        published = PublishBytes(catalogue, Catalogue.data(), Catalogue.size());
        if (!published) {
            PrintProblem(catalogue, DescribeProblem(LastConversion, catalogue));
        }
    }
    if (!published) {
        // Without the catalogue no file is exported.
        counts[FILE_DONE] = counts[FILE_FINDINGS] = 0;
        counts[FILE_NOT_DONE] = files.size();
    }
    for (size_t k = 0; published && k < lines.size(); ++k) {
        PrintResult(lines[k].first, lines[k].second, false);
    }
    Catalogue.clear();
}
