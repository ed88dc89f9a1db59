// Arbitrary speech files exported to a template in one of the game's encodings, every text then
// translated into itself with "!" after it (before the line breaks it ends in, which a
// translation keeps), imported, and the imported file exported again.
// Nothing crashes, changes a speech file or leaves a temporary file; every exported text is
// translated; and the second template holds the first one's texts, each with its "!": export
// and import agree on every text, and import writes each one whole, in its record.
//
// The first byte picks the encoding; every later byte is XORed with the text mask, so that the
// fuzzer sees the texts in the clear (and the record heads masked). The run works in a private
// folder in RAM, entered at the first input: give libFuzzer its paths absolute.
#include "command_line.h"
#include "fuzz_support.h"
#include "po_catalogue.h"

// A text with "!" put before the line breaks it ends in, or between two where it holds nothing
// else: it starts and ends as the text does, as a translation must.
static std::string Translated(std::string text)
{
    size_t last = text.find_last_not_of('\n');
    return last == std::string::npos ? text.insert(0, text.empty() ? "!" : "\n!")
                                     : text.insert(last + 1, "!");
}

// The contexts and msgids of a catalogue, its header aside, each msgid translated when asked.
static std::string TextsOf(const char* name, bool translated)
{
    std::string bytes = Contents(name);
    std::vector<CatalogueEntry> entries;
    CatalogueText header;
    CatalogueProblem problem;
    Require(ReadCatalogue(bytes.data(), bytes.size(), &entries, &header, &problem),
            "an exported template reads back");
    std::string texts;
    for (const CatalogueEntry& entry : entries) {
        std::string text;
        AppendCatalogueText(bytes.data(), entry.Id, &text);
        texts += entry.Context + '\0' + (translated ? Translated(text) : text) + '\0';
    }
    return texts;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    StartInFreshFolder();
    QuietRun = true;
    GameEncoding = (TextEncoding)(size != 0 ? data[0] % ENCODING_COUNT : 0);
    std::string speech;
    for (size_t k = 1; k < size; ++k) {
        speech += (char)(data[k] ^ TEXT_MASK);
    }
    std::ofstream("0001.spc", std::ios::binary) << speech;
    bool exported = ExportFile("0001.spc") != FILE_NOT_DONE;
    Require(FilesInScratchFolder() == 1u + exported, "export writes the template alone");
    std::string pot = Contents("0001.pot");
    // msgcat's marker in a translation keeps the text.
    if (!exported || pot.find("#-#-#-#-#") != std::string::npos) {
        return 0;
    }
    std::string texts = TextsOf("0001.pot", true);
    // Each empty msgstr after a msgid takes the msgid's text translated, written as an export
    // writes a msgid.
    std::vector<CatalogueEntry> entries;
    CatalogueText header;
    CatalogueProblem problem;
    std::string templateBytes = pot;
    Require(ReadCatalogue(templateBytes.data(), templateBytes.size(), &entries, &header, &problem),
            "an exported template reads back");
    size_t at = pot.find("\nmsgid \"\"\n");
    for (const CatalogueEntry& entry : entries) {
        std::string text;
        std::string written;
        AppendCatalogueText(templateBytes.data(), entry.Id, &text);
        text = Translated(text);
        AppendCatalogueEntry(&written, "x", "c", text.data(), text.size());
        size_t id = written.find("\nmsgid ") + 7;
        at = pot.find("\nmsgstr \"\"\n", pot.find("\nmsgid ", at + 1));
        Require(at != std::string::npos, "every msgid has its msgstr");
        pot.replace(at, 11,
                    "\nmsgstr " + written.substr(id, written.find("\nmsgstr ") - id) + "\n");
    }
    std::ofstream("0001.po", std::ios::binary) << pot;
    size_t counts[3] = {};
    ImportCatalogues({"0001.po"}, counts);
    Require(Contents("0001.spc") == speech, "neither command changes the speech file");
    Require(counts[FILE_DONE] == (texts.empty() ? 0u : 1u), "every text is translated");
    if (texts.empty()) {
        return 0;
    }
    Require(ExportFile("mod/0001.spc") != FILE_NOT_DONE, "the imported file exports");
    Require(TextsOf("mod/0001.pot", false) == texts,
            "each text comes back in its record, translated");
    Require(FilesInScratchFolder() == 5u, "no temporary file is left");
    return 0;
}
