// import: translated PO catalogues back into speech files. Each speech file a catalogue names
// is read from the current folder through the core's one walk of the format, and written to
// mod/NAME.spc with every translated record's text replaced; everything else, the tail
// included, is copied byte for byte.
#include "command_line.h"

#include "po_catalogue.h"
#include "speech_walk.h"

#include <algorithm>
#include <ctype.h>
#include <errno.h>
#include <iterator>
#include <map>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

bool ImportFuzzy;

// The entries of every catalogue, and for each speech file they name, which entry stands for
// which record.
struct SpeechFileEntries {
    std::string Name;                                  // as the system's calls take it
    bool Elsewhere;                                    // the catalogue names a folder or drive
    std::vector<std::pair<uint32_t, size_t>> ByRecord; // record number, entry; sorted
};

static std::vector<CatalogueEntry> Entries;
static std::vector<size_t> EntryCatalogue; // which catalogue each entry was read from
static std::vector<SpeechFileEntries> Files;
// The catalogues, kept in memory while the speech files are written: the entries point into them.
static std::vector<InputFile> Catalogues;
static std::vector<const char*> CatalogueNames;
static std::vector<bool> NamesGameEncoding; // each catalogue's header, an export's since be39888

static const char* BytesOf(size_t entry)
{
    return (const char*)Catalogues[EntryCatalogue[entry]].Bytes;
}

// The speech file and record an entry's context names ("0001.spc:0042"); false for an entry
// that names none.
static bool ContextOf(const CatalogueEntry& entry, std::string* file, uint32_t* record)
{
    size_t colon = entry.Context.rfind(':');
    if (!entry.HasContext || colon == std::string::npos || colon == 0 ||
        colon + 1 == entry.Context.size() || entry.Context.size() - colon > 6) {
        return false;
    }
    uint32_t number = 0;
    for (size_t k = colon + 1; k < entry.Context.size(); ++k) {
        char c = entry.Context[k];
        if (c < '0' || c > '9') {
            return false;
        }
        number = number * 10 + (uint32_t)(c - '0');
    }
    *file = entry.Context.substr(0, colon);
    *record = number;
    return number <= 0xFFFF;
}

// Whether `msgid` is `text` but for its control bytes BEL, BS, VT and FF written as a backslash
// and a letter: a tool that does not read gettext's \a \b \v \f (polib) saves them so.
static bool ShowsEscapesUnread(const std::string& msgid, const std::string& text)
{
    static const char letters[] = "abvf", controls[] = "\a\b\v\f";
    std::string read;
    for (size_t k = 0; k < msgid.size(); ++k) {
        const char* letter = msgid[k] == '\\' && k + 1 < msgid.size() && msgid[k + 1] != 0
                                 ? strchr(letters, msgid[k + 1])
                                 : NULL;
        read += letter != NULL ? controls[letter - letters] : msgid[k];
        k += letter != NULL;
    }
    return read.size() < msgid.size() && read == text;
}

// A catalogue's charset, as gettext writes it or in any letter case; ASCII, which msgconv
// writes for a catalogue without other characters, is UTF-8 too.
static bool NamesUtf8(const char* charset)
{
    TextEncoding encoding;
    std::string name(charset, strcspn(charset, " \n;\\"));
    std::transform(name.begin(), name.end(), name.begin(),
                   [](char c) { return (char)tolower((uint8_t)c); });
    return (FindTextEncoding(name.c_str(), &encoding) && encoding == ENCODING_UTF8) ||
           name == "ascii" || name == "us-ascii";
}

static std::string Where(size_t entry)
{
    return std::string(CatalogueNames[EntryCatalogue[entry]]) + ":" +
           std::to_string(Entries[entry].Line);
}

// Reads every catalogue and sorts its entries by speech file and record. False, with the
// problem said, when one is not a catalogue this import can use.
static bool ReadAll(const std::vector<const char*>& catalogues, bool* warned)
{
    std::map<std::string, size_t> fileIndex; // of Files, by the file a name stands for
    std::map<std::string, size_t> byName;    // ... and by each name it was given
    for (const char* catalogue : catalogues) {
        size_t before = Entries.size();
        InputFile file;
        if (!OpenInputFile(catalogue, &file)) {
            PrintProblem(catalogue,
                         DescribeProblem(LastConversion, catalogue) + "; nothing written");
            return false;
        }
        Catalogues.push_back(file);
        CatalogueNames.push_back(catalogue);
        std::vector<CatalogueEntry> entries;
        CatalogueText header;
        CatalogueProblem problem;
        const char* bytes = (const char*)file.Bytes;
        bool read = ReadCatalogue(bytes, file.Size, &entries, &header, &problem);
        // A catalogue that cannot be read may be one in another encoding, where a double-byte
        // character can end in a backslash or quote byte: its header is looked for as written.
        std::string fields;
        if (read) {
            AppendCatalogueText(bytes, header, &fields);
        } else {
            fields.assign(bytes, std::min<size_t>(file.Size, 4096));
        }
        std::string charset = fields.substr(std::min(fields.find("charset="), fields.size()));
        if (!charset.empty() && !NamesUtf8(charset.c_str() + 8)) {
            PrintProblem(catalogue, "is not in UTF-8 (" +
                                        charset.substr(0, strcspn(charset.c_str(), " \n;\\\"")) +
                                        "); convert it first with msgconv -t UTF-8");
            return false;
        }
        if (!read) {
            // As gettext's tools and editors name a place: "game.po:12".
            PrintProblem((catalogue + (":" + std::to_string(problem.Line))).c_str(),
                         problem.What + "; nothing written");
            return false;
        }
        std::move(entries.begin(), entries.end(), std::back_inserter(Entries));
        // An export names the game's encoding (an older one only where it is not UTF-8).
        size_t named = fields.find(GAME_ENCODING_FIELD);
        size_t from = named + strlen(GAME_ENCODING_FIELD);
        TextEncoding exported = GameEncoding;
        std::string name =
            named == std::string::npos ? "" : fields.substr(from, fields.find('\n', from) - from);
        // Blanks around a value are a hand edit's, not part of the name.
        name.erase(0, std::min(name.find_first_not_of(" \t"), name.size()));
        name.erase(name.find_last_not_of(" \t") + 1);
        bool known = FindTextEncoding(name.c_str(), &exported);
        if (!name.empty() && (!known || exported != GameEncoding)) {
            // msgmerge keeps the header of the catalogue it updates, this line included, when
            // the template was exported again with another encoding.
            std::string taken = TextEncodingName(GameEncoding);
            PrintProblem(catalogue,
                         "was exported for a game whose texts are in " + name +
                             (known && exported == ENCODING_UTF8
                                  ? "; import it without --encoding"
                                  : "; import it with --encoding " + name) +
                             " (or, if its template was exported " +
                             (EncodingGiven ? "with --encoding " + taken : "without --encoding") +
                             " since, make its line \"" GAME_ENCODING_FIELD + taken +
                             "\": msgmerge keeps a catalogue's own header)");
            return false;
        }
        NamesGameEncoding.push_back(!name.empty());
        EntryCatalogue.resize(Entries.size(), Catalogues.size() - 1);
        for (size_t k = before; k < Entries.size(); ++k) {
            std::string context;
            std::string file;
            uint32_t record = 0;
            if (!ContextOf(Entries[k], &context, &record)) {
                PrintProblem(Where(k).c_str(), "the entry names no speech file and record "
                                               "(msgctxt \"NAME.spc:0042\"); it is skipped");
                *warned = true;
                continue;
            }
            if (!FileNameFromUtf8(context, &file)) {
                PrintProblem(Where(k).c_str(), "the speech file's name holds a character that "
                                               "this system's code page lacks; it is skipped");
                *warned = true;
                continue;
            }
            auto named = byName.find(NameKey(file));
            if (named != byName.end()) {
                Files[named->second].ByRecord.push_back({record, k});
                continue;
            }
            // Told in UTF-8, where no byte of a character is a slash: in the code pages of East
            // Asia a backslash byte ends many.
#ifdef _WIN32
            bool elsewhere = strpbrk(context.c_str(), "/\\:") != NULL; // a drive's too
#else
            bool elsewhere = strpbrk(context.c_str(), "/\\") != NULL;
#endif
            // The same file under another name in the current folder (an 8.3 short name on
            // Windows) is one file; a name with a folder, which is refused, stays apart.
            auto found =
                fileIndex.emplace(elsewhere ? "/" + NameKey(file) : FileKey(file), Files.size());
            byName.emplace(NameKey(file), found.first->second);
            if (found.second) {
                Files.push_back(SpeechFileEntries{file, elsewhere, {}});
            }
            Files[found.first->second].ByRecord.push_back({record, k});
        }
    }
    bool differing = false; // each such record is named, so that one run tells them all
    for (SpeechFileEntries& file : Files) {
        std::stable_sort(file.ByRecord.begin(), file.ByRecord.end(),
                         [](const std::pair<uint32_t, size_t>& a,
                            const std::pair<uint32_t, size_t>& b) { return a.first < b.first; });
        // Two entries for one record, as when translators each return the whole catalogue with
        // their part translated: the one translation is taken, a reviewed one over a fuzzy
        // one (a reviewer's catalogue beside the one it was taken from); two that differ
        // otherwise are refused.
        std::vector<std::pair<uint32_t, size_t>> taken;
        std::string translation; // the taken entry's, made once however many entries follow
        size_t translationOf = SIZE_MAX;
        for (const std::pair<uint32_t, size_t>& entry : file.ByRecord) {
            if (taken.empty() || taken.back().first != entry.first) {
                taken.push_back(entry);
                continue;
            }
            const CatalogueEntry& first = Entries[taken.back().second];
            const CatalogueEntry& second = Entries[entry.second];
            if (!second.Translation.Empty && translationOf != taken.back().second) {
                translationOf = taken.back().second;
                translation.clear();
                AppendCatalogueText(BytesOf(translationOf), first.Translation, &translation);
            }
            if (!second.Translation.Empty &&
                !CatalogueTextIs(BytesOf(entry.second), second.Translation, translation.data(),
                                 translation.size())) {
                if (!first.Translation.Empty && first.Fuzzy == second.Fuzzy) {
                    PrintProblem(Where(entry.second).c_str(),
                                 "another translation of " + second.Context + " than at " +
                                     Where(taken.back().second) +
                                     "; nothing written (keep one of them)");
                    differing = true;
                    continue;
                }
                if (first.Translation.Empty || first.Fuzzy) {
                    taken.back() = entry;
                }
            } else if (first.Fuzzy && !second.Fuzzy && !second.Translation.Empty) {
                taken.back() = entry;
            }
        }
        file.ByRecord.swap(taken);
    }
    return !differing;
}

// What one speech file's import came to.
static SpeechFileEntries* Current;
static uint32_t Records;
static uint32_t Translated;
static uint32_t FuzzyKept;    // translations marked fuzzy, left out without --fuzzy
static uint32_t ObsoleteOnly; // texts translated only in an obsolete entry
static uint32_t MovedTaken;   // fuzzy only as moved records, taken all the same
static bool FileWarned;
static bool EncodingHinted;
static std::string Scratch;
static std::string Text;

static void WriteKept(OutputFile* output, const SpeechWalk& walk, const SpeechRecord& record)
{
    WriteOutput(output, walk.Bytes + walk.RecordStart, RECORD_HEAD_SIZE + record.TextLength);
}

// The record with the translation's bytes: its number as it was, the new length (past 65,535
// in all four bytes, as a rebuild writes it), the text masked.
static void WriteTranslated(OutputFile* output, const SpeechWalk& walk, const std::string& text)
{
    uint8_t head[RECORD_HEAD_SIZE];
    memcpy(head, walk.Bytes + walk.RecordStart, 2);
    for (int k = 0; k < 4; ++k) {
        head[2 + k] = (uint8_t)(text.size() >> (8 * k));
    }
    WriteOutput(output, head, sizeof head);
    WriteMaskedOutput(output, (const uint8_t*)text.data(), (uint32_t)text.size());
}

// Why a translation cannot be written in the game's encoding: it is not UTF-8, or it holds a
// character the encoding lacks, named by the first one ("U+20AC").
static std::string WhyUnwritable(const std::string& utf8)
{
    if (!IsValidUtf8((const uint8_t*)utf8.data(), (uint32_t)utf8.size())) {
        return "the translation is not valid UTF-8";
    }
    std::string why =
        std::string("the translation cannot be written in ") + TextEncodingName(GameEncoding);
    std::string bytes;
    for (size_t k = 0, n = 1; k < utf8.size(); k += n, n = 1) {
        while (k + n < utf8.size() && ((uint8_t)utf8[k + n] & 0xC0) == 0x80) {
            ++n;
        }
        if (!EncodeGameText(GameEncoding, (const uint8_t*)utf8.data() + k, (uint32_t)n, &bytes)) {
            uint32_t code = n == 1 ? (uint8_t)utf8[k] : (uint8_t)utf8[k] & (0x3F >> (n - 1));
            for (size_t m = 1; m < n; ++m) {
                code = code << 6 | ((uint8_t)utf8[k + m] & 0x3F);
            }
            char shown[24];
            snprintf(shown, sizeof shown, " (it holds U+%04X)", (unsigned)code);
            return why + shown;
        }
    }
    return why;
}

// Whether a text starts (1) and ends (2) with a line break: a translation that loses or gains
// one, which msgfmt --check refuses too, may break a game's layout.
static int BreaksAtEnds(const std::string& text)
{
    return (!text.empty() && text.front() == '\n') + 2 * (!text.empty() && text.back() == '\n');
}

static bool ImportInto(OutputFile* output, const uint8_t* bytes, uint32_t size)
{
    const char* name = Current->Name.c_str();
    WriteOutput(output, bytes, SPEECH_HEADER_SIZE);
    SpeechWalk walk;
    SpeechRecord record;
    StartSpeechWalk(&walk, bytes, size);
    std::vector<bool> used(Current->ByRecord.size(), false);
    uint32_t reported = 0;
    bool unwritable = false;
    while (NextSpeechRecord(&walk, &record)) {
        ReportProgress(walk.Position, size, &reported);
        ++Records;
        auto found = std::lower_bound(
            Current->ByRecord.begin(), Current->ByRecord.end(), record.LineNumber,
            [](const std::pair<uint32_t, size_t>& a, uint32_t number) { return a.first < number; });
        if (found == Current->ByRecord.end() || found->first != record.LineNumber) {
            WriteKept(output, walk, record);
            continue;
        }
        used[(size_t)(found - Current->ByRecord.begin())] = true;
        size_t entry = found->second;
        const CatalogueEntry& e = Entries[entry];
        Scratch.resize(record.TextLength);
        MaskBytes((uint8_t*)&Scratch[0], walk.Bytes + walk.RecordStart + RECORD_HEAD_SIZE,
                  record.TextLength);
        // A UTF-8 text is compared as it stands: checking it first would only cost a pass.
        const std::string* original =
            GameEncoding == ENCODING_UTF8 ? &Scratch : GameTextAsUtf8(GameEncoding, Scratch, &Text);
        if (original == NULL ||
            !CatalogueTextIs(BytesOf(entry), e.Id, original->data(), original->size())) {
            bool notUtf8 = GameEncoding == ENCODING_UTF8 &&
                           !IsValidUtf8((const uint8_t*)Scratch.data(), record.TextLength);
            // A msgid that is the game's bytes as UTF-8: exported without this --encoding.
            bool asUtf8 = GameEncoding != ENCODING_UTF8 &&
                          CatalogueTextIs(BytesOf(entry), e.Id, Scratch.data(), Scratch.size());
            if (notUtf8 && !EncodingGiven && !NamesGameEncoding[EntryCatalogue[entry]]) {
                // An older export's catalogue names no encoding: this game's may be another,
                // and the translations would go in as UTF-8.
                PrintProblem(name, "record " + std::to_string(record.LineNumber) +
                                       " is not valid UTF-8 text, and neither the catalogue nor "
                                       "--encoding names the game's encoding; nothing written "
                                       "for it (import with the --encoding it was exported "
                                       "with, or --encoding utf-8 if its texts are UTF-8)");
                return false;
            }
            if (original != NULL && !notUtf8 && !asUtf8) {
                std::string id;
                AppendCatalogueText(BytesOf(entry), e.Id, &id);
                PrintProblem(Where(entry).c_str(),
                             e.Context +
                                 (ShowsEscapesUnread(id, *original)
                                      ? ": the entry's msgid shows a control byte of the text as "
                                        "a backslash and a letter (\\f, say), as a tool that "
                                        "does not read gettext's \\a \\b \\v \\f saves it "
                                        "(polib, say); the text is kept (translate it in a tool "
                                        "that keeps such a msgid as exported)"
                                      : ": the entry's msgid is no longer the text of the speech "
                                        "file (the game was patched, or the catalogue exported "
                                        "with another --encoding?); the text is kept (export "
                                        "again and msgmerge)"));
            } else if (!EncodingHinted) {
                // No msgid can match such a text: said once per file, not once per entry.
                PrintProblem(name, "record " + std::to_string(record.LineNumber) +
                                       (asUtf8 ? " stands in the catalogue as UTF-8, not as "
                                               : " is not valid ") +
                                       TextEncodingName(GameEncoding) +
                                       " text; it and every such text are kept, as no entry "
                                       "can match them (import with the --encoding the "
                                       "catalogue was exported with)");
                EncodingHinted = true;
            }
            FileWarned = true;
            WriteKept(output, walk, record);
            continue;
        }
        // A translation that is the text itself keeps its bytes: an encoding may write a
        // character back as other bytes than the game's.
        ObsoleteOnly += e.TranslatedWhenObsolete;
        if (e.Translation.Empty ||
            CatalogueTextIs(BytesOf(entry), e.Translation, original->data(), original->size())) {
            WriteKept(output, walk, record);
            continue;
        }
        // (The game's text may stand in Scratch, which the translation takes next.)
        int textBreaks = BreaksAtEnds(*original);
        Scratch.clear();
        AppendCatalogueText(BytesOf(entry), e.Translation, &Scratch);
        // msgcat puts two translations of one entry into it, each under this line, and marks
        // it fuzzy: said before the fuzzy rule, which --fuzzy would not mend.
        if (Scratch.find("#-#-#-#-#  ") != std::string::npos) {
            PrintProblem(Where(entry).c_str(),
                         e.Context + ": the translation holds msgcat's \"#-#-#-#-#\" lines of "
                                     "two translations; the text is kept (choose one of them)");
            FileWarned = true;
            WriteKept(output, walk, record);
            continue;
        }
        // msgmerge marks a moved record fuzzy; with --previous it shows the msgid was the same.
        if (e.Fuzzy && !e.Moved && !ImportFuzzy) {
            ++FuzzyKept;
            WriteKept(output, walk, record);
            continue;
        }
        if (e.Doubtful && !ImportFuzzy) {
            PrintProblem(Where(entry).c_str(),
                         e.Context + ": this text has other translations in " + name +
                             ", and msgmerge moved records around this one: "
                             "this exact match may be another record's "
                             "translation; the text is kept (check this "
                             "entry's translation: it is taken once the moved, "
                             "fuzzy entries around it are reviewed, or with "
                             "--fuzzy)");
            FileWarned = true;
            WriteKept(output, walk, record);
            continue;
        }
        if (BreaksAtEnds(Scratch) != textBreaks) {
            PrintProblem(Where(entry).c_str(),
                         e.Context + ": the text and its translation do not both start and end "
                                     "with a line break (\\n), which msgfmt --check refuses; the "
                                     "text is kept");
            FileWarned = true;
            WriteKept(output, walk, record);
            continue;
        }
        Text.clear();
        if (!EncodeGameText(GameEncoding, (const uint8_t*)Scratch.data(), (uint32_t)Scratch.size(),
                            &Text)) {
            // Every such entry is named, so that one run finds them all.
            PrintProblem(Where(entry).c_str(), e.Context + ": " + WhyUnwritable(Scratch) +
                                                   "; nothing written for " + name);
            unwritable = true;
            WriteKept(output, walk, record);
            continue;
        }
        WriteTranslated(output, walk, Text);
        ++Translated;
        if (e.Plural) {
            PrintProblem(Where(entry).c_str(), e.Context + ": a plural entry (msgid_plural), "
                                                           "which a record cannot be: its first "
                                                           "form, msgstr[0], is taken");
            FileWarned = true;
        }
        MovedTaken += e.Moved && !ImportFuzzy;
    }
    WriteOutput(output, bytes + walk.TailStart, size - walk.TailStart);
    for (size_t k = 0; k < used.size(); ++k) {
        if (!used[k]) {
            size_t entry = Current->ByRecord[k].second;
            PrintProblem(Where(entry).c_str(), Entries[entry].Context + ": " + name +
                                                   " has no such record; the entry is skipped");
            FileWarned = true;
        }
    }
    return !unwritable;
}

// An editor saving a catalogue in place changes the bytes its entries stand on: nothing read
// from it since is written.
static bool CataloguesRewritten()
{
    for (size_t k = 0; k < Catalogues.size(); ++k) {
        if (FileWrittenInPlace(&Catalogues[k], CatalogueNames[k])) {
            ReportProblem(PROBLEM_INPUT_CHANGED, CatalogueNames[k]);
            return true;
        }
    }
    return false;
}

static bool WriteImported(const uint8_t* bytes, uint32_t size)
{
    if (!HoldsSpeechHead(size)) {
        return false;
    }
    char outputName[PATH_CAPACITY];
    if (!MakeOutputFolder(OUTPUT_DIRECTORY) || !BuildRebuiltName(outputName, sizeof outputName)) {
        return false;
    }
    OutputFile* output = OpenOutput(outputName, PRIMARY_OUTPUT, false);
    if (output == NULL) {
        return false;
    }
    snprintf(LastConversion.OutputName, sizeof LastConversion.OutputName, "%s", outputName);
    // Before and after: most often the editor saved while the import waited for the folder.
    return !CataloguesRewritten() && ImportInto(output, bytes, size) && !CataloguesRewritten() &&
           PublishOutput(output);
}

static void ImportFiles(const std::vector<const char*>& catalogues, size_t counts[3])
{
    bool warned = false;
    if (!ReadAll(catalogues, &warned)) {
        counts[FILE_NOT_DONE] += 1;
        return;
    }
    for (size_t f = 0; f < Files.size(); ++f) {
        const char* name = Files[f].Name.c_str();
        ShowProgress(f, name);
        Current = &Files[f];
        Records = Translated = FuzzyKept = MovedTaken = ObsoleteOnly = 0;
        FileWarned = EncodingHinted = false;
        bool elsewhere = Files[f].Elsewhere;
        if (elsewhere) {
            PrintProblem(name, "a catalogue names this speech file with its folder, and import "
                               "reads speech files from the current folder only: nothing written "
                               "for it (-C DIR works in another)");
        }
        // A name typed into a context, or a catalogue exported in another folder: said with the
        // entry that names it, as the file's own name alone would not tell where it came from.
        struct stat status;
        if (!elsewhere && stat(name, &status) != 0 && errno == ENOENT) {
            size_t first = std::min_element(Files[f].ByRecord.begin(), Files[f].ByRecord.end(),
                                            [](const std::pair<uint32_t, size_t>& a,
                                               const std::pair<uint32_t, size_t>& b) {
                                                return a.second < b.second;
                                            })
                               ->second;
            PrintProblem(Where(first).c_str(),
                         Entries[first].Context + ": no speech file " + name +
                             " stands in this folder, where import reads them (-C DIR works "
                             "in another); nothing written for it");
            ++counts[FILE_NOT_DONE];
            continue;
        }
        if (elsewhere || !RunCore(name, name, WriteImported, WRITING_INTO_MOD)) {
            ++counts[FILE_NOT_DONE];
            continue;
        }
        PrintResult(name,
                    Plural(Records, "record") + ", " + std::to_string(Translated) + " translated" +
                        (MovedTaken > 0 ? " (" + std::to_string(MovedTaken) + " of moved records)"
                                        : std::string()) +
                        ", " + std::to_string(Records - Translated) + " kept" +
                        // msgmerge marks a moved record fuzzy too: say why its text stayed.
                        (FuzzyKept > 0
                             ? " (" + std::to_string(FuzzyKept) + " fuzzy, taken only with --fuzzy)"
                             : std::string()) +
                        (ObsoleteOnly > 0 ? " (" + std::to_string(ObsoleteOnly) +
                                                " translated only in an obsolete entry, \"#~\")"
                                          : std::string()) +
                        " -> " + LastConversion.OutputName,
                    false);
        ++counts[FileWarned || warned ? FILE_FINDINGS : FILE_DONE];
    }
    if (Files.empty()) {
        PrintProblem(catalogues[0], "names no speech file; nothing written");
        counts[FILE_NOT_DONE] += 1;
    }
}

void ImportCatalogues(const std::vector<const char*>& catalogues, size_t counts[3])
{
    ImportFiles(catalogues, counts);
    for (InputFile& catalogue : Catalogues) {
        CloseInputFile(&catalogue);
    }
    // The entries point into the catalogues just closed: nothing of them may reach a next call.
    Catalogues.clear();
    CatalogueNames.clear();
    NamesGameEncoding.clear();
    Entries.clear();
    EntryCatalogue.clear();
    Files.clear();
}
