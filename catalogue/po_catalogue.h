// Our own reading and writing of gettext PO catalogues, for the translators' round trip:
// `quillmarsh export` writes a template with one entry per record text, `quillmarsh import`
// reads the translated catalogue back.
//
// An entry as the writer puts it down (the context names the speech file and the record):
//
//     #: 0001.spc:42
//     msgctxt "0001.spc:0042"
//     msgid "Press [A] to skip."
//     msgstr ""
//
// The reader takes what gettext's tools and polib write: every kind of comment, multi-line
// strings, every escape gettext knows, CR LF line ends, a byte-order mark.
#ifndef QUILLMARSH_CATALOGUE_PO_CATALOGUE_H
#define QUILLMARSH_CATALOGUE_PO_CATALOGUE_H

#include <stddef.h>
#include <stdint.h>
#include <string>
#include <vector>

// ---- Writing: appended to a string the caller owns and writes out -------------------------

// The header field that names how the game stores its texts, when not in UTF-8.
#define GAME_ENCODING_FIELD "X-Game-Encoding: "

// The header entry of a template, marked fuzzy as xgettext marks it. It holds nothing that
// changes between runs, so two exports of the same files are byte-identical. A game encoding,
// unless NULL, goes into the GAME_ENCODING_FIELD.
void AppendCatalogueHeader(std::string* out, const char* project, const char* generator,
                           const char* gameEncoding);

// One entry: a blank line, reference comment, msgctxt, msgid (the UTF-8 text) and an empty
// msgstr; so the catalogue ends in one line end, as gettext's tools write one. The text holds no
// NUL and no 0x04 byte, which gettext's tools refuse in a msgid (0x04 separates the context there);
// the caller leaves such texts out. The reference is written as it stands, on one line.
void AppendCatalogueEntry(std::string* out, const char* reference, const char* context,
                          const char* text, size_t length);

// ---- Reading ------------------------------------------------------------------------------

// A string of a catalogue as it stands there, escapes not undone: from the opening quote of its
// first piece to the closing quote of its last, over as many lines as it takes. Read without
// copying, since most catalogue strings are taken only once, to be compared.
struct CatalogueText {
    uint32_t Start;
    uint32_t End;
    bool Plain; // one piece, no escape: the text is the bytes between the two quotes
    bool Empty;
};

struct CatalogueEntry {
    bool HasContext;
    std::string Context;       // msgctxt
    CatalogueText Id;          // msgid
    CatalogueText Translation; // msgstr, or msgstr[0] of a plural entry
    bool Plural;               // msgid_plural: a record holds its first form alone
    bool Fuzzy;                // "fuzzy" among its flags
    // Fuzzy, and its "#| msgctxt" and "#| msgid" (msgmerge --previous) name its speech file and
    // its msgid, which has one translation there: only moved.
    bool Moved;
    // Not fuzzy, but its text has several translations in its speech file, and it stands
    // between a moved record's old and new place (a patch shifted the records around it): the
    // translation may be another record's.
    bool Doubtful;
    // Untranslated, while an obsolete entry of its speech file translates its text (msgmerge
    // without fuzzy matching, or msgattrib --set-obsolete).
    bool TranslatedWhenObsolete;
    uint32_t Line; // its first line (comment or keyword), from 1
};

struct CatalogueProblem {
    uint32_t Line; // from 1
    std::string What;
};

// Reads a whole catalogue from memory. The header entry (msgid "" without a context) goes to
// *header (its msgstr), not into *entries; obsolete entries ("#~") are skipped, and only
// those with a translation are counted, into *obsoleteTranslations when asked. False, with
// the problem nearest the start, when the bytes are not a valid catalogue; *entries and
// *header are then unspecified. The texts point into `bytes`, which must outlive them.
bool ReadCatalogue(const char* bytes, size_t size, std::vector<CatalogueEntry>* entries,
                   CatalogueText* header, CatalogueProblem* problem,
                   uint32_t* obsoleteTranslations = NULL);

// A text of the catalogue `bytes`, its escapes undone, appended to *out. Strings come back with
// bytes otherwise untouched: no charset is converted or checked, and an escape may give a NUL.
void AppendCatalogueText(const char* bytes, const CatalogueText& text, std::string* out);

// Whether a text of the catalogue `bytes` is these bytes.
bool CatalogueTextIs(const char* bytes, const CatalogueText& text, const char* other,
                     size_t length);

#endif
