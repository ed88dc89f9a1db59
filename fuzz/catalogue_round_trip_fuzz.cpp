// Arbitrary speech files exported to a template in one of the game's encodings, every text then
// translated into itself with "!" after it, imported, and the imported file exported again.
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

// The contexts and msgids of a catalogue, its header aside, each msgid with `after` after it.
static std::string TextsOf(const char* name, const char* after)
{
    std::string bytes = Contents(name);
    std::vector<CatalogueEntry> entries;
    CatalogueText header;
    CatalogueProblem problem;
    Require(ReadCatalogue(bytes.data(), bytes.size(), &entries, &header, &problem),
            "an exported template reads back");
    std::string texts;
    for (const CatalogueEntry& entry : entries) {
        texts += entry.Context + '\0';
        AppendCatalogueText(bytes.data(), entry.Id, &texts);
        texts += std::string(after) + '\0';
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
    std::string texts = TextsOf("0001.pot", "!");
    // Each empty msgstr after a msgid takes the msgid's string, as it stands over its lines,
    // with "!" put before its closing quote.
    for (size_t at = pot.find("\nmsgid \"\"\n");
         (at = pot.find("\nmsgid ", at + 1)) != std::string::npos;) {
        size_t end = pot.find("\nmsgstr \"\"\n", at);
        Require(end != std::string::npos, "every msgid has its msgstr");
        std::string id = pot.substr(at + 7, end - at - 8);
        pot.replace(end, 11, "\nmsgstr " + id + "!\"\n");
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
    Require(TextsOf("mod/0001.pot", "") == texts, "each text comes back in its record, translated");
    Require(FilesInScratchFolder() == 5u, "no temporary file is left");
    return 0;
}
