// Realistic speech content and the bytes derived from it.
#include "speech_data.h"

#include <stdio.h>
#include <string.h>

#include <random>

// Words of four languages; 1, 2 and 3 bytes per character in UTF-8. None holds a blank,
// a bracket, a colon, "<", CR or LF.
static const char* const ENGLISH_WORDS[] = {
    "the",     "you",     "and",     "that",     "was",      "for",   "with",    "have",
    "this",    "from",    "they",    "will",     "would",    "there", "their",   "what",
    "about",   "which",   "when",    "make",     "like",     "time",  "just",    "know",
    "take",    "people",  "into",    "year",     "good",     "some",  "could",   "them",
    "see",     "other",   "than",    "then",     "now",      "look",  "only",    "come",
    "over",    "think",   "also",    "back",     "after",    "use",   "two",     "how",
    "our",     "work",    "first",   "well",     "way",      "even",  "new",     "want",
    "because", "any",     "these",   "give",     "day",      "most",  "sword",   "castle",
    "dragon",  "village", "captain", "remember", "tomorrow", "Hey,",  "Listen!", "Really?",
    "Thanks.", "Wait...", "Okay.",
};
static const char* const FRENCH_WORDS[] = {
    "le",         "la",    "les",       "un",    "une",     "et",      "est",     "pas",
    "très",       "où",    "été",       "déjà",  "château", "épée",    "forêt",   "garçon",
    "français",   "voilà", "peut-être", "après", "frère",   "fenêtre", "Écoute!", "Merci.",
    "Attends...", "Où",    "ça",        "va?",   "là-bas",  "tôt",     "même",    "élève",
};
static const char* const RUSSIAN_WORDS[] = {
    "и",       "в",     "не",      "на",       "я",          "что",     "он",      "с",
    "это",     "как",   "мы",      "меч",      "замок",      "дракон",  "деревня", "капитан",
    "завтра",  "помни", "Слушай!", "Спасибо.", "Подожди...", "Правда?", "хорошо",  "время",
    "человек", "год",   "день",    "работа",   "слово",      "место",   "дорога",
};
static const char* const JAPANESE_WORDS[] = {
    "こんにちは", "ありがとう", "すみません", "お願いします", "剣",     "城",     "竜",     "村",
    "隊長",       "明日",       "覚えて",     "待って",       "本当に", "行こう", "大丈夫", "の",
    "は",         "が",         "を",         "に",           "で",     "と",     "も",     "です",
    "ます",       "した",       "ない",       "、",           "。",     "！",     "？",     "…",
    "勇者",       "魔法",
};

struct WordList {
    const char* const* Words;
    uint32_t Count;
    bool Spaced; // words are separated by blanks
};

static const WordList LANGUAGES[] = {
    {ENGLISH_WORDS, sizeof ENGLISH_WORDS / sizeof ENGLISH_WORDS[0], true},
    {FRENCH_WORDS, sizeof FRENCH_WORDS / sizeof FRENCH_WORDS[0], true},
    {RUSSIAN_WORDS, sizeof RUSSIAN_WORDS / sizeof RUSSIAN_WORDS[0], true},
    {JAPANESE_WORDS, sizeof JAPANESE_WORDS / sizeof JAPANESE_WORDS[0], false},
};

// The line-break tag the game's texts carry, and the way blank-inserting editors write it.
static const char LINE_TAG[] = "</n>";
static const char SPACED_LINE_TAG[] = "</ N>";

// One text of exactly `length` bytes: words of one language, now and then a line tag, cut
// at a whole word and topped up with dots.
static void AppendText(std::mt19937* random, uint32_t length, std::string* text)
{
    // English half the time, the others a sixth each.
    uint32_t pick = (*random)() % 6;
    const WordList& language = LANGUAGES[pick < 3 ? 0 : pick - 2];
    text->clear();
    text->reserve(length);
    for (;;) {
        const char* word =
            (*random)() % 24 == 0 ? LINE_TAG : language.Words[(*random)() % language.Count];
        size_t wordLength = strlen(word);
        size_t separator = (!text->empty() && language.Spaced) ? 1 : 0;
        if (text->size() + separator + wordLength > length) {
            break;
        }
        if (separator != 0) {
            text->push_back(' ');
        }
        text->append(word, wordLength);
    }
    text->append(length - text->size(), '.');
}

bool GenerateSpeechContent(uint32_t seed, uint64_t targetBytes, uint32_t minText, uint32_t maxText,
                           SpeechContent* content)
{
    std::mt19937 random(seed);
    content->HeaderByte = (uint8_t)(1 + random() % 9);
    content->FirstNumber = 1;
    content->Texts.clear();
    uint64_t size = 5;
    for (;;) {
        uint32_t length = minText + (uint32_t)(random() % (maxText - minText + 1));
        if (size + 6 + length > targetBytes) {
            if (targetBytes - size < 6 + (uint64_t)minText) {
                break;
            }
            length = (uint32_t)(targetBytes - size - 6);
        }
        if (content->Texts.size() == MAX_SPEECH_RECORDS) {
            return false;
        }
        content->Texts.emplace_back();
        AppendText(&random, length, &content->Texts.back());
        size += 6 + length;
    }
    content->LineCount = (uint32_t)content->Texts.size();
    return true;
}

uint64_t SpeechFileSize(const SpeechContent& content)
{
    uint64_t size = 5;
    for (const std::string& text : content.Texts) {
        size += 6 + text.size();
    }
    return size;
}

static void AppendLittleEndian(std::string* bytes, uint32_t value, int width)
{
    for (int k = 0; k < width; ++k) {
        bytes->push_back((char)(uint8_t)(value >> (8 * k)));
    }
}

static void AppendMasked(std::string* bytes, const std::string& text)
{
    size_t start = bytes->size();
    bytes->append(text);
    for (size_t k = start; k < bytes->size(); ++k) {
        (*bytes)[k] = (char)((uint8_t)(*bytes)[k] ^ 0x5A);
    }
}

// Head and records, with the line count and numbers given.
static std::string BuildSpeech(const SpeechContent& content, uint32_t lineCount,
                               uint32_t numberModulus)
{
    std::string bytes;
    bytes.reserve(SpeechFileSize(content));
    bytes.push_back((char)content.HeaderByte);
    AppendLittleEndian(&bytes, lineCount, 4);
    if (lineCount == 0) {
        return bytes;
    }
    uint32_t number = content.FirstNumber;
    for (const std::string& text : content.Texts) {
        AppendLittleEndian(&bytes, number % numberModulus, 2);
        AppendLittleEndian(&bytes, (uint32_t)text.size(), 4);
        AppendMasked(&bytes, text);
        ++number;
    }
    return bytes;
}

std::string BuildSpeechBytes(const SpeechContent& content)
{
    return BuildSpeech(content, content.LineCount, 65536);
}

static std::string Decimal(int value)
{
    char digits[16];
    snprintf(digits, sizeof digits, "%d", value);
    return digits;
}

static std::string FourDigits(uint32_t value)
{
    char digits[8];
    snprintf(digits, sizeof digits, "%04u", (unsigned)(value % 10000));
    return digits;
}

// The dump in the exact layout when `spaced` is false; otherwise with a blank before every
// "[" and after every "]" of the markup, another after each "E:", and each line tag written
// "</ N>".
static std::string BuildDump(const SpeechContent& content, const std::string& dumpName, bool spaced)
{
    const std::string open = spaced ? " [" : "[";
    const std::string close = spaced ? "] " : "]";
    const std::string bracket = open + ":::::" + close;
    const std::string lineEnd = "\r\n";
    std::string dump;
    dump.reserve(SpeechFileSize(content) + content.Texts.size() * 16 + 512);
    dump += bracket.substr(spaced ? 1 : 0) + "Speech START" + bracket + lineEnd;
    dump += bracket + "FILENAME: " + (spaced ? " " : "") + dumpName + bracket + lineEnd;
    dump += bracket + "HEADER: " + Decimal(content.HeaderByte) + bracket + lineEnd;
    dump += bracket + "LINECOUNT: " + Decimal((int)(int32_t)content.LineCount) + bracket + lineEnd;
    uint32_t number = content.FirstNumber;
    for (const std::string& text : content.Texts) {
        dump += open + "LINE:" + (spaced ? " " : "") + FourDigits(number) + close;
        if (!spaced) {
            dump += text;
        } else {
            for (size_t at = 0; at < text.size();) {
                if (text.compare(at, 4, LINE_TAG) == 0) {
                    dump += SPACED_LINE_TAG;
                    at += 4;
                } else {
                    dump.push_back(text[at]);
                    ++at;
                }
            }
        }
        dump += lineEnd;
        ++number;
    }
    std::string closing = bracket + "Speech FINISH" + bracket;
    if (spaced) {
        closing.pop_back(); // the dump ends at the bracket
    }
    dump += closing;
    return dump;
}

std::string BuildExactDump(const SpeechContent& content, const std::string& dumpName)
{
    return BuildDump(content, dumpName, false);
}

std::string BuildSpacedDump(const SpeechContent& content, const std::string& dumpName)
{
    return BuildDump(content, dumpName, true);
}

std::string BuildExpectedRebuild(const SpeechContent& content)
{
    // The dump shows the count as a signed decimal; the rebuild reads back at most its
    // first four digits (none before a minus sign).
    std::string shown = Decimal((int)(int32_t)content.LineCount);
    uint32_t lineCount = 0;
    for (size_t k = 0; k < shown.size() && k < 4 && shown[k] >= '0' && shown[k] <= '9'; ++k) {
        lineCount = lineCount * 10 + (uint32_t)(shown[k] - '0');
    }
    return BuildSpeech(content, lineCount, 10000);
}

bool ReadWholeFile(const std::string& name, std::string* bytes)
{
    FILE* file = fopen(name.c_str(), "rb");
    if (file == NULL) {
        return false;
    }
    bytes->clear();
    char block[1 << 16];
    size_t count;
    while ((count = fread(block, 1, sizeof block, file)) != 0) {
        bytes->append(block, count);
    }
    bool ok = !ferror(file);
    fclose(file);
    return ok;
}

bool WriteWholeFile(const std::string& name, const std::string& bytes)
{
    FILE* file = fopen(name.c_str(), "wb");
    if (file == NULL) {
        return false;
    }
    bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = fclose(file) == 0 && ok;
    return ok;
}
