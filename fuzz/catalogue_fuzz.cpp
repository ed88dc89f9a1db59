// Arbitrary bytes as a PO catalogue, on a heap copy of exactly their size. The reader never
// crashes or reads past the end; what it accepts, written again by our writer and read back,
// gives the same contexts and msgids, and each text compares equal to its own bytes.
#include "fuzz_support.h"
#include "po_catalogue.h"

#include <stdlib.h>
#include <string.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    char* bytes = (char*)malloc(size + 1);
    Require(bytes != NULL, "room for the copy");
    memcpy(bytes, data, size);
    std::vector<CatalogueEntry> entries;
    CatalogueText header;
    CatalogueProblem problem;
    if (ReadCatalogue(bytes, size, &entries, &header, &problem)) {
        std::string written;
        std::vector<std::pair<std::string, std::string>> kept;
        for (const CatalogueEntry& entry : entries) {
            std::string id;
            AppendCatalogueText(bytes, entry.Id, &id);
            Require(CatalogueTextIs(bytes, entry.Id, id.data(), id.size()), "a text is itself");
            // The writer takes texts without NUL or EOT, under a context.
            if (entry.HasContext && id.find('\0') == std::string::npos &&
                id.find('\4') == std::string::npos &&
                entry.Context.find_first_of(std::string("\0\4\n\"\\", 5)) == std::string::npos) {
                AppendCatalogueEntry(&written, "x", entry.Context.c_str(), id.data(), id.size());
                kept.push_back({entry.Context, id});
            }
        }
        std::vector<CatalogueEntry> again;
        Require(ReadCatalogue(written.data(), written.size(), &again, &header, &problem),
                "what the writer writes reads back");
        Require(again.size() == kept.size(), "every entry written reads back");
        for (size_t k = 0; k < again.size(); ++k) {
            Require(again[k].Context == kept[k].first &&
                        CatalogueTextIs(written.data(), again[k].Id, kept[k].second.data(),
                                        kept[k].second.size()),
                    "contexts and msgids come back as they were");
        }
    }
    free(bytes);
    return 0;
}
