// Reading PO catalogues.
//
// One pass over the lines, each found with memchr; inside a string, the runs between escapes
// are appended whole. An entry is its comments, then msgctxt, msgid, msgid_plural, msgstr or
// msgstr[N], each with one or more strings on its line and on the lines that follow. Blank
// lines may stand anywhere, as for gettext.
#include "po_catalogue.h"

#include <algorithm>
#include <map>
#include <set>
#include <stdio.h>
#include <string.h>
#include <unordered_map>

// The strings of "#|" or "#~" lines, which make no entry the reader keeps: msgmerge's msgctxt and
// msgid that a translation was made for, or an obsolete entry's. Each Has... says its keyword
// stood there and its strings could be read.
struct CommentStrings {
    std::string Context;
    std::string Id;
    std::string Translation; // msgstr, and msgstr[N] after it
    bool HasContext;
    bool HasId;
    bool HasTranslation;
    std::string* Current; // where string lines go; NULL: nowhere
};

struct PoReader {
    std::vector<CatalogueEntry>* Entries;
    CatalogueText* Header;
    CatalogueProblem* Problem;
    uint32_t Line;
    // Comments read for the entry to come.
    uint32_t CommentLine; // 0: none
    bool Fuzzy;
    // What a translation was made for, from msgmerge --previous ("#|"): gathered with the
    // comments, and the entry's own until it ends, as a comment ends it.
    CommentStrings Previous;
    std::vector<std::pair<size_t, std::string>> MovedFrom; // each moved entry's earlier context
    // The entry being read, Entries->back() while Open.
    bool Open;
    bool HasId;
    bool HasPlural;
    bool HasTranslation;
    uint32_t ContextLine;
    uint32_t IdLine;
    bool HeaderSeen;
    // The keyword that string lines go to; NULL after a comment.
    const char* Keyword;
    uint32_t KeywordLine;
    bool KeywordHasString;
    // Where its strings go at the next keyword: a context is gathered in Strings (kept for the
    // run) and copied to Destination; any other string is noted as it stands, in Text.
    const char* Base;
    std::string Strings;
    std::string* Destination;
    CatalogueText* Text;
    CatalogueText ContextText; // where a context stands, which is kept as a string
    CatalogueText Ignored;     // msgid_plural, msgstr[1] and on
    uint32_t Pieces;
    bool Escaped;
    bool HasBytes;
    // Obsolete entries ("#~"): the one being read, and those with a translation, counted and
    // kept by TextKey.
    CommentStrings Obsolete;
    uint32_t ObsoleteTranslations;
    std::vector<std::pair<std::string, std::string>> ObsoleteByText;
};

// The speech file an entry's context names ("0001.spc" of "0001.spc:0042").
static std::string FileOf(const std::string& context)
{
    return context.substr(0, context.rfind(':'));
}

// A text as it stands in one speech file, whatever the record.
static std::string TextKey(const std::string& context, const std::string& text)
{
    return FileOf(context) + '\0' + text;
}

static bool Fail(PoReader* r, uint32_t line, std::string what)
{
    r->Problem->Line = line;
    r->Problem->What = std::move(what);
    return false;
}

// A word that is no keyword, quoted for a message: its control bytes written out, so that a
// binary file named as a catalogue cannot garble the terminal or cut the message at a NUL.
static std::string UnknownKeyword(const char* word, size_t length)
{
    std::string text = "unknown keyword '";
    for (size_t k = 0; k < length && k < 24; ++k) {
        char escaped[8] = {word[k]};
        if ((uint8_t)word[k] < 0x20 || word[k] == 0x7F) {
            snprintf(escaped, sizeof escaped, "\\x%02X", (uint8_t)word[k]);
        }
        text += escaped;
    }
    return text + (length > 24 ? "...'" : "'");
}

// The blanks gettext's tools pass over between words, form feeds and vertical tabs included.
static bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\f' || c == '\v';
}

static int HexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') {
        return (c | 0x20) - 'a' + 10;
    }
    return -1;
}

// The escape after a backslash at p, its byte in *byte; what follows it, or NULL when it is not
// an escape.
static const char* ReadEscape(const char* p, const char* end, uint8_t* byte)
{
    // Each letter, then the byte it stands for.
    static const char simple[] = "n\nt\tr\r\"\"\\\\a\ab\bf\fv\v";
    const char* named = (const char*)memchr(simple, *p, sizeof simple - 1);
    if (named != NULL && (named - simple) % 2 == 0) {
        *byte = (uint8_t)named[1];
        return p + 1;
    }
    unsigned value = 0;
    const char* digits = p;
    if (*p >= '0' && *p <= '7') {
        // Up to three octal digits.
        for (; p < end && p < digits + 3 && *p >= '0' && *p <= '7'; ++p) {
            value = value * 8 + (unsigned)(*p - '0');
        }
    } else if (*p == 'x') {
        // As many hex digits as follow, as gettext reads them, kept to their last byte as it
        // keeps them.
        for (digits = ++p; p < end && HexDigit(*p) >= 0; ++p) {
            value = (value * 16 + (unsigned)HexDigit(*p)) & 0xFF;
        }
    }
    *byte = (uint8_t)value;
    return p == digits ? NULL : p;
}

// A NUL ends a text for gettext's tools, which take what stands before it alone, and an EOT
// separates a context from its text there: no meaning of either is safe to write into a game.
static bool RefusedByte(uint8_t byte)
{
    return byte == 0 || byte == 4;
}

// The quoted string that starts at p, its bytes appended to *out (when there is one); *next is
// just past it. Between escapes, whole runs are copied. False, with *next at the trouble, for a
// string not closed on its line, an invalid escape, or a refused byte.
static bool ReadQuoted(const char* p, const char* end, std::string* out, const char** next,
                       bool* escaped, bool* hasBytes)
{
    ++p;
    const char* quote = (const char*)memchr(p, '"', (size_t)(end - p));
    for (;;) {
        if (quote == NULL) {
            *next = NULL;
            return false;
        }
        const char* escape = (const char*)memchr(p, '\\', (size_t)(quote - p));
        const char* run = escape != NULL ? escape : quote;
        const char* refused = std::find_if(p, run, [](char c) { return RefusedByte((uint8_t)c); });
        if (refused != run) {
            *next = refused;
            return false;
        }
        if (out != NULL) {
            out->append(p, (size_t)(run - p));
        }
        *hasBytes = *hasBytes || run > p;
        if (escape == NULL) {
            *next = quote + 1;
            return true;
        }
        *escaped = *hasBytes = true;
        *next = escape;
        uint8_t byte = 0;
        p = ReadEscape(escape + 1, end, &byte);
        if (p == NULL || RefusedByte(byte)) {
            return false;
        }
        if (out != NULL) {
            out->push_back((char)byte);
        }
        // The quote found may have been the escaped one.
        if (quote < p) {
            quote = (const char*)memchr(p, '"', (size_t)(end - p));
        }
    }
}

// The quoted string that starts at p, for the keyword being read; *next is just past it.
static bool ReadString(PoReader* r, const char* p, const char* end, const char** next)
{
    if (!ReadQuoted(p, end, r->Destination != NULL ? &r->Strings : NULL, next, &r->Escaped,
                    &r->HasBytes)) {
        if (*next == NULL) {
            return Fail(r, r->Line, "unterminated string");
        }
        const char* at = *next;
        uint8_t byte = (uint8_t)*at;
        const char* after = *at == '\\' ? ReadEscape(at + 1, end, &byte) : at + 1;
        if (after == NULL) {
            return Fail(r, r->Line, "invalid escape \\" + std::string(at + 1, 1));
        }
        std::string what = *at != '\\' ? "a raw byte" : "the escape " + std::string(at, after);
        return Fail(r, r->Line,
                    what + (byte == 0 ? " is a NUL, which ends a text; take it out"
                                      : " is gettext's context separator (EOT), which msgfmt "
                                        "refuses in a text; take it out"));
    }
    if (r->Pieces++ == 0) {
        r->Text->Start = (uint32_t)(p - r->Base);
    }
    r->Text->End = (uint32_t)(*next - r->Base);
    return true;
}

// The strings from p to the end of the line, one after another as gettext allows.
static bool ReadStrings(PoReader* r, const char* p, const char* end)
{
    for (;;) {
        while (p < end && IsBlank(*p)) {
            ++p;
        }
        if (p == end || *p == '#') {
            return true; // a note after the strings, which gettext reads as a comment
        }
        if (*p != '"') {
            return Fail(r, r->Line, "text outside any string");
        }
        if (!ReadString(r, p, end, &p)) {
            return false;
        }
        r->KeywordHasString = true;
    }
}

// String lines from here on go to `text` (and, gathered, to `destination` when there is one).
static void SetKeyword(PoReader* r, const char* keyword, CatalogueText* text,
                       std::string* destination)
{
    r->Keyword = keyword;
    r->KeywordLine = r->Line;
    r->KeywordHasString = false;
    r->Strings.clear();
    r->Destination = destination;
    r->Text = text;
    r->Pieces = 0;
    r->Escaped = r->HasBytes = false;
}

// The keyword before has its string(s); string lines from here on belong to no keyword.
static bool EndKeyword(PoReader* r)
{
    if (r->Keyword != NULL && !r->KeywordHasString) {
        return Fail(r, r->KeywordLine, std::string(r->Keyword) + " without its string");
    }
    if (r->Keyword != NULL) {
        r->Text->Plain = r->Pieces == 1 && !r->Escaped;
        r->Text->Empty = !r->HasBytes;
        if (r->Destination != NULL) {
            r->Destination->assign(r->Strings);
        }
    }
    r->Keyword = NULL;
    return true;
}

// The entry being read is complete: the header goes aside, the others stay.
static bool EndEntry(PoReader* r)
{
    if (!r->Open) {
        return true;
    }
    if (!r->HasId) {
        return Fail(r, r->ContextLine, "msgid expected after msgctxt");
    }
    if (!r->HasTranslation) {
        return Fail(r, r->IdLine, "msgstr expected after msgid");
    }
    r->Open = false;
    CatalogueEntry* entry = &r->Entries->back();
    // Moved within its speech file: a translation from another file is not this record's.
    const CommentStrings& previous = r->Previous;
    entry->Moved = entry->Fuzzy && entry->HasContext && previous.HasId && previous.HasContext &&
                   FileOf(previous.Context) == FileOf(entry->Context) &&
                   CatalogueTextIs(r->Base, entry->Id, previous.Id.data(), previous.Id.size());
    if (entry->Moved) {
        r->MovedFrom.emplace_back(r->Entries->size() - 1, previous.Context);
    }
    r->Previous = CommentStrings();
    if (!entry->HasContext && entry->Id.Empty) {
        // The header entry, which no move names.
        if (r->HeaderSeen) {
            return Fail(r, entry->Line, "duplicate message definition");
        }
        r->HeaderSeen = true;
        *r->Header = entry->Translation;
        r->Entries->pop_back();
    }
    return true;
}

static void StartEntry(PoReader* r)
{
    r->Entries->emplace_back();
    CatalogueEntry* entry = &r->Entries->back();
    entry->HasContext = false;
    entry->Fuzzy = r->Fuzzy;
    entry->Line = r->CommentLine != 0 ? r->CommentLine : r->Line;
    r->CommentLine = 0;
    r->Fuzzy = false;
    r->Open = true;
    r->HasId = false;
    r->HasPlural = false;
    r->HasTranslation = false;
}

static bool IsWord(const char* word, size_t length, const char* keyword)
{
    return length == strlen(keyword) && memcmp(word, keyword, length) == 0;
}

// The string a "#|" or "#~" line's keyword names, at *p after those two bytes, which is moved
// past it: NULL for another keyword, and for a line of strings alone the one they go on with.
static std::string* CommentField(CommentStrings* s, const char** p, const char* end, bool* keyword)
{
    while (*p < end && IsBlank(**p)) {
        ++*p;
    }
    const char* word = *p;
    while (*p < end && !IsBlank(**p) && **p != '"') {
        ++*p;
    }
    size_t length = (size_t)(*p - word);
    *keyword = length > 0;
    return length == 0                                     ? s->Current
           : IsWord(word, length, "msgctxt")               ? &s->Context
           : IsWord(word, length, "msgid")                 ? &s->Id
           : length >= 6 && memcmp(word, "msgstr", 6) == 0 ? &s->Translation
                                                           : NULL;
}

// The strings of a "#|" or "#~" line from p on, for `field` (msgstr[N] adds to msgstr). One
// that cannot be read drops its keyword, as if its lines were not there.
static void ReadCommentStrings(CommentStrings* s, std::string* field, bool keyword, const char* p,
                               const char* end)
{
    bool* has = field == &s->Context ? &s->HasContext
                : field == &s->Id    ? &s->HasId
                                     : &s->HasTranslation;
    if (keyword && field != NULL) {
        if (field != &s->Translation) {
            field->clear();
        }
        *has = true;
    }
    s->Current = field;
    bool escaped = false;
    bool hasBytes = false;
    while (s->Current != NULL) {
        while (p < end && IsBlank(*p)) {
            ++p;
        }
        if (p == end) {
            return;
        }
        if (*p != '"' || !ReadQuoted(p, end, s->Current, &p, &escaped, &hasBytes)) {
            *has = false;
            s->Current = NULL;
        }
    }
}

// An obsolete entry ends where the next one starts, or with the catalogue.
static void EndObsoleteEntry(PoReader* r)
{
    CommentStrings* obsolete = &r->Obsolete;
    if (obsolete->HasTranslation && !obsolete->Translation.empty()) {
        ++r->ObsoleteTranslations;
        r->ObsoleteByText.push_back(
            {TextKey(obsolete->Context, obsolete->Id), std::move(obsolete->Translation)});
    }
    *obsolete = CommentStrings();
}

static bool ReadComment(PoReader* r, const char* p, const char* end)
{
    if (!EndKeyword(r) || !EndEntry(r)) {
        return false;
    }
    if (end - p >= 2 && p[1] == '~') {
        // An obsolete entry: the comments above it are its own. Those with a translation are a
        // translator's work too.
        r->CommentLine = 0;
        r->Fuzzy = false;
        r->Previous = CommentStrings();
        const CommentStrings& obsolete = r->Obsolete;
        bool keyword = false;
        p += 2;
        std::string* field = CommentField(&r->Obsolete, &p, end, &keyword);
        // A msgctxt, or a msgid after the one context, starts the next entry.
        if (keyword && ((field == &obsolete.Context &&
                         (obsolete.HasContext || obsolete.HasId || obsolete.HasTranslation)) ||
                        (field == &obsolete.Id && (obsolete.HasId || obsolete.HasTranslation)))) {
            EndObsoleteEntry(r);
        }
        ReadCommentStrings(&r->Obsolete, field, keyword, p, end);
        return true;
    }
    if (r->CommentLine == 0) {
        r->CommentLine = r->Line;
    }
    if (end - p >= 2 && p[1] == '|') {
        const char* strings = p + 2;
        bool keyword = false;
        std::string* field = CommentField(&r->Previous, &strings, end, &keyword);
        ReadCommentStrings(&r->Previous, field, keyword, strings, end);
    }
    if (end - p >= 2 && p[1] == ',') {
        // Flags, separated by commas: "#, fuzzy, c-format".
        for (p += 2; p < end;) {
            while (p < end && (IsBlank(*p) || *p == ',')) {
                ++p;
            }
            const char* flag = p;
            while (p < end && !IsBlank(*p) && *p != ',') {
                ++p;
            }
            r->Fuzzy = r->Fuzzy || (p - flag == 5 && memcmp(flag, "fuzzy", 5) == 0);
        }
    }
    return true;
}

static bool ReadKeyword(PoReader* r, const char* p, const char* end)
{
    const char* word = p;
    while (p < end && !IsBlank(*p) && *p != '"') {
        ++p;
    }
    size_t length = (size_t)(p - word);
    if (!EndKeyword(r)) {
        return false;
    }
    if (IsWord(word, length, "msgctxt")) {
        if (!EndEntry(r)) {
            return false;
        }
        StartEntry(r);
        r->Entries->back().HasContext = true;
        r->ContextLine = r->Line;
        SetKeyword(r, "msgctxt", &r->ContextText, &r->Entries->back().Context);
    } else if (IsWord(word, length, "msgid")) {
        if (r->Open && r->HasId && !r->HasTranslation) {
            return Fail(r, r->Line, "a second msgid before msgstr");
        }
        if (!r->Open || r->HasId) {
            if (!EndEntry(r)) {
                return false;
            }
            StartEntry(r);
        }
        r->HasId = true;
        r->IdLine = r->Line;
        SetKeyword(r, "msgid", &r->Entries->back().Id, NULL);
    } else if (IsWord(word, length, "msgid_plural")) {
        if (!r->Open || !r->HasId || r->HasPlural || r->HasTranslation) {
            return Fail(r, r->Line, "msgid_plural out of place");
        }
        r->HasPlural = r->Entries->back().Plural = true;
        SetKeyword(r, "msgid_plural", &r->Ignored, NULL);
    } else if (length >= 6 && memcmp(word, "msgstr", 6) == 0) {
        // msgstr, or msgstr[N] of a plural entry, where N = 0 is the one kept.
        bool plain = IsWord(word, length, "msgstr");
        bool first = plain || IsWord(word, length, "msgstr[0]");
        bool other = length > 8 && word[6] == '[' && word[length - 1] == ']';
        for (size_t i = 7; other && i < length - 1; ++i) {
            other = word[i] >= '0' && word[i] <= '9';
        }
        if (!first && !other) {
            return Fail(r, r->Line, UnknownKeyword(word, length));
        }
        if (!r->Open || !r->HasId) {
            return Fail(r, r->Line, "msgstr without msgid");
        }
        // As msgfmt reads them: indexed translations belong to a plural entry, and only there.
        if (plain == r->HasPlural) {
            return Fail(r, r->Line,
                        plain ? "msgstr[0] expected after msgid_plural"
                              : "msgstr[N] without msgid_plural");
        }
        if (first == r->HasTranslation) {
            return Fail(r, r->Line, first ? "a second msgstr for one entry" : "msgstr[0] expected");
        }
        r->HasTranslation = true;
        SetKeyword(r, "msgstr", first ? &r->Entries->back().Translation : &r->Ignored, NULL);
    } else {
        return Fail(r, r->Line, UnknownKeyword(word, length));
    }
    return ReadStrings(r, p, end);
}

static bool ReadLine(PoReader* r, const char* p, const char* end)
{
    while (p < end && IsBlank(*p)) {
        ++p;
    }
    if (p == end) {
        return true;
    }
    if (*p == '#') {
        return ReadComment(r, p, end);
    }
    if (*p == '"') {
        if (r->Keyword == NULL) {
            return Fail(r, r->Line, "string without a keyword");
        }
        return ReadStrings(r, p, end);
    }
    return ReadKeyword(r, p, end);
}

static int CompareKeys(const char* bytes, const CatalogueEntry& a, const CatalogueEntry& b)
{
    if (a.HasContext != b.HasContext) {
        return a.HasContext ? 1 : -1;
    }
    int order = a.Context.compare(b.Context);
    if (order != 0) {
        return order;
    }
    std::string first;
    std::string second;
    AppendCatalogueText(bytes, a.Id, &first);
    AppendCatalogueText(bytes, b.Id, &second);
    return first.compare(second);
}

// The second definition nearest the start of two entries with the same context and msgid. The
// entries are found by a hash of both, so a catalogue of many entries, with contexts or without,
// is looked at once.
static uint32_t FindDuplicate(const char* bytes, const std::vector<CatalogueEntry>& entries,
                              size_t count)
{
    std::unordered_multimap<size_t, uint32_t> byKey(count);
    std::string key;
    uint32_t line = UINT32_MAX;
    for (uint32_t i = 0; i < (uint32_t)count; ++i) {
        key.assign(1, entries[i].HasContext ? 'c' : '-');
        key += entries[i].Context;
        key.push_back('\0'); // which no context holds
        AppendCatalogueText(bytes, entries[i].Id, &key);
        size_t hash = std::hash<std::string>()(key);
        auto same = byKey.equal_range(hash);
        for (auto k = same.first; k != same.second; ++k) {
            if (CompareKeys(bytes, entries[k->second], entries[i]) == 0) {
                line = std::min(line, entries[i].Line);
                break;
            }
        }
        byKey.emplace(hash, i);
    }
    return line;
}

// The record number a context names ("0001.spc:0042"), or UINT32_MAX.
static uint32_t RecordOf(const std::string& context)
{
    size_t colon = context.rfind(':');
    const char* digits = context.c_str() + (colon == std::string::npos ? 0 : colon + 1);
    char* end = NULL;
    unsigned long number = strtoul(digits, &end, 10);
    return colon == std::string::npos || end == digits || *end != 0 || number >= UINT32_MAX
               ? UINT32_MAX
               : (uint32_t)number;
}

// msgmerge gives a moved record the translation of the first entry with its text, another
// record's where the text stands in its file more than once: a move is taken only where that
// text, obsolete entries included, has one translation in its file, where no other move comes
// from the same record, where that record does not still hold the text (the other translations
// may have gone with --no-obsolete, or to a changed text), and where no other move of its file
// crosses it: a patch that adds or removes lines keeps the order of the rest, so two moves that
// swap their order cannot both be right.
// Only a move of a text that stands once in its file, obsolete entries included, tells where a
// record came from; for a repeated one, msgmerge names the text's first entry. Such a move shows
// the records around it shifted, up to the nearest record of such a text that kept its number
// (an anchor). An exact match of a text of several translations among shifted records may be
// what another record was, and is doubtful. (A translator's fuzzy mark or an obsolete entry
// moves nothing.)
static void
HoldAmbiguousTranslations(const char* bytes, std::vector<CatalogueEntry>* entries,
                          const std::vector<std::pair<size_t, std::string>>& movedFrom,
                          const std::vector<std::pair<std::string, std::string>>& obsolete)
{
    std::map<std::string, uint32_t> movesFrom;
    for (const auto& move : movedFrom) {
        movesFrom[move.second] += 1;
    }
    struct Translations {
        std::string First;
        bool Several;
        bool Obsolete;    // an obsolete entry holds it
        uint32_t Entries; // live ones
    };
    std::map<std::string, Translations> byText;
    auto add = [&byText](const std::string& key, const std::string& translation) {
        auto found = byText.emplace(key, Translations{translation, false, false, 0}).first;
        found->second.Several |= !translation.empty() && found->second.First != translation;
        found->second.First = found->second.First.empty() ? translation : found->second.First;
        return &found->second;
    };
    std::vector<std::string> keys(entries->size());
    std::vector<std::string> ids(entries->size());
    std::set<std::string> standing; // each entry's context and text
    for (size_t k = 0; k < entries->size(); ++k) {
        const CatalogueEntry& entry = (*entries)[k];
        std::string translation;
        AppendCatalogueText(bytes, entry.Id, &ids[k]);
        AppendCatalogueText(bytes, entry.Translation, &translation);
        keys[k] = TextKey(entry.Context, ids[k]);
        standing.insert(entry.Context + '\0' + ids[k]);
        add(keys[k], translation)->Entries += 1;
    }
    for (const auto& text : obsolete) {
        add(text.first, text.second)->Obsolete = true;
    }
    auto once = [&byText](const std::string& key) {
        const Translations& text = byText[key];
        return text.Entries == 1 && !text.Obsolete;
    };
    // The moves that tell where their record came from, and the anchors, by file.
    struct Move {
        std::string File;
        uint32_t To;
        uint32_t From;
        size_t Entry;
    };
    std::vector<Move> moves;
    for (const auto& move : movedFrom) {
        CatalogueEntry* entry = &(*entries)[move.first];
        bool left = standing.count(move.second + '\0' + ids[move.first]) == 0;
        entry->Moved = movesFrom[move.second] == 1 && !byText[keys[move.first]].Several && left;
        uint32_t to = RecordOf(entry->Context);
        uint32_t from = RecordOf(move.second);
        if (left && once(keys[move.first]) && to != UINT32_MAX && from != UINT32_MAX) {
            moves.push_back({FileOf(entry->Context), to, from, move.first});
        }
    }
    std::map<std::string, std::vector<uint32_t>> anchors;
    for (size_t k = 0; k < entries->size(); ++k) {
        const CatalogueEntry& entry = (*entries)[k];
        if (!entry.Fuzzy && !entry.Translation.Empty && once(keys[k])) {
            anchors[FileOf(entry.Context)].push_back(RecordOf(entry.Context));
        }
    }
    for (auto& file : anchors) {
        std::sort(file.second.begin(), file.second.end());
    }
    std::sort(moves.begin(), moves.end(), [](const Move& a, const Move& b) {
        return a.File != b.File ? a.File < b.File : a.To < b.To;
    });
    // Of the moves otherwise taken, those crossed: an earlier new place with a later old place,
    // or the other way round. And the stretches of shifted records, merged, by file.
    std::vector<bool> crossed(moves.size(), false);
    std::map<std::string, std::vector<std::pair<uint32_t, uint32_t>>> shifted;
    for (size_t k = 0, first = 0; k <= moves.size(); ++k) {
        if (k < moves.size() && moves[k].File == moves[first].File) {
            continue;
        }
        uint32_t highest = 0;
        for (size_t m = first; m < k; ++m) {
            bool taken = (*entries)[moves[m].Entry].Moved;
            crossed[m] = taken && highest > moves[m].From;
            highest = taken ? std::max(highest, moves[m].From) : highest;
        }
        uint32_t lowest = UINT32_MAX;
        for (size_t m = k; m-- > first;) {
            bool taken = (*entries)[moves[m].Entry].Moved;
            crossed[m] = crossed[m] || (taken && lowest < moves[m].From);
            lowest = taken ? std::min(lowest, moves[m].From) : lowest;
        }
        if (k > first) {
            const std::vector<uint32_t>& kept = anchors[moves[first].File];
            std::vector<std::pair<uint32_t, uint32_t>>* spans = &shifted[moves[first].File];
            for (size_t m = first; m < k; ++m) {
                uint32_t low = std::min(moves[m].To, moves[m].From);
                uint32_t high = std::max(moves[m].To, moves[m].From);
                auto below = std::lower_bound(kept.begin(), kept.end(), low);
                auto above = std::upper_bound(kept.begin(), kept.end(), high);
                spans->push_back({below == kept.begin() ? 0 : *(below - 1) + 1,
                                  above == kept.end() ? UINT32_MAX : *above - 1});
            }
            std::sort(spans->begin(), spans->end());
            size_t merged = 0;
            for (const auto& span : *spans) {
                if (merged > 0 && span.first <= (*spans)[merged - 1].second) {
                    (*spans)[merged - 1].second =
                        std::max((*spans)[merged - 1].second, span.second);
                } else {
                    (*spans)[merged++] = span;
                }
            }
            spans->resize(merged);
        }
        first = k;
    }
    for (size_t m = 0; m < moves.size(); ++m) {
        (*entries)[moves[m].Entry].Moved = (*entries)[moves[m].Entry].Moved && !crossed[m];
    }
    for (size_t k = 0; k < entries->size(); ++k) {
        CatalogueEntry* entry = &(*entries)[k];
        entry->TranslatedWhenObsolete = entry->Translation.Empty && byText[keys[k]].Obsolete;
        auto found = shifted.find(FileOf(entry->Context));
        if (entry->Fuzzy || entry->Translation.Empty || !byText[keys[k]].Several ||
            found == shifted.end()) {
            continue;
        }
        uint32_t record = RecordOf(entry->Context);
        auto after = std::upper_bound(found->second.begin(), found->second.end(),
                                      std::make_pair(record, UINT32_MAX));
        entry->Doubtful = after != found->second.begin() && record <= (after - 1)->second;
    }
}

bool ReadCatalogue(const char* bytes, size_t size, std::vector<CatalogueEntry>* entries,
                   CatalogueText* header, CatalogueProblem* problem, uint32_t* obsoleteTranslations)
{
    PoReader r = PoReader();
    r.Entries = entries;
    r.Header = header;
    r.Problem = problem;
    r.Base = bytes;
    entries->clear();
    *header = CatalogueText();
    header->Empty = header->Plain = true;
    const char* p = bytes;
    const char* end = bytes + size;
    if (size >= 3 && memcmp(p, "\xEF\xBB\xBF", 3) == 0) {
        p += 3;
    }
    if (end - p >= 2 && (memcmp(p, "\xFF\xFE", 2) == 0 || memcmp(p, "\xFE\xFF", 2) == 0)) {
        return Fail(&r, 1, "saved as UTF-16 (what some editors call Unicode); save it as UTF-8");
    }
    bool read = true;
    while (read && p < end) {
        const char* newline = (const char*)memchr(p, '\n', (size_t)(end - p));
        const char* lineEnd = newline != NULL ? newline : end;
        const char* next = newline != NULL ? newline + 1 : end;
        // CR CR LF too: a CR LF file converted to CR LF once more, which gettext reads.
        while (lineEnd > p && lineEnd[-1] == '\r') {
            --lineEnd;
        }
        ++r.Line;
        read = ReadLine(&r, p, lineEnd);
        p = next;
    }
    read = read && EndKeyword(&r) && EndEntry(&r);
    EndObsoleteEntry(&r);
    if (read && (!r.MovedFrom.empty() || !r.ObsoleteByText.empty())) {
        HoldAmbiguousTranslations(bytes, entries, r.MovedFrom, r.ObsoleteByText);
    }
    if (obsoleteTranslations != NULL) {
        *obsoleteTranslations = r.ObsoleteTranslations;
    }
    // Only complete entries take part in the search for duplicates.
    size_t complete = entries->size() - (r.Open && !r.HasTranslation ? 1 : 0);
    uint32_t duplicate = FindDuplicate(bytes, *entries, complete);
    if (duplicate != UINT32_MAX && (read || duplicate < problem->Line)) {
        return Fail(&r, duplicate, "duplicate message definition");
    }
    return read;
}

void AppendCatalogueText(const char* bytes, const CatalogueText& text, std::string* out)
{
    if (text.Plain) {
        if (text.End > text.Start + 2) {
            out->append(bytes + text.Start + 1, text.End - text.Start - 2);
        }
        return;
    }
    // The pieces, with what stands between them: blanks, line ends, and notes after a piece,
    // which may hold quotes.
    const char* p = bytes + text.Start;
    const char* end = bytes + text.End;
    bool escaped = false;
    bool hasBytes = false;
    while (p != NULL && p < end) {
        const char* next = NULL;
        if (*p == '#') {
            p = (const char*)memchr(p, '\n', (size_t)(end - p));
        } else if (*p == '"' && ReadQuoted(p, end, out, &next, &escaped, &hasBytes)) {
            p = next;
        } else {
            ++p;
        }
    }
}

bool CatalogueTextIs(const char* bytes, const CatalogueText& text, const char* other, size_t length)
{
    if (text.Plain) {
        size_t size = text.End - text.Start - 2;
        return size == length && memcmp(bytes + text.Start + 1, other, length) == 0;
    }
    static std::string scratch; // kept, so that comparing costs no allocation
    scratch.clear();
    AppendCatalogueText(bytes, text, &scratch);
    return scratch.size() == length && memcmp(scratch.data(), other, length) == 0;
}
