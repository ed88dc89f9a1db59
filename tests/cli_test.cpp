// The command-line program run as a user runs it: exit statuses, messages and the files each
// command line leaves, the guards for a translator's edits, and outputs against the core's own.
#include "test_support.h"

#include "workspace.h"

#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

struct RunResult {
    int Status;
    std::string Out;
    std::string Err;
};

// Runs the program in the current folder through the shell; outputs are kept outside it.
static RunResult RunQuillmarsh(const std::string& arguments, const std::string& environment = "")
{
    const std::string out = fs::current_path().string() + ".out", err = out + ".err";
    int status = std::system(
        (environment + " '" QUILLMARSH_PROGRAM "' " + arguments + " >'" + out + "' 2>'" + err + "'")
            .c_str());
    RunResult result = {WEXITSTATUS(status), ReadFileBytes(out), ReadFileBytes(err)};
    fs::remove(out);
    fs::remove(err);
    return result;
}

static const std::string SPEECH = BuildSpeechFile(3, 2, {{1, "Hi"}, {2, "yo"}}, "\x01\x02");
static const std::string DUMP = "[:::::]Speech START[:::::]\r\n[:::::]FILENAME: a.txt[:::::]\r\n"
                                "[:::::]HEADER: 3[:::::]\r\n[:::::]LINECOUNT: 2[:::::]\r\n"
                                "[LINE:0001]Hi\r\n[LINE:0002]yo\r\n[:::::]Unknown DATA[:::::]\r\n"
                                "[:::::]Speech FINISH[:::::]";
static const std::string HEAD_OF_TWO = DUMP.substr(0, DUMP.find("[LINE:"));
static const std::string EDITED = std::string(DUMP).replace(DUMP.find("Hi"), 2, "Salut");
// The same dump, decoded by another path to its speech file: no rebuild reads that line.
static const std::string FROM_ELSEWHERE =
    std::string(DUMP).replace(DUMP.find("a.txt"), 5, "/games/a.txt");

TEST_F(ScratchDirectoryTest, EachCommandLineHasItsExitStatusMessageAndFiles)
{
    const std::string fresh = std::string(5, '\0');
    // A folder's path of 508 bytes: a temporary name cut at 511 would be "~qm".
    const std::string deep = "d/" + std::string(252, '0') + "/" + std::string(252, '0');
    struct Case {
        std::vector<std::pair<std::string, std::string>> Files; // "/" as bytes: a folder
        std::string Arguments;
        int Status;
        std::string Message;                                    // on either stream
        std::vector<std::pair<std::string, std::string>> After; // "-": no such file
        std::string Environment = "";
    } cases[] = {
        {{}, "", 2, "quillmarsh: no command given", {}},
        {{}, "-h", 0, "Usage: quillmarsh", {}},
        {{}, "unpack a.spc", 2, "unknown command 'unpack'", {}},
        {{}, "decode -x a.spc", 2, "unknown option '-x'", {}},
        {{}, "export --encoding latin9 a.spc", 2, "unknown encoding 'latin9'", {}},
        {{},
         "decode --encoding gbk a.spc",
         2,
         "quillmarsh: --encoding does not go with decode",
         {}},
        {{}, "export --fuzzy a.spc", 2, "quillmarsh: --fuzzy does not go with export", {}},
        {{}, "import -o x.pot a.po", 2, "quillmarsh: -o does not go with import", {}},
        {{}, "-C nowhere -C . decode a.spc", 2, "nowhere: cannot work in this folder", {}},
        {{}, "export -o '' a.spc", 2, "quillmarsh: -o needs a catalogue's name", {}},
        {{}, "export -o - a.spc", 2, "quillmarsh: -o - (standard output) is not taken", {}},
        {{}, "export -o a.pot -o b.pot a.spc", 2, "quillmarsh: -o names two catalogues", {}},
        {{},
         "export --encoding sjis --encoding gbk a.spc",
         2,
         "quillmarsh: --encoding names two",
         {}},
        {{{"a.spc", BuildSpeechFile(3, 1, {{1, "Hi"}})}},
         "export --encoding sjis --encoding Shift_JIS a.spc",
         0,
         "a.spc: 1 text -> a.pot\n",
         {}},
        {{}, "import -", 2, "quillmarsh: -: no such file (standard input is not read", {}},
        // Only a catalogue written claims texts; a short name is a catalogue's like any other.
        {{{"a.spc", SPEECH}},
         "export -o po a.spc missing.spc",
         2,
         "^2 files: 0 exported",
         {{"po", "-"}}},
        {{{"a.spc", SPEECH}}, "export -o po a.spc", 0, "a.spc: 2 texts for po", {}},
        {{}, "decode missing.spc", 2, "quillmarsh: missing.spc: cannot be opened", {}},
        {{{"a.spc", SPEECH}},
         "verify a.spc",
         2,
         "a.spc: no temporary folder can be used (TMPDIR names /nowhere: No such file or "
         "directory)",
         {},
         "TMPDIR=/nowhere"},
        // A line end in a name cannot split the line a script reads.
        {{}, "decode \"$(printf 'a\\nb.spc')\"", 2, "quillmarsh: a\\nb.spc: cannot be opened", {}},
        {{}, "check missing.txt", 2, "^quillmarsh: missing.txt: cannot be opened", {}},
        {{}, "decode ..", 2, "quillmarsh: ..: is a folder, not a file", {}},
        {{}, "rebuild nodir/a.txt", 2, "nodir/a.txt: cannot be opened (No such file", {}},
        {{}, "decode " + std::string(260, 'n'), 2, "is longer than 259 characters", {}},
        {{{"a.spc", SPEECH}},
         "export -o nodir/x.pot a.spc",
         2,
         "^quillmarsh: nodir/x.pot: cannot write",
         {}},
        // A folder another run holds: said in a script's log too, then done.
        {{{"a.spc", SPEECH}},
         "decode a.spc",
         0,
         "quillmarsh: a.spc: waiting for another conversion in this folder\n",
         {{"a.txt", DUMP}},
         "flock . sleep 1 & sleep 0.3;"},
        // A link put where a temporary file goes is replaced, never written through. A folder
        // whose path leaves no room for the temporary names is refused before one is cut
        // short onto a file of its own.
        {{{"a.spc", SPEECH}},
         "decode a.spc",
         0,
         "a.spc: 2 records, short tail 2 bytes -> a.txt, a.ext",
         {{"a.ext", "\x01\x02"}, {"a.spc", SPEECH}},
         "ln a.spc '~qm-ext.tmp';"},
        {{{"a.spc", SPEECH}, {"d", "/"}},
         "export -o \"$d/p.pot\" a.spc",
         2,
         "p.pot: cannot write",
         {{deep + "/~qm", "keep"}},
         "d=" + deep + "; mkdir -p $d; printf keep > $d/~qm;"},
        // A pipe (or a device) where an output goes stays, even with --force.
        {{{"a.spc", SPEECH}},
         "-f decode a.spc",
         2,
         "a.txt is not a regular file (a pipe or a device), so it is not replaced",
         {},
         "mkfifo a.txt;"},
        {{{"a.spc", SPEECH}},
         "export -o p.pot a.spc",
         2,
         "^quillmarsh: p.pot: p.pot is not a",
         {},
         "mkfifo p.pot;"},
        {{{"a.spc", SPEECH}, {"a.po", "msgctxt \"a.spc:1\"\nmsgid \"Hi\"\nmsgstr \"caf\xE9\"\n"}},
         "import a.po",
         2,
         "a.po:1: a.spc:1: the translation is not valid UTF-8; nothing written for a.spc",
         {{"mod/a.spc", "-"}}},
        {{{"n.spc", BuildSpeechFile(3, 2, {{9999, "a"}, {10000, "b"}})}},
         "decode n.spc",
         1,
         "n.spc: a rebuild of n.txt will not give this file back byte for byte: a dump shows "
         "only the last four digits of the record number 10000",
         {}},
        // Scratch folders of a verify that was killed go; those of one that runs stay, and so
        // do fresh ones, whose process may run out of sight.
        {{{"a.spc", SPEECH},
          {"t", "/"},
          {"t/quillmarsh-verify-2147483647-5", "/"},
          {"t/quillmarsh-verify-2147483647-5/v.txt", "x"},
          {"t/quillmarsh-verify-2147483646-5", "/"},
          {"t/quillmarsh-verify-2147483646-5/v.txt", "z"},
          {"t/quillmarsh-verify-1-5", "/"},
          {"t/quillmarsh-verify-1-5/v.txt", "y"}},
         "verify a.spc",
         0,
         "a.spc: round-trips exactly",
         {{"t/quillmarsh-verify-2147483647-5/v.txt", "-"},
          {"t/quillmarsh-verify-2147483646-5/v.txt", "z"},
          {"t/quillmarsh-verify-1-5/v.txt", "y"}},
         "touch -d '-2 hours' t/*-5; touch t/*46-5; TMPDIR=\"$PWD/t\""},
        {{{"t.spc", std::string("\x03\x01\0\0\0\x01\x02", 7)}},
         "decode t.spc",
         1,
         "t.spc: a rebuild of t.txt will not give this file back byte for byte: no whole record "
         "comes before its tail",
         {}},
        // A name the rebuild reads as a header value or a record line; 259 is written as 3.
        {{{"x HEADER: 9.spc", SPEECH}},
         "decode 'x HEADER: 9.spc'",
         1,
         "a rebuild of x HEADER: 9.txt will not give this file back byte for byte: its name",
         {}},
        {{{"HEADER: 259.spc", SPEECH}}, "decode 'HEADER: 259.spc'", 0, "2 records", {}},
        {{{"[LINE:0001]", "/"}, {"[LINE:0001]/a.spc", SPEECH}},
         "decode '[LINE:0001]/a.spc'",
         1,
         "holds what a rebuild reads as a header value or a record line",
         {}},
        // Past a file-size limit: a failed write, not a signal that leaves the temporary file.
        {{{"big.spc", BuildSpeechFile(3, 1, {{1, std::string(4096, 'a')}})}},
         "decode big.spc",
         2,
         "big.spc: writing big.txt failed (File too large); nothing was written",
         {{"big.txt", "-"}, {"~qm-out.tmp", "-"}},
         "ulimit -f 1;"},
        {{{"a.txt", "[:::::] Speech START [:::::]\r\n[:::::] HEADER: 3 [:::::]\r\n[:::::] "
                    "LINECOUNT: 1 [:::::]\r\n[LINE: 0001] Hi\r\n[:::::] Speech FINISH [:::::]"}},
         "rebuild a.txt",
         0,
         "a.txt: 1 record -> mod/a.spc (blanks in the markup repaired)\n",
         {{"mod/a.spc", BuildSpeechFile(3, 1, {{1, "Hi"}})}}},
        // Empty lines after a text cost it nothing; a text that goes on after a line break does.
        {{{"a.txt", "[:::::]Speech START[:::::]HEADER: 3[:::::]LINECOUNT: 2\r\n[LINE:0001]un\r\n"
                    "deux\r\n\r\n[LINE:0002]b\r\n\r\n[:::::]Speech FINISH[:::::]"}},
         "rebuild a.txt",
         1,
         "a.txt: the text of record 0001 spans more than one line: mod/a.spc holds it cut short",
         {}},
        // Record lines saved with LF line ends (pasted), the head not: each text keeps its LF.
        {{{"a.txt",
           "[:::::]Speech START[:::::]\r\n[:::::]HEADER: 3[:::::]\r\n[:::::]LINECOUNT: 2[:::::]\r\n"
           "[LINE:0001]Hi\n[LINE:0002]yo\n[:::::]Speech FINISH[:::::]"}},
         "rebuild a.txt",
         1,
         "mod/a.spc holds 2 texts, the first that of record 0001, each with the LF its line ends "
         "in",
         {{"mod/a.spc", BuildSpeechFile(3, 2, {{1, "Hi\n"}, {2, "yo\n"}})}}},
        // A tail marker moved up: besides the text it joins, the last one is cut, and both are
        // said.
        {{{"a.txt", "[:::::]Speech START[:::::]HEADER: 3[:::::]LINECOUNT: 2\r\n[LINE:0001]un\r\n"
                    "[:::::]Unknown DATA[:::::]\r\n[LINE:0002]deux\r\n[:::::]Speech FINISH[:::::]"},
          {"a.ext", "\x01"}},
         "rebuild a.txt",
         1,
         "last record line: mod/a.spc holds 2 bytes for the text of record 0002, which shows 4: as "
         "many",
         {}},
        {{{"a.spc", SPEECH}, {"a.txt", EDITED}},
         "rebuild a.txt",
         2,
         "a.txt: mod leads back to this folder or the dump's (a link?)",
         {{"a.spc", SPEECH}},
         "ln -s . mod;"},
        {{{"a.spc", SPEECH}, {"a.txt", DUMP}, {"a.ext", "\x01\x02"}},
         "check a.txt",
         1,
         "a.txt: mod leads back to this folder or the dump's (a link?), where the rebuild would "
         "replace the speech file: the rebuild refuses\n",
         {},
         "ln -s . mod;"},
        {{{"d", "/"}, {"d/a.spc", SPEECH}, {"d/a.txt", EDITED}},
         "rebuild d/a.txt",
         2,
         "d/a.txt: mod leads back",
         {{"d/a.spc", SPEECH}},
         "ln -s d mod;"},
        {{{"mod", "/"}, {"mod/a.txt", DUMP}, {"mod/a.ext", "\x01\x02"}},
         "rebuild mod/a.txt",
         0,
         "-> mod/a.spc",
         {{"mod/a.spc", SPEECH}}},
        // The side data of a version with a tail goes with its dump; an input named so stays,
        // and so does one that no dump beside it names (a game's own, a user's).
        {{{"a.spc", BuildSpeechFile(3, 1, {{1, "Hi"}})},
          {"a.txt", DUMP},
          {"a.ext", "\x01"},
          {"b.ext", SPEECH.substr(0, 21)}},
         "-f decode a.spc b.ext",
         0,
         "a.spc: 1 record -> a.txt (a.ext, an earlier decode's side data, removed)\n",
         {{"a.ext", "-"}, {"b.ext", SPEECH.substr(0, 21)}}},
        {{{"a.spc", BuildSpeechFile(3, 2, {{1, "Hi"}, {2, "unknown data"}})},
          {"a.txt", std::string(DUMP)
                        .erase(DUMP.find("[:::::]Unknown"), 28)
                        .replace(DUMP.find("yo"), 2, "unknown data")},
          {"a.ext", "\x01"}},
         "decode a.spc",
         0,
         "a.spc: 2 records -> a.txt (unchanged; a.ext, which no earlier dump here names, left as "
         "it is)\n",
         {{"a.ext", "\x01"}}},
        // More catalogues than files a process may keep open.
        {{{"a.spc", SPEECH}, {"c.po", "msgctxt \"a.spc:1\"\nmsgid \"Hi\"\nmsgstr \"Yo\"\n"}},
         "import c*.po",
         0,
         "a.spc: 2 records, 1 translated",
         {},
         "for i in $(seq 30); do echo '#' >c$i.po; done; ulimit -n 16;"},
        // The head is the first cause, before the byte a decode drops.
        {{{"c.spc", BuildSpeechFile(3, 0xFFFFFFFF, {}) + "z"}},
         "decode c.spc",
         1,
         "c.spc: a rebuild of c.txt will not give this file back byte for byte: a rebuild reads "
         "four digits and no sign of its LINECOUNT, -1",
         {}},
        {{{"z.spc", BuildSpeechFile(3, 0, {{1, "a"}})}},
         "decode z.spc",
         1,
         "z.spc: a rebuild of z.txt will not give this file back byte for byte: its LINECOUNT is "
         "0, so a rebuild writes no record and no tail",
         {}},
        {{{"l.spc", BuildSpeechFile(3, 2, {{1, "a[LINE:0002]b"}})}},
         "decode l.spc",
         1,
         "the text of record 1 holds \"[LINE:\", where a rebuild starts a new record",
         {}},
        {{{"u.spc", BuildSpeechFile(3, 2, {{1, "ab[:::::]Unknown"}, {2, "xyz"}})}},
         "decode u.spc",
         1,
         "the text of record 1 holds \"[:::::]Un\", which a rebuild takes for a short-tail "
         "marker: it writes the last record's text as long as the text before that marker",
         {}},
        // One catalogue missing: none is imported, nor a file written for the others.
        {{{"a.spc", SPEECH}, {"a.po", "msgctxt \"a.spc:1\"\nmsgid \"Hi\"\nmsgstr \"Yo\"\n"}},
         "import a.po missing.po",
         2,
         "quillmarsh: missing.po: cannot be opened",
         {{"mod/a.spc", "-"}}},
        {{{"a.po", "msgctxt \"b.spc:1\"\nmsgid \"Hi\"\nmsgstr \"Yo\"\n"}},
         "import a.po",
         2,
         "a.po:1: b.spc:1: no speech file b.spc stands in this folder",
         {}},
        {{{"a", "/"}, {"b", "/"}, {"a/x.spc", SPEECH}, {"b/x.spc", SPEECH}},
         "export -o all.pot a/x.spc b/x.spc",
         2,
         "b/x.spc: has the same name as a/x.spc; one catalogue cannot tell them apart",
         {{"all.pot", "-"}}},
        {{{"a.spc", SPEECH}},
         "export -o all.pot a.spc ./a.spc",
         0,
         "a.spc: 2 texts for all.pot\n",
         {}},
        {{{"a.spc", SPEECH}, {"b.spc", SPEECH}},
         "-f export -o a.spc b.spc",
         2,
         "a.spc: is not a catalogue; left as it is",
         {{"a.spc", SPEECH}}},
        {{{"h.spc", std::string("#\0\0\0\0", 5)}},
         "-f export -o h.spc h.spc",
         2,
         "h.spc: is also the catalogue to write",
         {{"h.spc", std::string("#\0\0\0\0", 5)}}},
        // Said before a speech file is read: a.spc is not there.
        {{{"w.po", "msgctxt \"a.spc:1\"\nmsgid \"Hi\"\nmsgstr \"Salut\"\n"}},
         "export -o w.po a.spc",
         2,
         "w.po: holds translations; left as it is (--force replaces it)",
         {{"w.po", "msgctxt \"a.spc:1\"\nmsgid \"Hi\"\nmsgstr \"Salut\"\n"}}},
        {{{"a.spc", SPEECH}, {"a.pot", "msgid \"Hi\"\nmsgstr \"Salut\"\n"}},
         "export a.spc",
         2,
         "a.pot: holds translations; left as it is",
         {{"a.pot", "msgid \"Hi\"\nmsgstr \"Salut\"\n"}}},
        {{{"a.spc", SPEECH}, {"w.po", "#~ msgid \"Hi\"\n#~ msgstr \"\" \"Salut\"\n"}},
         "export -o w.po a.spc",
         2,
         "w.po: holds translations",
         {{"w.po", "#~ msgid \"Hi\"\n#~ msgstr \"\" \"Salut\"\n"}}},
        {{{"caf\xE9.spc", SPEECH}, {"b.spc", SPEECH}},
         "export -o all.pot b.spc \"$(printf 'caf\\351.spc')\"",
         2,
         "a catalogue cannot carry this name",
         {{"all.pot", "-"}}},
        {{{"a\\b.spc", SPEECH}}, "export 'a\\b.spc'", 2, "a catalogue cannot carry this name", {}},
        {{{"a\tb.spc", SPEECH}}, "export 'a\tb.spc'", 2, "a catalogue cannot carry this name", {}},
        {{{"j.spc", BuildSpeechFile(3, 1, {{1, "\x82\xA0"}})}},
         "export j.spc",
         1,
         "j.spc: record 1 is not valid UTF-8 text, left out; with no text left, an import will not",
         {}},
        {{{"u.spc", BuildSpeechFile(3, 1, {{1, "caf\xC3\xA9"}})},
          {"u.po", "msgctxt \"u.spc:1\"\nmsgid \"caf\xC3\xA9\"\nmsgstr \"Th\xC3\xA9\"\n"}},
         "import --encoding=cp1252 u.po",
         1,
         "u.spc: record 1 stands in the catalogue as UTF-8, not as Windows-1252 text",
         {}},
        {{{"a.spc", SPEECH},
          {"a.po", "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=US-ASCII\\n\"\n\n"
                   "msgctxt \"a.spc:1\"\nmsgid \"Hi\"\nmsgstr \"Yo\"\n"}},
         "import a.po ./a.po",
         0,
         "a.spc: 2 records, 1 translated, 1 kept -> mod/a.spc\n",
         {{"mod/a.spc", BuildSpeechFile(3, 2, {{1, "Yo"}, {2, "yo"}}, "\x01\x02")}}},
        {{{"a.spc", SPEECH},
          {"d.po", "msgctxt \"a.spc:2\"\nmsgid \"yo\"\nmsgstr \"Oui\"\n\nmsgctxt \"a.spc:0002\"\n"
                   "msgid \"yo\"\nmsgstr \"Non\"\n\nmsgctxt \"a.spc:1\"\nmsgid \"Hi\"\nmsgstr "
                   "\"A\"\n\nmsgctxt \"a.spc:01\"\nmsgid \"Hi\"\nmsgstr \"B\"\n"}},
         "import d.po",
         2,
         "d.po:13: another translation of a.spc:01 than at d.po:9; nothing written (keep one of "
         "them)\nquillmarsh: d.po:5: another translation of a.spc:0002 than at d.po:1; nothing",
         {{"mod/a.spc", "-"}}},
        // A reviewed translation over the fuzzy one it replaces, in either order.
        {{{"a.spc", SPEECH},
          {"f.po", "#, fuzzy\nmsgctxt \"a.spc:2\"\nmsgid \"yo\"\nmsgstr \"Non\"\n"},
          {"r.po", "msgctxt \"a.spc:2\"\nmsgid \"yo\"\nmsgstr \"Oui\"\n"}},
         "import f.po r.po",
         0,
         "a.spc: 2 records, 1 translated, 1 kept -> mod/a.spc\n",
         {{"mod/a.spc", BuildSpeechFile(3, 2, {{1, "Hi"}, {2, "Oui"}}, "\x01\x02")}}},
        {{{"a.spc", SPEECH},
          {"f.po", "#, fuzzy\nmsgctxt \"a.spc:2\"\nmsgid \"yo\"\nmsgstr \"Non\"\n"},
          {"r.po", "msgctxt \"a.spc:2\"\nmsgid \"yo\"\nmsgstr \"Oui\"\n"}},
         "import r.po f.po",
         0,
         "a.spc: 2 records, 1 translated, 1 kept -> mod/a.spc\n",
         {{"mod/a.spc", BuildSpeechFile(3, 2, {{1, "Hi"}, {2, "Oui"}}, "\x01\x02")}}},
        {{{"a.spc", SPEECH},
          {"p.po", "msgctxt \"a.spc:1\"\nmsgid \"Hi\"\nmsgid_plural \"Hi!\"\nmsgstr[0] \"Yo\"\n"
                   "msgstr[1] \"Yo!\"\n"}},
         "import p.po",
         1,
         "p.po:1: a.spc:1: a plural entry (msgid_plural), which a record cannot be: its first "
         "form, msgstr[0], is taken",
         {{"mod/a.spc", BuildSpeechFile(3, 2, {{1, "Yo"}, {2, "yo"}}, "\x01\x02")}}},
        // Each translator's part of one catalogue; a translation given twice is one.
        {{{"a.spc", SPEECH},
          {"1.po", "msgctxt \"a.spc:1\"\nmsgid \"Hi\"\nmsgstr \"Yo\"\n\nmsgctxt \"a.spc:2\"\n"
                   "msgid \"yo\"\nmsgstr \"\"\n"},
          {"2.po", "msgctxt \"a.spc:1\"\nmsgid \"Hi\"\nmsgstr \"Yo\"\n\nmsgctxt \"a.spc:2\"\n"
                   "msgid \"yo\"\nmsgstr \"Oui\"\n"}},
         "import 1.po 2.po",
         0,
         "a.spc: 2 records, 2 translated, 0 kept",
         {{"mod/a.spc", BuildSpeechFile(3, 2, {{1, "Yo"}, {2, "Oui"}}, "\x01\x02")}}},
        // A note after a string's first piece, holding quotes of its own.
        {{{"a.spc", SPEECH},
          {"n.po", "msgctxt \"a.spc:1\"\nmsgid \"H\" # a \"note\n\"i\"\nmsgstr \"Yo\"\n"}},
         "import n.po",
         0,
         "a.spc: 2 records, 1 translated",
         {{"mod/a.spc", BuildSpeechFile(3, 2, {{1, "Yo"}, {2, "yo"}}, "\x01\x02")}}},
        {{{"a.spc", SPEECH}, {"a.bin", BuildSpeechFile(3, 1, {{1, "Other"}})}},
         "export a.spc ./a.bin",
         2,
         "./a.bin: would be exported into the same ./a.pot as a.spc in this run; not exported",
         {}},
        {{{"a.spc", SPEECH},
          {"x.po", "msgctxt \"a.spc:2x\"\nmsgid \"yo\"\nmsgstr \"Salut\"\n\nmsgctxt \"a.spc:1\"\n"
                   "msgid \"H\" \"i\"\nmsgstr \"Y\" \"o\"\n"}},
         "import x.po",
         1,
         "x.po:1: the entry names no speech file and record",
         {{"mod/a.spc", BuildSpeechFile(3, 2, {{1, "Yo"}, {2, "yo"}}, "\x01\x02")}}},
        {{{"n.spc", BuildSpeechFile(3, 2, {{1, "Hi"}, {2, std::string("a\0b", 3)}})}},
         "export n.spc",
         1,
         "n.spc: 1 text -> n.pot",
         {}},
        // A file with no text a catalogue can carry, warned of, between two with texts: neither
        // the count of texts nor the warning carries over to the next file.
        {{{"a.spc", SPEECH}, {"e.spc", BuildSpeechFile(3, 1, {{1, ""}})}, {"b.spc", SPEECH}},
         "export -o all.pot a.spc e.spc b.spc",
         1,
         "3 files: 2 exported, 1 exported with warnings, 0 not exported",
         {}},
        {{{"a.spc", SPEECH}, {"w.po", "#~ msgid \"Hi\"\n#~ msgstr \"\"\n"}},
         "export -o w.po a.spc",
         0,
         "a.spc: 2 texts for w.po",
         {}},
        {{{"a.spc", SPEECH}}, "import a.spc", 2, "a.spc:1: unknown keyword '\\x03\\x02\\x00", {}},
        {{{"a.spc", SPEECH},
          {"c.po", "msgctxt \"a.spc:1\"\nmsgid \"Hi\"\n# a note\nmsgstr \"Yo\"\n"}},
         "import c.po",
         2,
         "c.po:2: msgstr expected after msgid",
         {{"mod/a.spc", "-"}}},
        {{{"u.po", std::string("\xFF\xFE#\0", 4)}},
         "import u.po",
         2,
         "u.po:1: saved as UTF-16",
         {}},
        {{{"t.spc", std::string("\3\0\0\0\0\1", 6)},
          {"t.po", "msgctxt \"t.spc:1\"\nmsgid \"x\"\nmsgstr \"y\"\n"}},
         "import t.po",
         1,
         "t.spc has no such record",
         {{"mod/t.spc", std::string("\3\0\0\0\0\1", 6)}}},
        {{{"sub", "/"},
          {"sub/a.spc", SPEECH},
          {"a.po", "msgctxt \"sub/a.spc:0001\"\nmsgid \"Hi\"\nmsgstr \"Salut\"\n"}},
         "import a.po",
         2,
         "sub/a.spc: a catalogue names this speech file with its folder, and import reads",
         {{"mod/a.spc", "-"}, {"sub/mod/a.spc", "-"}}},
        {{{"a.spc", SPEECH}, {"a.bin", BuildSpeechFile(3, 1, {{1, "Other"}})}},
         "-f decode a.spc ./a.bin",
         2,
         "./a.bin: would be decoded into the same ./a.txt as a.spc in this run; not decoded",
         {{"a.txt", DUMP}}},
        {{{"d.spc", "/"}}, "decode d.spc", 2, "quillmarsh: d.spc: is a folder, not a file", {}},
        {{{"a.spc", SPEECH}},
         "decode a.spc a.txt",
         2,
         "a.txt: its output a.txt would be the input",
         {}},
        {{{"a.spc", SPEECH}},
         "decode a.spc",
         0,
         "a.spc: 2 records, short tail 2 bytes -> a.txt, a.ext\n",
         {{"a.txt", DUMP}, {"a.ext", "\x01\x02"}}},
        {{{"a.spc", SPEECH}, {"a.txt", DUMP}, {"a.ext", "\x01\x02"}},
         "decode a.spc",
         0,
         "-> a.txt, a.ext (unchanged)",
         {{"a.txt", DUMP}}},
        {{{"a.spc", SPEECH}, {"a.txt", DUMP}, {"a.ext", "\x01\x02"}},
         "decode \"$PWD//a.spc\"",
         0,
         "//a.spc: 2 records, short tail 2 bytes -> a.txt, a.ext (unchanged)",
         {{"a.txt", DUMP}}},
        {{{"a.spc", SPEECH}, {"a.txt", DUMP}, {"a.ext", "\x01\x02"}},
         "decode .//a.spc",
         0,
         ".//a.spc: 2 records, short tail 2 bytes -> a.txt, a.ext (unchanged)",
         {{"a.txt", DUMP}}},
        {{{"a.txt", std::string(DUMP).erase(DUMP.find("[:::::]Unknown"), 28)},
          {"a.ext", "\x01\x02"}},
         "rebuild a.txt",
         1,
         "a.ext stands beside the dump, but no tail marker follows its records: mod/a.spc was "
         "written without that tail",
         {{"mod/a.spc", BuildSpeechFile(3, 2, {{1, "Hi"}, {2, "yo"}})}}},
        // The short name stands in the current folder, whatever folder the dump's name gives.
        {{{"d", "/"}, {"d/a.txt", DUMP}, {"d/a.ext", "\x01\x02"}, {"a.ext", "\x07"}},
         "rebuild d/a.txt",
         1,
         "d/a.txt: spliced a.ext, not this dump's own d/a.ext",
         {}},
        // "Caf\xE9" is Windows-1250 too; "Voil\xE0" only Windows-1252.
        {{{"a.spc", BuildSpeechFile(3, 2, {{1, "Caf\xC3\xA9"}, {2, "Voil\xC3\xA0"}}, "\x01\x02")},
          {"a.txt", std::string(DUMP)
                        .replace(DUMP.find("Hi"), 2, "Caf\xE9")
                        .replace(DUMP.find("yo") + 2, 2, "Voil\xE0")},
          {"a.ext", "\x01\x02"}},
         "check a.txt",
         1,
         "a.txt: line 5: 2 record lines from here show texts of a.spc converted from UTF-8 to "
         "Windows-1252",
         {}},
        // A tail too long to be a short one was marked in capitals.
        {{{"a.txt", std::string(DUMP).erase(DUMP.find("[:::::]Unknown"), 28)},
          {"a.ext", std::string("\x09\x00\x01\x00\x00\x00A", 7)}},
         "check a.txt",
         1,
         "put back its [:::::]UNKNOWN DATA[:::::] line",
         {}},
        // ... unless the speech file beside it has no tail either: an earlier version's.
        {{{"a.txt", std::string(DUMP).erase(DUMP.find("[:::::]Unknown"), 28)},
          {"a.ext", "\x01\x02"},
          {"a.spc", BuildSpeechFile(3, 2, {{1, "Hi"}, {2, "yo"}})}},
         "check a.txt",
         0,
         "note: a.ext stands beside the dump, but no tail marker follows its records, and a.spc "
         "has no tail: a.ext is an earlier version's side data",
         {}},
        {{{"a.txt", DUMP}}, "verify a.txt", 1, "(it is a dump, not a speech file)", {}},
        {{}, "verify missing.spc", 2, "quillmarsh: missing.spc: cannot be opened", {}},
        {{{"a.txt", DUMP.substr(0, DUMP.find("[:::::]Unknown"))}},
         "rebuild a.txt",
         1,
         "a.txt: the dump has no closing line [:::::]Speech FINISH[:::::], so its last record line "
         "stays open: mod/a.spc holds that record's number without its text",
         {}},
        // Named twice, a dump would be rebuilt a second time with carried-over values.
        {{{"a.txt", DUMP}, {"b.txt", DUMP}},
         "check a.txt b.txt ./a.txt",
         1,
         "2 files: 0 ready to rebuild, 2 with problems",
         {}},
        {{{"a.spc", SPEECH}, {"a.txt", FROM_ELSEWHERE}},
         "decode a.spc",
         0,
         "a.spc: 2 records, short tail 2 bytes -> a.txt, a.ext (unchanged; a.ext written again)",
         {{"a.txt", FROM_ELSEWHERE}, {"a.ext", "\x01\x02"}}},
        // A line typed into the FILENAME line, which the comparison must not pass over.
        {{{"a.spc", SPEECH},
          {"a.txt", std::string(DUMP).insert(DUMP.find("[:::::]\r\n[:::::]HEADER"),
                                             "\r\n[:::::]HEADER: 9")}},
         "decode a.spc",
         2,
         "quillmarsh: a.txt: exists and differs",
         {}},
        {{{"a.spc", SPEECH},
          {"a.txt", std::string(DUMP).replace(DUMP.find("a.txt"), 0, "HEADER: 9/")}},
         "decode a.spc",
         2,
         "quillmarsh: a.txt: exists and differs",
         {}},
        {{{"a.spc", SPEECH}, {"a.txt", EDITED}, {"a.ext", "\x01\x02"}},
         "decode a.spc",
         2,
         "quillmarsh: a.txt: exists and differs from a fresh decode of a.spc (edited?); left as "
         "it is (--force replaces it)",
         {{"a.txt", EDITED}}},
        // A translated dump of the version before a patch.
        {{{"a.spc", SPEECH},
          {"a.txt", std::string(EDITED).replace(EDITED.find("HEADER: 3"), 9, "HEADER: 4")}},
         "decode a.spc",
         2,
         "quillmarsh: a.txt: exists and differs from a fresh decode of a.spc, which has HEADER "
         "3, not 4 (edited, or decoded before a game patch?)",
         {}},
        {{{"a.spc", SPEECH}, {"a.txt", DUMP}, {"a.ext", "other"}},
         "decode a.spc",
         2,
         "quillmarsh: a.ext: exists and differs",
         {{"a.ext", "other"}}},
        // What it replaces keeps its permissions: a private or read-only dump stays so.
        {{{"a.spc", SPEECH}, {"a.txt", EDITED}, {"a.ext", "other"}},
         "-f decode a.spc >/dev/null && stat -c %a a.txt a.ext",
         0,
         "604\n604\n",
         {{"a.txt", DUMP}, {"a.ext", "\x01\x02"}},
         "chmod 604 a.txt a.ext;"},
        {{{"notes.txt", "[:::::]FILENAME: notes.txt[:::::]\r\n"},
          {"mod", "/"},
          {"mod/notes.spc", "earlier"}},
         "rebuild notes.txt",
         2,
         "quillmarsh: notes.txt: is not a dump (no [:::::]Speech START[:::::] line); nothing "
         "written",
         {{"mod/notes.spc", "earlier"}}},
        {{{"a.txt", std::string("\xFF\xFE[\0:\0", 6)}},
         "check a.txt",
         1,
         "a.txt: is saved as UTF-16 (what some editors call Unicode), not in the encoding it was "
         "decoded in (UTF-8, or the game's own, as Shift_JIS, which Windows calls ANSI): a rebuild "
         "refuses it",
         {}},
        // A mod made for a rebuild that wrote nothing goes again.
        {{{"a.txt", std::string("\0[\0:", 4)}},
         "rebuild a.txt",
         2,
         "a.txt: is saved as UTF-16",
         {{"mod", "-"}}},
        {{{"notes.txt", "shopping list\r\n"}},
         "--force rebuild notes.txt",
         1,
         "notes.txt: the dump shows no HEADER or LINECOUNT value: mod/notes.spc holds those",
         {{"mod/notes.spc", fresh}}},
        {{{"a.txt", DUMP}},
         "rebuild a.txt",
         1,
         "was written without its tail",
         {{"mod/a.spc", SPEECH.substr(0, SPEECH.size() - 2)}}},
        {{{"a.txt", DUMP}, {"a.ext", "\x01\x02"}},
         "rebuild a.txt",
         0,
         "a.txt: 2 records, short tail 2 bytes from a.ext -> mod/a.spc\n",
         {{"mod/a.spc", SPEECH}}},
        {{{"a.txt", DUMP}, {"a.ext", "0123456789"}},
         "rebuild a.txt",
         1,
         "spliced a.ext (10 bytes), which is not the short tail its marker stands for",
         {}},
        // The same dump linked into another folder, beside other side data, counts as another.
        {{{"d1", "/"},
          {"d2", "/"},
          {"d1/a.txt", DUMP},
          {"d1/a.ext", "\x01\x02"},
          {"d2/a.ext", "XYZ"}},
         "rebuild d1/a.txt d2/a.txt",
         2,
         "quillmarsh: d2/a.txt: would be rebuilt into the same mod file as d1/a.txt in this run",
         {{"mod/a.spc", SPEECH}},
         "ln d1/a.txt d2/a.txt;"},
        {{{"a.txt", DUMP},
          {"a.ext", "\x01\x02"},
          {"b.txt", std::string(DUMP).replace(DUMP.find("HEADER: "), 8, "HEADER\xEF\xBC\x9A ")},
          {"b.ext", "\x01\x02"}},
         "check a.txt b.txt",
         0,
         "b.txt: line 3: note: the HEADER line is not read as written: the rebuild looks for "
         "\"HEADER: \" and writes 3, carried over from a.txt\n",
         {}},
        {{{"d1", "/"},
          {"d2", "/"},
          {"d1/a.txt", "notes"},
          {"d2/a.txt", DUMP},
          {"d2/a.ext", "\x01\x02"}},
         "rebuild d1/a.txt d2/a.txt",
         2,
         "d2/a.txt: 2 records, short tail 2 bytes from d2/a.ext -> mod/a.spc\n",
         {{"mod/a.spc", SPEECH}}},
        {{{"a.txt", std::string(DUMP)
                        .replace(DUMP.find(": 2"), 3, ": 0")
                        .replace(DUMP.find("[LINE:0001]"), 0, "- ")
                        .append(std::string("\r\n\0 Ann", 7))},
          {"a.ext", "\x01\x02"}},
         "check a.txt",
         1,
         "a.txt: line 4: the line count is 0: the rebuild writes no record and no side data, so 2 "
         "record lines and the tail of this dump would be lost\na.txt: line 5: note: \"- \" stands "
         "before the first record line, where the rebuild does not read: a decode of the rebuilt "
         "file will not show it\na.txt: line 9: note: \"\\x00 Ann\" stands after the closing line",
         {}},
        // A CR alone ends a line in an editor, and in the line numbers check gives.
        {{{"a.txt",
           std::string(DUMP).replace(DUMP.find("Hi\r\n[LINE:0002]"), 17, "Hi\r[LINE:0004]")},
          {"a.ext", "\x01\x02"}},
         "check a.txt",
         1,
         "a.txt: line 6: record 0004 follows record 0001",
         {}},
        {{{"a.txt", DUMP.substr(7)}},
         "check a.txt",
         1,
         "a.txt: is not a dump (no [:::::]Speech START[:::::] line): a rebuild refuses it\n",
         {}},
        {{{"d1", "/"},
          {"d2", "/"},
          {"d1/a.txt", "notes"},
          {"d2/a.txt", DUMP},
          {"d2/a.ext", "\x01\x02"}},
         "check d1/a.txt d2/a.txt",
         1,
         "d2/a.txt: ready",
         {}},
        {{{"a.txt", std::string(DUMP).replace(DUMP.find("yo\r\n"), 4, "yo\r")},
          {"a.ext", "\x01\x02"},
          {"b.txt", DUMP},
          {"b.ext", "\x01\x02"}},
         "check a.txt b.txt",
         1,
         "a.txt: line 6: the text of record 0002 ends in CR alone, not CR LF: the rebuild writes "
         "the CR "
         "into it\nb.txt: ready",
         {}},
        {{{"d1", "/"},
          {"d2", "/"},
          {"d1/a.txt", DUMP},
          {"d1/a.ext", "\x01\x02"},
          {"d2/a.txt", EDITED}},
         "check d1/a.txt d2/a.txt",
         1,
         "d2/a.txt: would be rebuilt into the same mod file as d1/a.txt: a rebuild of this run "
         "skips "
         "it\n",
         {}},
        {{{"mod", ""}, {"a.txt", DUMP}},
         "rebuild a.txt",
         2,
         "a.txt: mod exists and is not a folder",
         {{"mod", ""}}},
        {{{"mod", ""}, {"a.txt", DUMP}, {"a.ext", "\x01\x02"}},
         "check a.txt",
         1,
         "a.txt: mod exists and is not a folder: the rebuild cannot write into it\n",
         {}},
        // A text may end in a quote that no quote before its line opens.
        {{{"a.txt", std::string(DUMP).replace(DUMP.find("yo"), 2, "say \"yo\"")},
          {"a.ext", "\x01\x02"}},
         "check a.txt",
         0,
         "a.txt: ready: a rebuild writes 2 records and splices its side data\n",
         {}},
        // A dash typed before a header value is a sign to a person, not a blank.
        {{{"a.txt", std::string(DUMP).insert(DUMP.find("3["), "\xE2\x80\x93")}},
         "check a.txt",
         1,
         "a.txt: line 3: no HEADER line shows a value: the rebuild takes 3 from line 3\n",
         {}},
        {{{"a.txt",
           std::string(EDITED).replace(EDITED.find(": 2"), 3, ": 3") + "\r\n[LINE:0003]late"},
          {"a.ext", "\x01\x02"}},
         "check a.txt",
         1,
         "a.txt: line 4: note: LINECOUNT is 3 and the dump has 2 record lines; the rebuild keeps "
         "3\na.txt: line 9: \"[LINE:0003]late\" stands after the closing line: "
         "the rebuild never reads it\n",
         {}},
        // U+FFFD that the game's own text holds is no editor's.
        {{{"a.spc", BuildSpeechFile(3, 2, {{1, "Hi \xEF\xBF\xBD"}, {2, "yo"}}, "\x01\x02")},
          {"a.txt", std::string(DUMP).replace(DUMP.find("Hi"), 2, "Hi \xEF\xBF\xBD")},
          {"a.ext", "\x01\x02"}},
         "check a.txt",
         0,
         "a.txt: ready: a rebuild writes 2 records and splices its side data\n",
         {}},
        // The speech file beside tells a text's own line ends from an editor's: a translation
        // and a blank line after it rebuild exactly; so does an untouched text that ends in an
        // LF of its own, after a first line that ends in LF; a CR that the text did not end in
        // there, or that a record it does not hold ends in, is gained.
        {{{"a.spc", BuildSpeechFile(3, 2, {{1, "Hi\n"}, {2, "yo \xEF\xBF\xBD"}})},
          {"a.txt", std::string(HEAD_OF_TWO) + "[LINE:0001]Salut \xEF\xBF\xBD\r\n\r\n[LINE:0002]yo "
                                               "\xEF\xBF\xBD\r\n[:::::]Speech FINISH[:::::]"}},
         "check a.txt",
         0,
         "a.txt: ready: a rebuild writes 2 records\n",
         {}},
        {{{"a.spc", BuildSpeechFile(3, 2, {{1, "Hi\n"}, {2, "yo"}})},
          {"a.txt", "[:::::]Speech START[:::::]\n" + std::string(HEAD_OF_TWO).substr(28) +
                        "[LINE:0001]Hi\n\r\n[LINE:0002]yo\r\n[:::::]Speech FINISH[:::::]"}},
         "check a.txt",
         0,
         "a.txt: ready: a rebuild writes 2 records\n",
         {}},
        {{{"a.spc", BuildSpeechFile(3, 2, {{1, "H\ri"}, {2, "yo"}})},
          {"a.txt", std::string(HEAD_OF_TWO) +
                        "[LINE:0001]H\ri\r\r\n[LINE:0002]yo\r\n[LINE:0003]new\r\r\n[:::::]Speech "
                        "FINISH[:::::]"}},
         "check a.txt",
         1,
         "a.txt: line 4: note: LINECOUNT is 2 and the dump has 3 record lines; the rebuild keeps "
         "2\n"
         "a.txt: line 5: 2 record lines from here end in CR CR LF, not CR LF (line ends converted "
         "twice, by a copy in text mode or a version-control setting): every such text would gain "
         "a byte\n",
         {}},
        // A text moved to another record keeps its own CR; so does one that ends in two LFs of
        // its own with the next line joined; bytes of U+FFFD inside a Big5 text are no editor's.
        {{{"a.spc", BuildSpeechFile(3, 2, {{1, "a\r"}, {2, "bc\n\n"}})},
          {"a.txt", std::string(HEAD_OF_TWO) + "[LINE:0001]bc\n\n[LINE:0002]a\r\r\n[LINE:0003]\xB9"
                                               "\xEF\xBF\xBD\xAE\r\n[:::::]Speech FINISH[:::::]"}},
         "check a.txt",
         0,
         "a.txt: line 4: note: LINECOUNT is 2 and the dump has 3 record lines; the rebuild keeps "
         "2\n"
         "a.txt: ready: a rebuild writes 3 records\n",
         {}},
        // Translated texts whose game texts end in a CR, saved with LF line ends: each CR that
        // shows as a CR LF is the text's own, and the rebuild drops it.
        {{{"a.spc", BuildSpeechFile(3, 2, {{1, "Hi\r"}, {2, "yo\r"}})},
          {"a.txt",
           "[:::::]Speech START[:::::]\n[:::::]HEADER: 3[:::::]\n[:::::]LINECOUNT: 2[:::::]"
           "\n[LINE:0001]Salut\r\n[LINE:0002]ouais\r\n[:::::]Speech FINISH[:::::]"}},
         "check a.txt",
         1,
         "a.txt: line 4: 2 record lines from here show a text of a.spc that ends in a CR there",
         {}},
        // A dump shows four digits: the record after 9999 is numbered 0000.
        {{{"a.txt",
           std::string(DUMP)
                   .replace(DUMP.find("0001"), 4, "9998")
                   .replace(DUMP.find("0002"), 4, "9999") +
               "\r\n[LIGNE:0000]late"},
          {"a.ext", "\x01\x02"}},
         "check a.txt",
         1,
         "a.txt: line 9: \"[LIGNE:0000]late\" stands after the closing line: the rebuild never "
         "reads it\n",
         {}},
        {{{"a.txt", "[:::::]Speech START[:::::]\r[:::::]HEADER: 3[:::::]\r[:::::]LINECOUNT: 2"
                    "[:::::]\r[LINE:0001]H\ni\r[LINE:0002]yo\r[:::::]Speech FINISH[:::::]"}},
         "check a.txt",
         1,
         "a.txt: line 4: 2 record lines from here end in CR only, not CR LF",
         {}},
        {{{"a.txt", std::string(DUMP)
                        .replace(DUMP.find("Hi"), 2, "a[:::::]LINECOUNT: 12")
                        .erase(DUMP.find("[:::::]LINECOUNT"), 28)},
          {"a.ext", "\x01\x02"}},
         "check a.txt",
         1,
         "a.txt: line 4: no LINECOUNT line shows a value: the rebuild takes 12 from line 4\n",
         {}},
        {{{"a.txt",
           std::string(DUMP).replace(DUMP.find("[:::::]HEADER"), 51,
                                     "[:::::]LINECOUNT: 2[:::::]\r\n[:::::]HEADER: 3[:::::]")},
          {"a.ext", "\x01\x02"}},
         "check a.txt",
         1,
         "a.txt: the line count is 0: the rebuild writes no record and no side data, so 2 record "
         "lines and the tail of this dump would be lost\na.txt: line 3: the LINECOUNT line is not "
         "read where it stands: the rebuild looks for it after the HEADER value and writes 0, as "
         "no "
         "dump before it in this run had one\n",
         {}},
        {{{"a.txt", std::string(DUMP)
                        .replace(DUMP.find("Hi"), 2, "12")
                        .replace(DUMP.find("[:::::]LINECOUNT"), 28, "[:::::]")},
          {"a.ext", "\x01\x02"}},
         "check a.txt",
         1,
         "a.txt: no LINECOUNT line: the rebuild writes 0",
         {}},
        {{{"a.txt", std::string(DUMP).replace(DUMP.find(": 2["), 3, ": 2,000")},
          {"a.ext", "\x01\x02"}},
         "check a.txt",
         1,
         "a.txt: line 4: LINECOUNT shows \"2,000\": the rebuild reads its first digits alone and "
         "writes 2\n",
         {}},
        // Each lone line end is a byte of the text; a CR LF in it is cut, as in any dump, and
        // one before the lone one ends an empty line.
        {{{"a.txt", "[:::::]Speech START[:::::]\n[:::::]HEADER: 3[:::::]\n[:::::]LINECOUNT: 4"
                    "[:::::]\n[LINE:0001]Hi\n\n[LINE:0002]o\r\nk\n[LINE:0003]yo\n[LINE:0004]ok"
                    "\r\n\n[:::::]Speech FINISH[:::::]"}},
         "check a.txt",
         1,
         "a.txt: line 4: the rebuild writes 4 bytes of the text of record 0001, which shows 2\n"
         "a.txt: line 6: the rebuild writes 3 bytes of the text of record 0002, which shows 4\n"
         "a.txt: line 8: 1 record line from here ends in LF only, not CR LF (an editor saved the "
         "dump that way): every such text would gain a byte\n"
         "a.txt: line 9: the rebuild writes 3 bytes of the text of record 0004, which shows 2\n",
         {}},
        {{{"a.txt", "[:::::] Speech START [:::::]\r[:::::]HEADER: 3[:::::]\r[:::::]LINECOUNT: 2"
                    "[:::::]\r[LINE: 0001] ok\r[LINE:0002] NOTE: x\r[:::::]Speech FINISH[:::::]"}},
         "check a.txt",
         1,
         "^a.txt: line 4: 1 record line from here ends in CR only, not CR LF (an editor saved the "
         "dump that way): every such text would gain a byte\na.txt: line 5: the repair pass that "
         "takes the blanks out of the markup changes the text of record 0002: the rebuild writes "
         "\"NOTE:x\\r\"",
         {}},
        {{{"a.txt", std::string(DUMP).insert(DUMP.find("[LINE:0002]"), "- ")}, {"a.ext", "\x01"}},
         "check a.txt",
         1,
         "a.txt: line 5: the text of record 0001 is followed by a line with \"- \" before its "
         "marker: the rebuild writes this text changed (take it out)\n",
         {}},
        {{{"a.txt", std::string(DUMP).replace(DUMP.find("[LINE:0002]"), 6, "[line:")},
          {"a.ext", "\x01"}},
         "check a.txt",
         1,
         "a.txt: line 5: the text of record 0001 runs on into line 6, \"[line:0002]yo\", which is "
         "not read as a record line",
         {}},
        {{{"a.txt",
           std::string(DUMP).replace(DUMP.find("[LINE:0002]yo"), 13, "\"[LINE:0002]y\"\"o\"")},
          {"a.ext", "\x01"}},
         "check a.txt",
         1,
         "a.txt: line 6: the text of record 0002 stands in quotes, as a spreadsheet saves a line: "
         "the rebuild writes the closing quote into the text (take both quotes out, and make each "
         "doubled quote inside single)",
         {}},
        // ... the next record line joined to it.
        {{{"a.txt", std::string(DUMP).replace(DUMP.find("[LINE:0001]"), 15, "\"[LINE:0001]Hi\"")},
          {"a.ext", "\x01\x02"}},
         "check a.txt",
         1,
         "a.txt: line 5: the text of record 0001 stands in quotes",
         {}},
        // A quote that ends the text before a joined record line is that text's own, and the
        // record line joined counts as one.
        {{{"a.txt", std::string(DUMP).replace(DUMP.find("Hi\r\n[LINE:0002]yo"), 17,
                                              "Hi\"[LINE:0002]\"yo\"")},
          {"a.ext", "\x01\x02"}},
         "check a.txt",
         0,
         "^a.txt: line 5: note: a record line is joined to the end of the text of record 0001: the "
         "rebuild starts a new record there, as it reads\na.txt: ready: a rebuild writes 2 records",
         {}},
        // A record line deleted before an unsequenced tail: the tail continues the numbering.
        {{{"a.txt", std::string(DUMP)
                        .replace(DUMP.find("Unknown"), 7, "UNKNOWN")
                        .replace(DUMP.find("[LINE:0001]"), 26, "[LINE:9998]")},
          {"a.ext", BuildSpeechFile(0, 0, {{9999, "zz"}}).substr(5)}},
         "check a.txt",
         1,
         "a.txt: line 6: the side data a.ext starts with record 9999, which now follows the last "
         "record",
         {}},
        {{{"a.txt", std::string(DUMP)
                        .replace(DUMP.find("Speech FINISH"), 13, " Speech Finish ")
                        .replace(DUMP.find("yo"), 2, "Finish")},
          {"a.ext", "\x01\x02"}},
         "check a.txt",
         1,
         "a.txt: line 6: line 8 is not read as the closing line [:::::]Speech FINISH[:::::], which "
         "must stand so exactly: the rebuild writes this last record's number but not its text, "
         "and the side data right after that number\n",
         {}},
        {{{"a.txt", std::string(DUMP).replace(DUMP.find("HEADER: "), 8, "header : ")},
          {"a.ext", "\x01\x02"}},
         "check a.txt",
         1,
         "a.txt: line 3: the HEADER line is not read as written: the rebuild looks for \"HEADER: "
         "\" "
         "and writes 0",
         {}},
        {{{"a.txt", "[:::::]Speech START[:::::]\n[:::::]HEADER: 3[:::::]\n[:::::]LINECOUNT: 1"
                    "[:::::]\n[LINE:001]\n[:::::]Speech FINISH[:::::]"}},
         "check a.txt",
         0,
         "a.txt: ready: a rebuild writes 1 record\n",
         {}},
        {{{"a.txt", std::string(DUMP).replace(DUMP.find("Hi"), 2, "Hi[:::::]UNx")},
          {"a.ext", "\x01\x02"}},
         "check a.txt",
         1,
         "a.txt: line 5: the text of record 0001 holds \"[:::::]UN\": the rebuild takes it for "
         "the tail marker and ends the records there\na.txt: line 5: \"[:::::]UN\" inside a text "
         "is taken for a tail marker",
         {}},
        {{{"a.txt", std::string(DUMP).replace(DUMP.find("yo"), 2, std::string(70000, 'w'))},
          {"a.ext", "\x01\x02"}},
         "check a.txt",
         0,
         "a.txt: line 6: note: the text of record 0002 is 70000 bytes long: the rebuild writes it "
         "whole, but older tools read at most 65,535\na.txt: ready: a rebuild writes 2 records",
         {}},
        {{{"a.txt", std::string(DUMP)
                        .replace(DUMP.find("yo"), 2, "you")
                        .replace(DUMP.find("Hi"), 2, "Hi[:::::]Un")
                        .erase(DUMP.find("[:::::]Un") + 10, 28)},
          {"a.ext", "\x01\x02"}},
         "check a.txt",
         1,
         "a.txt: line 5: \"[:::::]Un\" inside a text is taken for a tail marker: the rebuild "
         "splices the side data a.ext after the records, a tail this dump does not show\na.txt: "
         "line 6: line 5 holds a short-tail marker before this last record line: the rebuild "
         "writes 2 bytes of the text of record 0002, as many as the text before that marker had\n",
         {}},
        {{{"a.txt", std::string(DUMP)
                        .replace(DUMP.find("Hi"), 2, "Hi[:::::]Un")
                        .erase(DUMP.find("[:::::]Un") + 10, 28)}},
         "check a.txt",
         0,
         "a.txt: line 5: note: \"[:::::]Un\" inside a text asks for side data and none stands "
         "beside the dump: the rebuild warns that it is missing, and splices none\na.txt: ready: "
         "a rebuild writes 2 records\n",
         {}},
        {{{"a.txt", std::string(DUMP).insert(DUMP.find("[:::::]Un"), "  ")}, {"a.ext", "\x01\x02"}},
         "check a.txt",
         1,
         "a.txt: line 6: the text of record 0002 is followed by a line with blanks before its "
         "marker: the rebuild writes this text changed (take the blanks out)\n",
         {}},
        {{{"a.txt", std::string(DUMP).replace(DUMP.find("Hi"), 2, "Hi[:::::]Sp")},
          {"a.ext", "\x01\x02"}},
         "check a.txt",
         1,
         "line 5: the text of record 0001 holds \"[:::::]Sp\": the rebuild takes it for the "
         "closing line and ends the dump there\na.txt: line 6: \"[LINE:0002]yo\" stands after the "
         "closing line: the rebuild never reads it\na.txt: line 7: a tail marker after the "
         "closing line: the rebuild does not splice the side data\n",
         {}},
        {{{"a.txt", std::string(DUMP).replace(DUMP.find("0002"), 4, "0005")},
          {"a.ext", "\x01\x02"}},
         "check a.txt",
         1,
         "a.txt: line 6: record 0005 follows record 0001: numbers must rise by one",
         {}},
        {{{"a.txt", std::string(DUMP)
                        .replace(DUMP.find("0002"), 4, "0000")
                        .replace(DUMP.find("0001"), 4, "9999")},
          {"a.ext", "\x01\x02"}},
         "check a.txt",
         1,
         "a.txt: line 6: record numbers pass 9999: the dump shows them from here on as 0000",
         {}},
        {{{"a.txt", "\xEF\xBB\xBF# by Ann\r\n" + DUMP}, {"a.ext", "\x01\x02"}},
         "check a.txt",
         0,
         "a.txt: line 1: note: \"# by Ann\" stands before the first record line, where the "
         "rebuild does not read",
         {}},
        {{{"a.txt", std::string(DUMP).replace(DUMP.find(": 2"), 3, ": 0") + "\r\n# thanks"},
          {"a.ext", "\x01\x02"}},
         "check a.txt",
         1,
         "line 4: the line count is 0: the rebuild writes no record and no side data, so 2 record "
         "lines and the tail of this dump would be lost\na.txt: line 9: note: \"# thanks\" stands "
         "after the closing line",
         {}},
        {{{"a.txt", std::string(DUMP).replace(DUMP.find("Unknown DATA"), 12, "Reste")},
          {"a.ext", "\x01\x02"}},
         "check a.txt",
         1,
         "a.txt: line 6: the text of record 0002 runs on into line 7, \"[:::::]Reste[:::::]\", a "
         "marker line that does not end a text there",
         {}},
        {{{"a.txt", std::string(DUMP).erase(DUMP.find("[LINE:0001]"), 1)}, {"a.ext", "\x01\x02"}},
         "check a.txt",
         1,
         "a.txt: line 5: \"LINE:0001]Hi\" stands before the first record line: the rebuild "
         "never reads it (a record line starts with",
         {}},
        // The rebuild itself says what it could not read.
        {{{"a.txt", "\xEF\xBB\xBF[:::::] Speech START [:::::]" + DUMP.substr(26)},
          {"a.ext", "\x01\x02"}},
         "rebuild a.txt",
         1,
         "a.txt: the dump starts with a byte-order mark, so the blanks an editor put into its "
         "markup were not repaired: mod/a.spc may hold what the rebuild misread",
         {}},
        {{{"a.txt", "LINE:0000]x\r\n" + DUMP + "\r\n[LINE:0003]late"}, {"a.ext", "\x01\x02"}},
         "rebuild a.txt",
         1,
         "a.txt: 2 lines that read like a record line stand where the rebuild does not read",
         {}},
        {{{"a.txt", "\xEF\xBB\xBF[:::::] Speech START [:::::]" +
                        std::string(DUMP)
                            .replace(DUMP.find("[LINE:0001]"), 11, "[LINE: 0001] ")
                            .substr(26)}},
         "check a.txt",
         1,
         "a.txt: line 1: the dump starts with a byte-order mark, so the blanks an editor put into "
         "its markup are not repaired and the rebuild misreads it: save it as UTF-8 without a "
         "byte-order mark (what follows is found in the dump so saved)\na.txt: line 1: note: "
         "blanks an editor put into the markup are repaired; no text changes\na.txt: line 7: the "
         "dump ends in a tail marker, but its side data a.ext is missing",
         {}},
        {{{"a.txt", std::string(DUMP)
                        .replace(DUMP.find("[LINE:0002]"), 6, "[LIGNE : ")
                        .replace(DUMP.find("[LINE:0001]"), 6, "[LIGNE : ")}},
         "check a.txt",
         1,
         "a.txt: line 5: \"[LIGNE : 0001]Hi\" and 1 more line stand in a dump without a record "
         "line: the rebuild never reads them",
         {}},
        {{{"a.txt", std::string(DUMP).replace(DUMP.find("Hi"), 2, "Hi\r\nthere")},
          {"a.ext", "\x01\x02"}},
         "check a.txt",
         1,
         "a.txt: line 5: the text of record 0001 runs on into line 6, \"there\": the rebuild "
         "writes that line into this text, and cuts 2 bytes from its end, two for "
         "each line break in it (a line of its own starts with \"[LINE:nnnn]\")\n",
         {}},
        {{{"chapter1.txt", DUMP},
          {"chapter1.ext", "\x01\x02"},
          {"ter1.txt", DUMP},
          {"ter1.ext", "\x09"}},
         "check chapter1.txt",
         1,
         "chapter1.txt: line 7: the rebuild would splice ter1.ext (the side data of ter1.txt), not "
         "this dump's own chapter1.ext: perhaps the wrong tail\n",
         {}},
        {{{"a.txt", std::string(DUMP).replace(DUMP.find("COUNT: 2"), 8, "COUNT: 0")}},
         "rebuild a.txt",
         1,
         "a.txt: LINECOUNT is 0, so mod/a.spc holds no record",
         {}},
        {{{"t.txt", "[:::::]Speech START[:::::]\r\n[:::::]HEADER: 3[:::::]\r\n[:::::]LINECOUNT: "
                    "0[:::::]\r\n[:::::]UNKNOWN DATA[:::::]\r\n[:::::]Speech FINISH[:::::]"},
          {"t.ext", "\x01\x02"}},
         "rebuild t.txt",
         1,
         "t.txt: LINECOUNT is 0, so mod/t.spc holds no record and no side data, though the dump "
         "shows records or a tail",
         {}},
        {{{"h.txt", "[:::::]Speech START[:::::]\r\n[:::::]HEADER: 3[:::::]\r\n[:::::]LINECOUNT: "
                    "0[:::::]\r\n[:::::]Speech FINISH[:::::]"}},
         "rebuild h.txt",
         0,
         "h.txt: 0 records -> mod/h.spc\n",
         {{"mod/h.spc", std::string("\3\0\0\0\0", 5)}}},
        // Record lines pasted with their line ends converted twice: every text gains a CR.
        {{{"a.txt", std::string(DUMP)
                        .replace(DUMP.find("Hi\r\n"), 4, "Hi\r\r\n")
                        .replace(DUMP.find("yo\r\n") + 1, 4, "yo\r\r\n")},
          {"a.ext", "\x01\x02"},
          {"a.spc", SPEECH}}, // whose texts end in no CR: the line ends were converted twice
         "check a.txt",
         1,
         "a.txt: line 5: 2 record lines from here end in CR CR LF, not CR LF",
         {}},
        // What stops a rebuild from writing; a dump the rebuild refuses passes no value on.
        {{{"a.txt", DUMP}, {"a.ext", "\x01\x02"}, {"mod", "/"}, {"mod/a.spc", "/"}},
         "check a.txt",
         1,
         "a.txt: mod/a.spc is a folder, a pipe or a device: the rebuild cannot replace it\n",
         {}},
        {{{"a.txt", DUMP}, {"a.ext", "\x01\x02"}},
         "check a.txt",
         1,
         "a.txt: mod exists and is not a folder: the rebuild cannot write into it\n",
         {},
         "ln -s nowhere mod;"},
        {{{"sub", "/"},
          {"sub/a.txt", DUMP},
          {"sub/a.ext", "\x01\x02"},
          {"b.txt", std::string(DUMP).erase(DUMP.find("[:::::]HEADER"), 25)},
          {"b.ext", "\x01\x02"}},
         "check sub/a.txt b.txt",
         1,
         "b.txt: no HEADER line: the rebuild writes 0, as no dump before it in this run had one",
         {},
         "ln -s sub mod;"},
        {{{"0001.spc", SPEECH},
          {"e0001.spc", BuildSpeechFile(3, 2, {{1, "Hi"}, {2, "yo"}}, "\x03")}},
         "decode 0001.spc e0001.spc",
         1,
         "e0001.spc: a rebuild of e0001.txt from this folder would splice 0001.ext (the side "
         "data of 0001.txt), not this dump's own e0001.ext",
         {}},
        {{{"0001.spc", SPEECH},
          {"e0001.spc", BuildSpeechFile(3, 2, {{1, "Hi"}, {2, "yo"}}, "\x03")}},
         "decode e0001.spc 0001.spc",
         1,
         "quillmarsh: 0001.spc: a rebuild of e0001.txt from this folder would splice 0001.ext",
         {}},
        // Side data under the short name is never a dump's own, which a decode writes beside it.
        {{{"chapter1.txt", DUMP}, {"ter1.ext", "\x09"}},
         "rebuild chapter1.txt",
         1,
         "chapter1.txt: spliced ter1.ext, while this dump's own chapter1.ext is missing: "
         "mod/chapter1.spc may have the wrong tail",
         {}},
        {{{"chapter1.txt", DUMP}, {"chapter1.ext", "\x01\x02"}, {"ter1.ext", "\x01\x02"}},
         "check chapter1.txt",
         0,
         "chapter1.txt: ready: a rebuild writes 2 records and splices its side data\n",
         {}},
        {{{"chapter1.txt", DUMP}, {"chapter1.ext", "\x01\x02"}, {"ter1.ext", "/"}},
         "check chapter1.txt",
         1,
         "chapter1.txt: line 7: the side data ter1.ext cannot be read: the rebuild would fail\n",
         {}},
        {{{"a.txt", std::string(DUMP).replace(DUMP.find("Hi\r"), 4, "Hi\r")},
          {"a.ext", "\x01\x02"}},
         "check a.txt",
         1,
         "a.txt: line 5: the text of record 0001 ends in CR alone, not CR LF: the rebuild writes "
         "the "
         "CR into it\n",
         {}},
        {{{"a.txt", std::string(DUMP).replace(DUMP.find("Unknown"), 7, "UNKNOWN")},
          {"a.ext", "\x01\x02"}},
         "check a.txt",
         1,
         "a.txt: line 7: the side data a.ext (2 bytes) is a short tail, which a decode marks "
         "[:::::]Unknown DATA[:::::], not [:::::]UNKNOWN DATA[:::::]: a retyped marker, or another "
         "version's side data?\n",
         {}},
        {{{"a.txt", DUMP}, {"a.ext", ""}},
         "check a.txt",
         1,
         "a.txt: line 7: the side data a.ext is empty: the rebuilt file would lack its tail\n",
         {}},
        {{{"a.txt", DUMP}, {"a.ext", "/"}},
         "check a.txt",
         1,
         "a.txt: line 7: the side data a.ext cannot be read: the rebuild would fail\n",
         {}},
        {{{"a.txt", std::string(DUMP).replace(DUMP.find("Unknown DATA[:::::]"), 19,
                                              "UNKNOWN DATA[:::::]\r\n[LINE:0003]late")},
          {"a.ext", "\x01\x02"}},
         "check a.txt",
         1,
         "a.txt: line 8: \"[LINE:0003]late\" stands after the tail marker line: the rebuild never "
         "reads it\n",
         {}},
        {{{"a.txt", DUMP + "\r\n[:::::]HEADER: 9[:::::]"}, {"a.ext", "\x01\x02"}},
         "check a.txt",
         0,
         "a.txt: line 9: note: \"[:::::]HEADER: 9[:::::]\" stands after the closing line, where",
         {}},
        {{{"a.spc", SPEECH}, {"b.spc", "abc"}},
         "decode a.spc b.spc",
         2,
         "2 files: 1 converted, 0 converted with warnings, 1 not converted",
         {{"b.txt", "-"}}},
        {{{"s", "/"}, {"s/a.spc", SPEECH}},
         "-C s decode a.spc",
         0,
         "a.spc: 2 records",
         {{"s/a.txt", DUMP}}},
        {{{"s", "/"}, {"s/a.txt", DUMP}, {"s/a.ext", "\x01\x02"}},
         "-Cs -q rebuild a.txt",
         0,
         "",
         {{"s/mod/a.spc", SPEECH}}},
    };
    for (const Case& c : cases) {
        for (const auto& entry : fs::directory_iterator(Scratch)) {
            fs::remove_all(entry.path());
        }
        for (const auto& file : c.Files) {
            file.second == "/" ? (void)fs::create_directory(file.first)
                               : WriteFileBytes(file.first, file.second);
        }
        RunResult result = RunQuillmarsh(c.Arguments, c.Environment);
        EXPECT_EQ(result.Status, c.Status) << c.Arguments << "\n" << result.Err;
        // "^": what the run prints first, nothing before it.
        bool first = c.Message[0] == '^';
        size_t at = (result.Out + result.Err).find(c.Message.substr(first));
        EXPECT_TRUE(first ? at == 0 : at != std::string::npos) << c.Arguments << "\n"
                                                               << result.Out << result.Err;
        for (const auto& file : c.After) {
            EXPECT_EQ(fs::exists(file.first) ? ReadFileBytes(file.first) : "-", file.second)
                << c.Arguments << ": " << file.first;
        }
    }
}

// A report lost on a full disk: the run is not to be trusted.
TEST_F(ScratchDirectoryTest, AReportThatCannotBeWrittenIsARunNotDone)
{
    WriteFileBytes("a.spc", SPEECH);
    int readerGone[2]; // a pipe whose reader stopped early, as head does
    ASSERT_EQ(pipe(readerGone), 0);
    close(readerGone[0]);
    for (std::string sink : {std::string(">/dev/full"), ">&" + std::to_string(readerGone[1])}) {
        for (const char* arguments : {"verify a.spc", "--help"}) {
            std::string command =
                "'" QUILLMARSH_PROGRAM "' " + std::string(arguments) + sink + " 2>/dev/null";
            EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 2) << arguments << sink;
        }
    }
    close(readerGone[1]);
}

// A text too long for a catalogue entry in a 32-bit program's memory is left out, whatever
// the machine, and never ends the program (a sparse file: only its head is read).
TEST_F(ScratchDirectoryTest, ExportLeavesOutATextTooLongForAnEntry)
{
    const uint32_t length = (256u << 20) + 1;
    std::string head = BuildSpeechFile(3, 2, {{1, "Hi"}}) + std::string("\x02\x00", 2);
    head.append((const char*)&length, 4); // little-endian, as the format is
    WriteFileBytes("a.spc", head);
    std::filesystem::resize_file("a.spc", head.size() + length);
    RunResult result = RunQuillmarsh("export a.spc");
    EXPECT_EQ(result.Status, 1);
    EXPECT_NE(result.Err.find("record 2 is 268435457 bytes long"), std::string::npos) << result.Err;
    EXPECT_NE(ReadFileBytes("a.pot").find("msgid \"Hi\""), std::string::npos);
}

// A catalogue an editor saves in place while the import waits for the folder is taken as it
// was read, as saved, or not at all, said of the catalogue: never its new bytes at old places.
TEST_F(ScratchDirectoryTest, ImportTakesACatalogueSavedMeanwhileWholeOrNotAtAll)
{
    WriteFileBytes("a.spc", SPEECH);
    const std::string po = "msgctxt \"a.spc:1\"\nmsgid \"Hi\"\nmsgstr \"Salut\"\n\n"
                           "msgctxt \"a.spc:2\"\nmsgid \"yo\"\nmsgstr \"Bye\"\n";
    WriteFileBytes("a.po", po);
    WriteFileBytes("saved", std::string(po).insert(po.find("Salut") + 5, "!"));
    // flock takes the folder's lock as a conversion does.
    std::string script = "flock . sleep 1 & sleep 0.3; '" QUILLMARSH_PROGRAM
                         "' -q import a.po 2>err & sleep 0.5; cat saved >a.po; wait";
    ASSERT_EQ(std::system(script.c_str()), 0);
    const std::string rebuilt = ReadFileBytes("mod/a.spc");
    EXPECT_TRUE(rebuilt == BuildSpeechFile(3, 2, {{1, "Salut"}, {2, "Bye"}}, "\x01\x02") ||
                rebuilt == BuildSpeechFile(3, 2, {{1, "Salut!"}, {2, "Bye"}}, "\x01\x02") ||
                (rebuilt.empty() && ReadFileBytes("err").find("a.po changed while it was being "
                                                              "read") != std::string::npos))
        << testing::PrintToString(rebuilt) << ReadFileBytes("err");
}

// Same inputs, same order: the same files as the window's converters write, header values
// carried from one dump to the next included.
TEST_F(ScratchDirectoryTest, WritesWhatTheCoreWritesInTheSameOrder)
{
    const std::vector<std::string> speech = {"0001.spc", "-a b \xC3\xA9.spc"};
    const std::vector<std::string> dumps = {"0001.txt", "-a b \xC3\xA9.txt", "bare.txt"};
    fs::create_directory("core");
    fs::current_path("core");
    WriteFileBytes(speech[0], BuildSpeechFile(7, 2, {{1, "Hi"}, {2, ""}}, "\x01\x02\x03"));
    WriteFileBytes(speech[1], BuildSpeechFile(9, 1, {{5, "x y"}}));
    WriteFileBytes("bare.txt", "[LINE:0001]z\r\n[:::::]Speech FINISH[:::::]");
    fs::copy(".", "../cli");
    for (size_t i = 0; i < speech.size() + dumps.size(); ++i) {
        SetCurrentFileName(i < speech.size() ? speech[i] : dumps[i - speech.size()]);
        i < speech.size() ? ConvertSpeechToText() : ConvertTextToSpeech();
    }
    auto core = SnapshotDirectory();
    fs::current_path("../cli");
    RunResult decode = RunQuillmarsh("decode -- 0001.spc '-a b \xC3\xA9.spc'");
    EXPECT_NE(decode.Out.find("0001.spc: 2 records, short tail 3 bytes -> 0001.txt, 0001.ext\n"),
              std::string::npos);
    EXPECT_NE(decode.Out.find("-a b \xC3\xA9.spc: 1 record -> "), std::string::npos);
    RunResult rebuild = RunQuillmarsh("-qf rebuild -- 0001.txt '-a b \xC3\xA9.txt' bare.txt");
    // Carried over as in the window, and said.
    EXPECT_EQ(rebuild.Status, 1);
    EXPECT_EQ(rebuild.Err, "quillmarsh: bare.txt: the dump shows no HEADER or LINECOUNT value: "
                           "mod/bare.spc holds those carried over from an earlier dump of this run "
                           "(0 where none had one)\n");
    EXPECT_EQ(rebuild.Out, "");
    EXPECT_EQ(SnapshotDirectory(), core);
}

TEST_F(ScratchDirectoryTest, VerifyComparesTheRoundTripAndLeavesNothingBehind)
{
    WriteFileBytes("exact.spc", BuildSpeechFile(1, 2, {{1, "a"}, {2, "b"}}, "\x07"));
    WriteFileBytes("long.spc", BuildSpeechFile(1, 12345, {{1, "a"}}));
    // The number is the cause, though the dump also shows the CR LF that comes after it.
    WriteFileBytes("big.spc", BuildSpeechFile(1, 1, {{12345, "a\r\nb"}}));
    WriteFileBytes("crlf.spc", BuildSpeechFile(1, 1, {{1, "a\r\n"}}));
    WriteFileBytes("end.spc", BuildSpeechFile(1, 1, {{1, "a[:::::]Speech FINISH[:::::]"}}));
    // Its side data is never missing: the text holds the marker that asks for it.
    WriteFileBytes("mark.spc", BuildSpeechFile(1, 1, {{1, "x[:::::]Unknown DATA[:::::]"}}));
    WriteFileBytes("lone.spc", BuildSpeechFile(1, 0, {}) + "z");
    WriteFileBytes("zero.spc", BuildSpeechFile(1, 0, {{1, "a\r\nb"}}));
    fs::create_directory(Scratch / "temp");
    auto before = SnapshotDirectory();
    RunResult result = RunQuillmarsh(
        "verify exact.spc long.spc big.spc lone.spc crlf.spc end.spc mark.spc zero.spc",
        "TMPDIR='" + (Scratch / "temp").string() + "'");
    EXPECT_EQ(result.Status, 1);
    for (const char* said :
         {"exact.spc: round-trips exactly",
          "long.spc: the rebuild differs from byte 1 (in the head): LINECOUNT 12345 would be "
          "written as 1234",
          "big.spc: the rebuild differs from byte 5 (in record 12345, its number or length); it "
          "is 13 bytes against 15: a dump shows only the last four digits",
          "crlf.spc: the rebuild differs from byte 7 (in record 1, its number or length); it is "
          "12 bytes against 14: the text of record 1 holds CR LF",
          "end.spc: the rebuild differs from byte 7 (in record 1, its number or length); it is 12 "
          "bytes against 39: the text of record 1 holds \"[:::::]Sp\", where a rebuild ends it",
          "mark.spc: the rebuild differs from byte 7 (in record 1, its number or length); it is 12 "
          "bytes against 38: the text of record 1 holds \"[:::::]Un\"",
          "lone.spc: the rebuild differs from byte 5 (in its last byte); it is 5 bytes against "
          "6: a decode drops a byte that follows the head with no record before it\n",
          // No record is written at all, whatever the texts hold.
          "zero.spc: the rebuild differs from byte 5 (in record 1, its number or length); it is "
          "5 bytes against 15: the line count is 0"}) {
        EXPECT_NE(result.Out.find(said), std::string::npos) << said << "\n" << result.Out;
    }
    EXPECT_EQ(SnapshotDirectory(), before);
    EXPECT_TRUE(fs::is_empty(Scratch / "temp"));
}
