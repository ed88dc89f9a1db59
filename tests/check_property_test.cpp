// Property: `check` finds a problem in a dump exactly when rebuilding it and decoding the
// result does not give back what the dump shows: its header values, its records and its tail.
// Dumps are decoded from random speech files by the core, then edited the ways translators and
// their tools edit dumps; what each edit means to show is kept beside it.
#include "test_support.h"

#include "command_line.h"
#include "workspace.h"

#include <functional>
#include <random>

namespace {

// What a dump shows: its header values, its records, its tail (marker and side data).
struct Shown {
    int64_t Header;
    int64_t Count;
    bool HeaderLine = true;
    bool CountLine = true;
    std::vector<std::pair<uint32_t, std::string>> Records; // number as shown, text
    std::string Marker;                                    // "", "UNKNOWN DATA", "Unknown DATA"
};

std::string Digits(uint32_t number)
{
    char text[8];
    snprintf(text, sizeof text, "%04u", number % 10000);
    return text;
}

// The dump a decode writes for what is shown.
std::string Render(const Shown& shown, const std::string& name)
{
    std::string dump = "[:::::]Speech START[:::::]\r\n[:::::]FILENAME: " + name + "[:::::]\r\n";
    dump += shown.HeaderLine ? "[:::::]HEADER: " + std::to_string(shown.Header) + "[:::::]\r\n"
                             : "(no HEADER line)";
    dump += shown.CountLine ? "[:::::]LINECOUNT: " + std::to_string(shown.Count) + "[:::::]\r\n"
                            : "(no LINECOUNT line)";
    for (const auto& record : shown.Records) {
        dump += "[LINE:" + Digits(record.first) + "]" + record.second + "\r\n";
    }
    if (!shown.Marker.empty()) {
        dump += "[:::::]" + shown.Marker + "[:::::]\r\n";
    }
    return dump + "[:::::]Speech FINISH[:::::]";
}

struct Case {
    std::mt19937 Random;
    Shown What;
    std::vector<std::string> Lines; // of x.txt, CR LF between them
    std::string LineEnd = "\r\n";
    std::string SideData;
    bool SideDataThere;
    bool Reencoded = false; // texts of the speech file shown in another encoding

    uint32_t Pick(uint32_t count)
    {
        return (uint32_t)(Random() % count);
    }
    size_t RecordLine(size_t k) const
    {
        return 4 + k;
    }
    size_t Closing() const
    {
        return Lines.size() - 1;
    }
};

// Texts of letters, blanks and the brackets, colons and tags that machine translation puts
// blanks around; never a CR LF or a marker by chance.
std::string Text(Case* c, size_t length)
{
    static const char* pieces[] = {"a",    "b",    "Z",        " ", "[A]", " [B] ", "NOTE: x",
                                   "</n>", "</N>", "\xC3\xA9", ":", "]",   "e",     "\t"};
    std::string text;
    while (text.size() < length) {
        text += pieces[c->Pick(sizeof pieces / sizeof pieces[0])];
    }
    return text;
}

void MakeSpeechFile(Case* c)
{
    uint32_t count = c->Pick(4) == 0 ? 0 : 1 + c->Pick(5);
    uint32_t first = c->Pick(8) == 0 ? 9997 : c->Pick(9990);
    std::vector<TestRecord> records;
    for (uint32_t k = 0; k < count; ++k) {
        // Some games end texts in a CR or LF of their own.
        records.push_back({(uint16_t)(first + k),
                           Text(c, c->Pick(5) == 0 ? 0 : c->Pick(30)) + (c->Pick(8) == 0   ? "\r"
                                                                         : c->Pick(8) == 0 ? "\n"
                                                                                           : "")});
        c->What.Records.push_back({first + k, records.back().Text});
    }
    const uint32_t lineCounts[] = {count, count, 0, 12345, 0x80000005u, 7};
    uint32_t lineCount = lineCounts[c->Pick(6)];
    uint8_t header = (uint8_t)c->Random();
    c->What.Header = header;
    c->What.Count = (int32_t)lineCount;
    std::string tail;
    uint32_t kind = c->Pick(3);
    if (kind == 1 && count > 0) {
        // Sometimes one number after a gap, so that a record added before it closes the gap.
        uint16_t next = (uint16_t)(first + count + 1 + (c->Pick(2) ? 0 : 1 + c->Pick(50)));
        tail = BuildSpeechFile(0, 0, {{next, "zz"}}).substr(5) + Text(c, c->Pick(8));
        c->What.Marker = "UNKNOWN DATA";
    } else if (kind == 2 && count > 0) {
        tail = std::string(1 + c->Pick(5), '\x7F');
        c->What.Marker = "Unknown DATA";
    }
    c->SideData = tail;
    c->SideDataThere = !tail.empty();
    WriteFileBytes("x.spc", BuildSpeechFile(header, lineCount, records, tail));
    SetCurrentFileName("x.spc");
    ConvertSpeechToText();
    std::string dump = ReadFileBytes("x.txt");
    for (size_t at = 0, end; at <= dump.size(); at = end + 2) {
        end = std::min(dump.find("\r\n", at), dump.size());
        c->Lines.push_back(dump.substr(at, end - at));
    }
}

// Replaces record k's text, in the dump and in what it shows.
void SetText(Case* c, size_t k, const std::string& text)
{
    c->Lines[c->RecordLine(k)] = "[LINE:" + Digits(c->What.Records[k].first) + "]" + text;
    c->What.Records[k].second = text;
}

// A record line as typed, its head sometimes damaged the ways a person still reads as one.
void AddRecordLine(Case* c, size_t at, uint32_t number, bool damaged = false)
{
    std::string text = Text(c, c->Pick(10));
    std::string head = damaged ? std::vector<std::string>{"[LINE:", "[line:", "LINE:", "[LIGNE:",
                                                          "[LINE ", "[LINE;", "(LINE-"}[c->Pick(7)]
                               : "[LINE:";
    c->Lines.insert(c->Lines.begin() + (long)at, head + Digits(number) + "]" + text);
    c->What.Records.push_back({number, text});
}

uint32_t LastNumber(const Case* c)
{
    return c->What.Records.empty() ? 0 : c->What.Records.back().first + 1;
}

void MachineTranslate(Case* c)
{
    for (size_t k = 0; k < c->What.Records.size(); ++k) {
        if (c->Pick(2)) {
            SetText(c, k, Text(c, c->Pick(20)));
        }
    }
    for (std::string& line : c->Lines) {
        if (line.compare(0, 7, "[:::::]") == 0 && line.size() > 14) {
            line = "[:::::] " + line.substr(7, line.size() - 14) + " [:::::]";
        } else if (line.compare(0, 6, "[LINE:") == 0) {
            line = (c->Pick(2) ? "[LINE: " : " [ LINE: ") + line.substr(6, 4) +
                   (c->Pick(2) ? "] " : " ] ") + line.substr(11);
        }
    }
}

// The edits, each with what it means the dump to show. An edit that does not apply to a case
// leaves it as decoded.
const std::vector<std::pair<const char*, std::function<void(Case*)>>> Edits = {
    {"untouched", [](Case*) {}},
    {"a text translated",
     [](Case* c) {
         if (!c->What.Records.empty()) {
             SetText(c, c->Pick((uint32_t)c->What.Records.size()), Text(c, c->Pick(40)));
         }
     }},
    {"machine translation put blanks around the markup", MachineTranslate},
    {"a byte-order mark before blanked markup, sometimes with every record line deleted",
     [](Case* c) {
         if (c->Pick(2)) {
             c->Lines.erase(c->Lines.begin() + 4, c->Lines.begin() + 4 + c->What.Records.size());
             c->What.Records.clear();
         }
         MachineTranslate(c);
         c->Lines[0] = "\xEF\xBB\xBF" + c->Lines[0];
     }},
    {"machine translation saved with CR line ends",
     [](Case* c) {
         MachineTranslate(c);
         c->LineEnd = "\r";
     }},
    {"machine translation translated the record lines' word or made their markup full-width",
     [](Case* c) {
         std::string head = std::vector<std::string>{
             "[LIGNE:", "[LIGNE : ", "\xEF\xBC\xBBLINE:", "[LINE\xEF\xBC\x9A"}[c->Pick(4)];
         for (size_t k = 0; k < c->What.Records.size(); ++k) {
             c->Lines[c->RecordLine(k)].replace(0, 6, head);
         }
     }},
    {"a record line after the closing line, sometimes on it",
     [](Case* c) {
         AddRecordLine(c, c->Lines.size(), LastNumber(c), true);
         if (c->Pick(2)) {
             c->Lines[c->Lines.size() - 2] += c->Lines.back();
             c->Lines.pop_back();
         }
     }},
    {"the closing or tail marker line joined to the last record line, or the first record line "
     "to the head by a CR alone",
     [](Case* c) {
         if (!c->What.Records.empty()) {
             size_t at = c->Pick(2) ? c->Closing() - 1 - !c->What.Marker.empty() : 3;
             uint32_t also = at == 3 ? 0 : c->Pick(3);
             if (also == 1) {
                 SetText(c, c->What.Records.size() - 1, "x\r\ny"); // the rebuild cuts it
             } else if (also == 2) {
                 // The repair runs, and may change only the last text, the joined one.
                 c->Lines[0] = "[:::::] Speech START[:::::]";
                 for (size_t k = 0; k < c->What.Records.size(); ++k) {
                     SetText(c, k, k + 1 == c->What.Records.size() && c->Pick(2) ? "NOTE: x" : "a");
                 }
                 std::string& marker = c->Lines[at + 1]; // blanks the repair takes out
                 marker = (c->Pick(2) ? " [:::::] " : "[:::::] ") +
                          marker.substr(7, marker.size() - 14) + " [:::::]";
             }
             c->Lines[at] += (at == 3 ? "\r" : "") + c->Lines[at + 1];
             c->Lines.erase(c->Lines.begin() + (long)at + 1);
         }
     }},
    {"a record line after the tail marker",
     [](Case* c) {
         if (!c->What.Marker.empty()) {
             AddRecordLine(c, c->Closing(), LastNumber(c), true);
         }
     }},
    {"a record line added before the tail marker",
     [](Case* c) { AddRecordLine(c, c->RecordLine(c->What.Records.size()), LastNumber(c)); }},
    {"the LINECOUNT line deleted, a text reading LINECOUNT: 12, sometimes with blanked markup",
     [](Case* c) {
         if (!c->What.Records.empty() && c->Pick(2)) {
             SetText(c, 0, c->Pick(2) ? "LINECOUNT: 12" : "a[:::::]LINECOUNT: 12");
         }
         c->Lines.erase(c->Lines.begin() + 3);
         c->What.CountLine = false;
         if (c->Pick(3) == 0) {
             MachineTranslate(c);
         }
     }},
    {"the LINECOUNT line moved after the record lines",
     [](Case* c) {
         std::string line = c->Lines[3];
         c->Lines.erase(c->Lines.begin() + 3);
         c->Lines.insert(c->Lines.end() - 1, line);
     }},
    {"the LINECOUNT line joined to the HEADER line",
     [](Case* c) {
         c->Lines[2] += c->Lines[3];
         c->Lines.erase(c->Lines.begin() + 3);
     }},
    {"the HEADER and LINECOUNT lines swapped",
     [](Case* c) { std::swap(c->Lines[2], c->Lines[3]); }},
    {"a text over 65,535 bytes",
     [](Case* c) {
         if (!c->What.Records.empty()) {
             SetText(c, 0, std::string(70000, 'w'));
         }
     }},
    {"[:::::]Un inside a text",
     [](Case* c) {
         if (!c->What.Records.empty()) {
             size_t k = c->Pick((uint32_t)c->What.Records.size());
             SetText(c, k, c->What.Records[k].second + "[:::::]Un");
         }
     }},
    {"a blank typed into the START line's markup, so the repair runs",
     [](Case* c) {
         c->Lines[0] = "[:::::] Speech START[:::::]";
         // Texts the repair leaves alone, but for a blank that may start the first; a game's
         // line break, LF alone, is a text's own.
         for (size_t k = 0; k < c->What.Records.size(); ++k) {
             SetText(c, k, k == 0 && c->Pick(2) ? " a" : c->Pick(2) ? "a" : "a\nb");
         }
     }},
    {"a byte-order mark", [](Case* c) { c->Lines[0] = "\xEF\xBB\xBF" + c->Lines[0]; }},
    {"saved with LF or CR line ends", [](Case* c) { c->LineEnd = c->Pick(2) ? "\n" : "\r"; }},
    // A copy that converted the line ends twice: a decode never ends its START line so.
    {"saved with CR CR LF line ends", [](Case* c) { c->LineEnd = "\r\r\n"; }},
    // A blank line costs a text nothing, whatever the speech file's text ended in.
    {"a text translated, with a blank line after it",
     [](Case* c) {
         if (!c->What.Records.empty()) {
             size_t k = c->Pick((uint32_t)c->What.Records.size());
             SetText(c, k, "a" + Text(c, c->Pick(20)));
             c->Lines.insert(c->Lines.begin() + (long)(c->RecordLine(k) + 1), "");
         }
     }},
    {"opened in another encoding: a byte it could not read became U+FFFD",
     [](Case* c) {
         for (size_t k = 0; k < c->What.Records.size(); ++k) {
             std::string& line = c->Lines[c->RecordLine(k)];
             if (c->Pick(2) == 0) {
                 line.insert(11, "\xEF\xBF\xBD"); // where a character starts
             }
         }
     }},
    // An editor that evens out line ends makes each CR or LF that ends a text a line end.
    {"line ends evened out, so that a text's own CR or LF became a blank line",
     [](Case* c) {
         for (size_t k = c->What.Records.size(); k-- > 0;) {
             std::string& line = c->Lines[c->RecordLine(k)];
             size_t text = line.find_last_not_of("\r\n") + 1;
             size_t crs = line.size() - text;
             line.resize(text);
             c->Lines.insert(c->Lines.begin() + (long)(c->RecordLine(k) + 1), crs, "");
         }
     }},
    {"read as UTF-8 and saved in Windows-1252",
     [](Case* c) {
         for (size_t k = 0; k < c->What.Records.size(); ++k) {
             std::string text = c->What.Records[k].second;
             for (size_t at; (at = text.find("\xC3\xA9")) != std::string::npos;) {
                 text.replace(at, 2, "\xE9");
                 c->Reencoded = true;
             }
             SetText(c, k, text);
         }
     }},
    // The speech file beside the dump tells them from texts that end in a CR of their own.
    {"record lines pasted with their line ends converted twice, the head's not",
     [](Case* c) {
         for (size_t k = 0; k < c->What.Records.size(); ++k) {
             c->Lines[c->RecordLine(k)] += "\r";
         }
     }},
    {"a record line that ends in CR alone",
     [](Case* c) {
         if (!c->What.Records.empty()) {
             c->Lines[4] += "\r" + c->Lines[5];
             c->Lines.erase(c->Lines.begin() + 5);
         }
     }},
    {"a header keyword in a comment, after the START line or with its value written oddly",
     [](Case* c) {
         std::string value = std::to_string(c->Pick(2) ? c->What.Header : c->Pick(256));
         switch (c->Pick(5)) {
         case 0:
             c->Lines.insert(c->Lines.begin() + 1,
                             c->Pick(2) ? "# HEADER: " + value : "note [:::::]HEADER: " + value);
             break;
         case 1:
             c->Lines[0] += " HEADER: " + value;
             break;
         case 2:
             c->Lines[3] =
                 "[:::::]LINECOUNT: 2" +
                 std::vector<std::string>{",", ".", "\xE2\x80\x89", "\xE2\x80\x8B"}[c->Pick(4)] +
                 "000[:::::]";
             c->What.Count = 2000;
             break;
         case 3:
             c->Lines[2] =
                 std::vector<std::string>{
                     "\t[::::]HEADER: \t+ ", "\xC2\xA0- [:::::]HEADER: \xC2\xA0\"",
                     "\xEF\xBC\xBB:::::\xEF\xBC\xBDHEADER: ", "[:::::]HEADER: \xE2\x80\x9C",
                     "[:::::]HEADER: \xE3\x80\x80"}[c->Pick(5)] +
                 std::to_string(c->What.Header);
             // A comment in another script after it, with another value.
             c->Lines.insert(c->Lines.begin() + 3, c->Pick(2)
                                                       ? "\xD0\x9F\xD1\x80\xD0\xB8: HEADER: 7"
                                                       : "\xE3\x83\xA1\xE3\x83\xA2 HEADER: 7");
             break;
         default:
             // Numbered to come right before the first record, so only where it stands tells.
             c->Lines.insert(
                 c->Lines.begin() + 4,
                 "# [LINE:" + Digits(LastNumber(c) == 0 ? 7 : c->What.Records[0].first + 9999) +
                     "] a");
         }
     }},
    {"a zero-width space or a curly quote typed before a record line or the closing line",
     [](Case* c) {
         size_t at = c->RecordLine(c->Pick((uint32_t)c->What.Records.size() + 1));
         c->Lines[at] = (c->Pick(2) ? "\xE2\x80\x8B" : "\xE2\x80\x9C") + c->Lines[at];
     }},
    {"a record line's \"]\" typed as another sign, which the rebuild passes over alike, or a "
     "letter, digit or sign typed before it, which it passes over instead",
     [](Case* c) {
         if (!c->What.Records.empty()) {
             std::string& line = c->Lines[c->RecordLine(c->Pick((uint32_t)c->What.Records.size()))];
             uint32_t sign = c->Pick(10);
             // ")]" reads as a sign typed before the bracket, whatever the text was.
             if (sign < 4 && line.compare(11, 1, "]") != 0) {
                 line[10] = ")}>|"[sign];
             } else {
                 line.insert(10, 1, ")}>|x3:'\")"[sign]);
             }
         }
     }},
    {"a note in markers before the first record line, which reads like a tail marker",
     [](Case* c) { c->Lines.insert(c->Lines.begin() + 4, "[:::::]UPDATED by Ann[:::::]"); }},
    {"every record line written \"[LINE 0001 ]\"",
     [](Case* c) {
         for (size_t k = 0; k < c->What.Records.size(); ++k) {
             c->Lines[c->RecordLine(k)].replace(0, 11,
                                                "[LINE " + Digits(c->What.Records[k].first) + " ]");
         }
     }},
    {"a line break, \"[LINE:\" or \"[:::::]Sp\" typed into a text",
     [](Case* c) {
         static const char* typed[] = {"broken\r\nline", "a[LINE:0007]b", "a[:::::]Sp"};
         if (!c->What.Records.empty()) {
             SetText(c, 0, typed[c->Pick(3)]);
         }
     }},
    {"a record number changed",
     [](Case* c) {
         if (!c->What.Records.empty()) {
             size_t k = c->Pick((uint32_t)c->What.Records.size());
             c->What.Records[k].first = c->Pick(10000);
             SetText(c, k, c->What.Records[k].second);
         }
     }},
    {"a record line joined to the one before it, its line break deleted (not after a CR, which "
     "the speech file alone tells from a line end)",
     [](Case* c) {
         size_t k =
             c->What.Records.size() >= 2 ? 1 + c->Pick((uint32_t)c->What.Records.size() - 1) : 0;
         if (k > 0 && c->Lines[c->RecordLine(k - 1)].back() != '\r') {
             c->Lines[c->RecordLine(k - 1)] += c->Lines[c->RecordLine(k)];
             c->Lines.erase(c->Lines.begin() + (long)c->RecordLine(k));
         }
     }},
    {"a record line deleted",
     [](Case* c) {
         if (!c->What.Records.empty()) {
             size_t k = c->Pick((uint32_t)c->What.Records.size());
             c->Lines.erase(c->Lines.begin() + (long)c->RecordLine(k));
             c->What.Records.erase(c->What.Records.begin() + (long)k);
         }
     }},
    {"a header value changed",
     [](Case* c) {
         static const char* values[] = {"300",  "7",    "-1", "03",   "12345", "0",
                                        "9999", "0xff", "+5", "0x1F", "2.0",   "1,00"};
         std::string value = values[c->Pick(12)];
         bool count = c->Pick(2);
         c->Lines[count ? 3 : 2] =
             std::string("[:::::]") + (count ? "LINECOUNT: " : "HEADER: ") + value + "[:::::]";
         (count ? c->What.Count : c->What.Header) = std::stoll(value, nullptr, 0);
     }},
    {"the closing line deleted", [](Case* c) { c->Lines.pop_back(); }},
    {"every line between the head and the closing line deleted",
     [](Case* c) {
         c->Lines.erase(c->Lines.begin() + 4, c->Lines.end() - 1);
         c->What.Records.clear();
         c->What.Marker.clear();
     }},
    {"the side data deleted", [](Case* c) { c->SideDataThere = false; }},
    {"another version's side data",
     [](Case* c) {
         if (c->SideDataThere) {
             c->SideData = std::string(1 + c->Pick(12), '\x01');
         }
     }},
    {"a three-digit record number",
     [](Case* c) {
         if (!c->What.Records.empty()) {
             c->Lines[4].erase(6, 1);
         }
     }},
    {"the first record line's bracket deleted, its letters lowered, a blank put in or its word "
     "translated",
     [](Case* c) {
         if (!c->What.Records.empty()) {
             c->Lines[4].replace(
                 0, 6,
                 std::vector<std::string>{"LINE:", "[line:", "[ LINE:", "[LIGNE:"}[c->Pick(4)]);
         }
     }},
    {"a translator's comment before the first record line or after the closing line",
     [](Case* c) {
         // A tag numbered as no lost record could be, in a dump with records: as the first
         // record, or further from the records than lost lines there could be numbered.
         bool before = c->Pick(2);
         std::string tag;
         if (!c->What.Records.empty()) {
             uint32_t first = c->What.Records.front().first;
             uint32_t last = c->What.Records.back().first;
             uint32_t far = before ? (first >= 50 ? first - 50 : first)
                                   : (last + 50 <= 9999 ? last + 50 : first);
             tag = Digits(c->Pick(2) ? first : far);
         }
         std::string comment =
             std::vector<std::string>{"# Ann: 2026",
                                      "Ann v2]",
                                      "Deadline: 12",
                                      "Line 3 is odd",
                                      "Version: 2]",
                                      "See LINE:0002",
                                      "Note: [LINE:0002] is odd",
                                      "[TODO:" + tag + "] names"}[c->Pick(tag.empty() ? 7 : 8)];
         c->Lines.insert(before ? c->Lines.begin() + 4 : c->Lines.end(), comment);
     }},
    {"a blank line among the record lines, sometimes in a dump the repair runs on",
     [](Case* c) {
         size_t at = c->RecordLine(c->Pick((uint32_t)c->What.Records.size() + 1));
         c->Lines.insert(c->Lines.begin() + (long)at, "");
         if (c->Pick(2)) {
             c->Lines[0] = "[:::::] Speech START[:::::]";
         }
     }},
    {"the tail marker line moved before the first record line or after the closing line",
     [](Case* c) {
         if (!c->What.Marker.empty()) {
             std::string marker = c->Lines[c->Closing() - 1];
             c->Lines.erase(c->Lines.begin() + (long)c->Closing() - 1);
             c->Lines.insert(c->Pick(2) ? c->Lines.begin() + 4 : c->Lines.end(), marker);
         }
     }},
    {"the tail marker line deleted",
     [](Case* c) {
         if (!c->What.Marker.empty()) {
             c->Lines.erase(c->Lines.begin() + (long)c->Closing() - 1);
             c->What.Marker.clear();
         }
     }},
    {"the HEADER line deleted",
     [](Case* c) {
         c->Lines.erase(c->Lines.begin() + 2);
         c->What.HeaderLine = false;
     }},
};

TEST_F(ScratchDirectoryTest, CheckFindsAProblemExactlyWhenTheRebuildDoesNotGiveBackTheDump)
{
    std::vector<int> caught(Edits.size() * 2);
    for (uint32_t seed = 0; seed < 3000; ++seed) {
        Case c;
        c.Random.seed(seed);
        MakeSpeechFile(&c);
        ASSERT_EQ(Render(c.What, "x.txt"), ReadFileBytes("x.txt"));
        const Shown decoded = c.What;
        const std::string tail = c.SideData;
        size_t edit = c.Pick((uint32_t)Edits.size());
        Edits[edit].second(&c);
        std::string dump;
        for (size_t k = 0; k < c.Lines.size(); ++k) {
            dump += c.Lines[k] + (k + 1 < c.Lines.size() ? c.LineEnd : "");
        }
        WriteFileBytes("x.txt", dump);
        std::remove("x.ext");
        if (c.SideDataThere) {
            WriteFileBytes("x.ext", c.SideData);
        }

        StoredHeaderByte = StoredLineCount = 0;
        DumpJudgement judged;
        JudgeDump("x.txt", (const uint8_t*)dump.data(), (uint32_t)dump.size(), &judged);
        bool problem = judged.Problems > 0;

        StoredHeaderByte = StoredLineCount = 0;
        std::filesystem::remove_all("mod");
        for (const char* name : {"r.spc", "r.txt", "r.ext"}) {
            std::remove(name);
        }
        SetCurrentFileName("x.txt");
        GuardEdits = true; // as the command line rebuilds
        ConvertTextToSpeech();
        GuardEdits = false;
        bool same = false;
        if (LastConversion.Problem == PROBLEM_NONE) {
            std::filesystem::rename("mod/x.spc", "r.spc");
            SetCurrentFileName("r.spc");
            ConvertSpeechToText();
            // Side data beside a dump that shows no tail is a tail lost with its marker line.
            same = ReadFileBytes("r.txt") == Render(c.What, "r.txt") &&
                   (c.What.Marker.empty()
                        ? !c.SideDataThere
                        : std::filesystem::exists("r.ext") && ReadFileBytes("r.ext") == c.SideData);
        }
        // A decode that rebuilds exactly, its line count matching its records, is not worth
        // a note either.
        if (edit == 0 && same && c.What.Count == (int64_t)c.What.Records.size()) {
            EXPECT_TRUE(judged.Findings.empty())
                << "seed " << seed << ": " << judged.Findings[0].Text;
        }
        // A rebuild of what the dump shows that is not what the speech file beside it holds,
        // as a dump of another version shows, is a problem too; a LINECOUNT raised alone is
        // a modder's who added records.
        bool otherVersion =
            c.What.Header != decoded.Header ||
            (decoded.Count >= 0 && decoded.Count <= 9999 && c.What.Count < decoded.Count) ||
            (!c.What.Marker.empty() && c.SideData != tail);
        ++caught[edit * 2 + problem];
        ASSERT_EQ(problem, !same || otherVersion || c.Reencoded)
            << "seed " << seed << ", " << Edits[edit].first << "\n"
            << testing::PrintToString(dump)
            << "\nfindings: " << (judged.Findings.empty() ? "" : judged.Findings[0].Text)
            << "\nrebuilt and decoded: " << testing::PrintToString(ReadFileBytes("r.txt"));
    }
    // Every edit was tried, and both verdicts were reached.
    for (size_t edit = 1; edit < Edits.size(); ++edit) {
        EXPECT_GT(caught[edit * 2] + caught[edit * 2 + 1], 0) << Edits[edit].first;
    }
}

} // namespace
