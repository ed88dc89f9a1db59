#!/usr/bin/python3
# export and import held against the clients translators use: gettext's msgcat, msgfmt and
# msgmerge, and Python's polib (Debian's, hence /usr/bin/python3).
#
#     tests/catalogue_test.py QUILLMARSH [WINE QUILLMARSH.EXE]
#
# With a Windows program and the command that runs it, that program must export and import
# the same bytes as the native one.
import os, shutil, subprocess, sys, tempfile

import polib

PROGRAM = os.path.abspath(sys.argv[1])
WINDOWS = sys.argv[2:]
failures = []


def speech(header, count, records, tail=b""):
    out = bytes([header]) + count.to_bytes(4, "little")
    for number, text in records:
        out += number.to_bytes(2, "little") + len(text).to_bytes(4, "little")
        out += bytes(b ^ 0x5A for b in text)
    return out + tail


def run(*arguments, program=None):
    command = (program or [PROGRAM]) + list(arguments)
    return subprocess.run(command, capture_output=True)


def read(name):
    with open(name, "rb") as source:
        return source.read()


def write(name, data):
    with open(name, "wb") as out:
        out.write(data)


def expect(what, ok, detail=""):
    if not ok:
        failures.append(what)
        print("FAIL:", what, detail)


def translate(catalogue, translations, saved, fuzzy=()):
    """Translates entries by context with polib and saves the result as polib does."""
    po = polib.pofile(catalogue)
    for entry in po:
        if entry.msgctxt in translations:
            entry.msgstr = translations[entry.msgctxt]
            if entry.msgctxt in fuzzy:
                entry.flags.append("fuzzy")
    po.metadata["Language"] = "fr"
    po.save(saved)


# Empty texts, control bytes (msgcat writes some as \a \b \v \f), a tail, and more than 9,999
# records (PO has no four-digit limit).
FILES = {
    "0001.spc": speech(3, 3, [(1, b"Hello"), (2, b""), (3, b"Bye \x01\x07\x08\x0b\x0c\x1b end")],
                       b"TAIL!"),
    "0002.spc": speech(9, 12000, [(n, b"line %d" % n) for n in range(12000)]),
    "0003.spc": speech(1, 2, [(7, "caf\u00e9 \"q\" \\ \t \U0001F600".encode()), (8, b"x\ny\r\n"),
                                 (9, b"a text of lines\nwith\ttabs, \"quotes\" and \\ in long runs\r\n")],
                       speech(0, 0, [(20, b"zz")])[5:]),
}


def exported_twice_alike_and_read_by_gettext():
    for name, data in FILES.items():
        write(name, data)
    result = run("export", *FILES)
    expect("export exits 0", result.returncode == 0, result.stderr)
    first = {name: read(name[:-3] + "pot") for name in FILES}
    run("export", *FILES)
    expect("two exports are byte-identical",
           all(read(name[:-3] + "pot") == first[name] for name in FILES))
    # One catalogue for all files has its own header, whose fields its name cannot add to.
    everything = "all\nX-Game-Encoding: Shift_JIS.pot"
    run("export", "-o", everything, *FILES)
    expect("a name's line break starts no header field",
           b"\\nX-Game-Encoding: Shift_JIS" not in read(everything))
    for pot in [name[:-3] + "pot" for name in FILES] + [everything]:
        check = subprocess.run(["msgfmt", "--check", "-o", os.devnull, pot], capture_output=True)
        expect("msgfmt --check passes " + pot, check.returncode == 0, check.stderr)
        expect("msgcat reads " + pot, run(pot, program=["msgcat"]).returncode == 0)
    # Nothing there for msgcat to escape or wrap: what it writes is the template itself.
    expect("msgcat --no-wrap gives 0002.pot back byte for byte",
           run("--no-wrap", "0002.pot", program=["msgcat"]).stdout == read("0002.pot"))
    result = run("import", *[name[:-3] + "pot" for name in FILES])
    expect("an untranslated import gives back every file byte for byte",
           result.returncode == 0 and all(read("mod/" + n) == d for n, d in FILES.items()),
           result.stderr)


def translated_by_polib_and_rewrapped_by_msgcat():
    # A translation longer than 255 bytes takes more than one byte of its record's length.
    translations = {"0001.spc:0001": "Bonjour \"toi\"\n\tet \\ re" + " et encore" * 30,
                    "0001.spc:0003": "Au revoir",
                    "0002.spc:10042": "ligne dix mille"}
    translate("0001.pot", translations, "fr.po", fuzzy={"0001.spc:0003"})
    translate("0002.pot", translations, "fr2.po")
    records = [(1, translations["0001.spc:0001"].encode()), (2, b""),
               (3, b"Bye \x01\x07\x08\x0b\x0c\x1b end")]
    expected = speech(3, 3, records, b"TAIL!")
    long = [(n, b"ligne dix mille" if n == 10042 else b"line %d" % n) for n in range(12000)]
    # msgcat re-wraps it narrowly; an editor on Windows may save it with CR LF line ends, and
    # a second conversion with CR CR LF.
    for catalogue in ("fr.po", "narrow.po", "crlf.po", "crcrlf.po"):
        result = run("import", catalogue, "fr2.po")
        expect("import of " + catalogue, result.returncode == 0
               and b"2 kept (1 fuzzy, taken only with --fuzzy)" in result.stdout
               and read("mod/0001.spc") == expected
               and read("mod/0002.spc") == speech(9, 12000, long), result.stderr)
        subprocess.run(["msgcat", "--width=24", "-o", "narrow.po", "fr.po"], check=True,
                       capture_output=True)
        write("crlf.po", read("narrow.po").replace(b"\n", b"\r\n"))
        write("crcrlf.po", read("narrow.po").replace(b"\n", b"\r\r\n"))
    # polib does not read msgcat's \a \b \v \f: saved again, that msgid holds backslashes.
    translate("narrow.po", {"0001.spc:0003": "Au revoir"}, "again.po")
    result = run("import", "--fuzzy", "again.po")
    expect("a msgid whose escapes a tool did not read is named so, and its text kept",
           result.returncode == 1 and b"as a backslash and a letter" in result.stderr
           and read("mod/0001.spc") == expected, result.stderr)
    run("import", "--fuzzy", "fr.po")
    records[2] = (3, b"Au revoir")
    expect("--fuzzy takes fuzzy translations", read("mod/0001.spc") == speech(3, 3, records,
                                                                               b"TAIL!"))


def carried_over_a_patch_by_msgmerge():
    write("0001.spc", FILES["0001.spc"])
    run("export", "-o", "game.pot", "0001.spc")
    translate("game.pot", {"0001.spc:0001": "Salut", "0001.spc:0003": "Adieu"}, "game.fr.po")
    write("0001.spc", speech(3, 3, [(1, b"Hello"), (2, b""), (3, b"See you")], b"TAIL!"))
    run("export", "-o", "game.pot", "0001.spc")
    subprocess.run(["msgmerge", "--quiet", "--update", "game.fr.po", "game.pot"], check=True,
                   capture_output=True)
    result = run("import", "game.fr.po")
    expect("after msgmerge, unchanged records carry their translation, changed ones the new "
           "text", result.returncode == 0 and read("mod/0001.spc") ==
           speech(3, 3, [(1, b"Salut"), (2, b""), (3, b"See you")], b"TAIL!"), result.stderr)
    # A patch that inserts a line moves the records after it: msgmerge --previous marks them
    # fuzzy and shows which only moved (their previous msgid is theirs, here over lines).
    texts = [b"Hello there, friend. " * 5, b"See you at the harbour.", b"Press the button."]
    write("0001.spc", speech(3, 3, list(enumerate(texts, 1))))
    run("export", "-o", "moved.po", "0001.spc")
    french = {"0001.spc:0001": "Salut, l'ami.", "0001.spc:0002": "Au port.", "0001.spc:0003": "Appuyez."}
    translate("moved.po", french, "moved.po")
    write("0001.spc", speech(3, 4, [(1, b"New")] + list(enumerate(texts[:2] + [texts[2] + b" Or wait."], 2))))
    run("export", "-o", "game.pot", "0001.spc")
    subprocess.run(["msgmerge", "--quiet", "--previous", "--update", "moved.po", "game.pot"],
                   check=True, capture_output=True)
    result = run("import", "moved.po")
    taken = [(1, b"New"), (2, french["0001.spc:0001"].encode()), (3, b"Au port."), (4, texts[2] + b" Or wait.")]
    expect("a record msgmerge marked fuzzy as moved is translated, a changed one is not",
           b"2 translated (2 of moved records), 2 kept (1 fuzzy" in result.stdout and
           read("mod/0001.spc") == speech(3, 4, taken), result.stdout)
    # An entry its translator marked fuzzy stays fuzzy after a moved one with the same text.
    write("0001.spc", speech(3, 2, [(1, b"Hello"), (2, b"Hello")]))
    write("pair.po", b'#, fuzzy\n#| msgctxt "0001.spc:0009"\n#| msgid "Hello"\nmsgctxt "0001.spc:0001"\n'
          b'msgid "Hello"\nmsgstr "Salut"\n\n#, fuzzy\nmsgctxt "0001.spc:0002"\nmsgid "Hello"\nmsgstr "Salut"\n')
    result = run("import", "pair.po")
    expect("only the entry with a previous msgid is taken as moved",
           read("mod/0001.spc") == speech(3, 2, [(1, b"Salut"), (2, b"Hello")]), result.stdout)
    # The flag of a fuzzy obsolete entry stays with it, not with the entry after it.
    write("after.po", b'#, fuzzy\n#~ msgctxt "0001.spc:0009"\n#~ msgid "Old"\n#~ msgstr "Vieux"\n\n'
          b'msgctxt "0001.spc:0002"\nmsgid "Hello"\nmsgstr "Salut"\n')
    result = run("import", "after.po")
    expect("an entry after a fuzzy obsolete one is not fuzzy",
           read("mod/0001.spc") == speech(3, 2, [(1, b"Hello"), (2, b"Salut")]), result.stdout)
    write("obs.po", b'msgctxt "0001.spc:0001"\nmsgid "Hello"\nmsgstr ""\n\n'
          b'#~ msgctxt "0001.spc:0007"\n#~ msgid "Hello"\n#~ msgstr "Salut"\n')
    result = run("import", "obs.po")
    expect("a text translated only in an obsolete entry is counted as such",
           b"(1 translated only in an obsolete entry" in result.stdout, result.stdout)
    # msgmerge gives a moved record the first translation of its text: another record's where
    # the text stood twice (the other one now obsolete), or another file's.
    write("0001.spc", speech(3, 3, [(1, b"Yes"), (2, b"No"), (3, b"Yes")]))
    run("export", "-o", "twice.pot", "0001.spc")
    translate("twice.pot", {"0001.spc:0001": "Oui", "0001.spc:0002": "Non", "0001.spc:0003": "Ouais"}, "twice.po")
    write("0001.spc", speech(3, 4, [(1, b"New"), (2, b"Yes"), (3, b"No"), (4, b"Yes")]))
    write("0002.spc", speech(3, 1, [(1, b"No")]))
    run("export", "-o", "game.pot", "0001.spc", "0002.spc")
    subprocess.run(["msgmerge", "--quiet", "--previous", "--update", "twice.po", "game.pot"], check=True)
    result = run("import", "twice.po")
    expect("a move is taken only within one file and for a text of one translation there",
           read("mod/0001.spc") == speech(3, 4, [(1, b"New"), (2, b"Yes"), (3, b"Non"), (4, b"Yes")]) and
           read("mod/0002.spc") == speech(3, 1, [(1, b"No")]), result.stdout)
    # Without the obsolete entry, the two moves that name one earlier record still tell.
    subprocess.run(["msgattrib", "--no-obsolete", "-o", "twice.po", "twice.po"], check=True)
    result = run("import", "twice.po")
    expect("two moves from one record are both left fuzzy",
           read("mod/0001.spc") == speech(3, 4, [(1, b"New"), (2, b"Yes"), (3, b"Non"), (4, b"Yes")]),
           result.stdout)
    # Nor is a move taken from a record that still holds the text.
    translate("twice.pot", {"0001.spc:0001": "Oui", "0001.spc:0002": "Non", "0001.spc:0003": "Ouais"}, "stay.po")
    write("0001.spc", speech(3, 4, [(1, b"Yes"), (2, b"No"), (3, b"New"), (4, b"Yes")]))
    run("export", "-o", "game.pot", "0001.spc")
    subprocess.run(["msgmerge", "--quiet", "--previous", "--update", "stay.po", "game.pot"], check=True)
    subprocess.run(["msgattrib", "--no-obsolete", "-o", "stay.po", "stay.po"], check=True)
    result = run("import", "stay.po")
    expect("a move from a record that still holds the text is left fuzzy",
           read("mod/0001.spc") == speech(3, 4, [(1, b"Oui"), (2, b"Non"), (3, b"New"), (4, b"Yes")]),
           result.stdout)
    # An exact match is no better where the text's records shifted: record 2 kept its number
    # and text, but is what record 1 was.
    write("0001.spc", speech(3, 3, [(1, b"Yes"), (2, b"Yes"), (3, b"No")]))
    run("export", "-o", "shift.pot", "0001.spc")
    translate("shift.pot", {"0001.spc:0001": "Oui", "0001.spc:0002": "Ouais", "0001.spc:0003": "Non"}, "shift.po")
    write("0001.spc", speech(3, 4, [(1, b"New"), (2, b"Yes"), (3, b"Yes"), (4, b"No")]))
    run("export", "-o", "game.pot", "0001.spc")
    subprocess.run(["msgmerge", "--quiet", "--previous", "--update", "shift.po", "game.pot"], check=True)
    result = run("import", "shift.po")
    expect("an exact match of a text whose records shifted is held back, and said",
           result.returncode == 1 and b"0001.spc:0002: this text has other" in result.stderr and
           read("mod/0001.spc") == speech(3, 4, [(1, b"New"), (2, b"Yes"), (3, b"Yes"), (4, b"Non")]),
           result.stderr)
    # A deleted first line: every record moves up. Only a move of a text that stands once tells
    # where it came from (msgmerge names a repeated text's first entry, here the deleted one's),
    # so that one crosses none of the others, and all are taken.
    write("0001.spc", speech(3, 5, [(1, b"Yes"), (2, b"Open?"), (3, b"Pay?"), (4, b"Yes"), (5, b"Bye")]))
    run("export", "-o", "del.pot", "0001.spc")
    translate("del.pot", {"0001.spc:0001": "Oui", "0001.spc:0002": "Ouvrir ?", "0001.spc:0003": "Payer ?",
                          "0001.spc:0004": "Oui", "0001.spc:0005": "Fin"}, "del.po")
    write("0001.spc", speech(3, 4, [(1, b"Open?"), (2, b"Pay?"), (3, b"Yes"), (4, b"Bye")]))
    run("export", "-o", "game.pot", "0001.spc")
    subprocess.run(["msgmerge", "--quiet", "--previous", "--update", "del.po", "game.pot"], check=True)
    result = run("import", "del.po")
    expect("after a deleted line every move is taken",
           read("mod/0001.spc") == speech(3, 4, [(1, b"Ouvrir ?"), (2, b"Payer ?"), (3, b"Oui"),
                                                 (4, b"Fin")]), result.stdout)
    # Nothing moved: a translator's own fuzzy mark on one of them holds the others back no more.
    write("0001.spc", speech(3, 3, [(1, b"Yes"), (2, b"Yes"), (3, b"No")]))
    translate("shift.pot", {"0001.spc:0001": "Oui", "0001.spc:0002": "Ouais", "0001.spc:0003": "Non"},
              "own.po", fuzzy=("0001.spc:0002",))
    result = run("import", "own.po")
    expect("a fuzzy mark moves nothing", result.returncode == 0 and
           read("mod/0001.spc") == speech(3, 3, [(1, b"Oui"), (2, b"Yes"), (3, b"Non")]), result.stderr)
    # Two moves that swap their order (the second "Yes" moved up from where "No" now stands, by
    # msgmerge's first translation of it, once --no-obsolete took the other) are both left.
    write("0001.spc", speech(3, 4, [(1, b"Go?"), (2, b"Yes"), (3, b"No?"), (4, b"Yes")]))
    run("export", "-o", "cross.pot", "0001.spc")
    translate("cross.pot", {"0001.spc:0001": "Va ?", "0001.spc:0002": "Oui, va", "0001.spc:0003": "Non ?",
                            "0001.spc:0004": "Oui, non"}, "cross.po")
    write("0001.spc", speech(3, 3, [(1, b"Go?"), (2, b"No?"), (3, b"Yes")]))
    run("export", "-o", "game.pot", "0001.spc")
    subprocess.run(["msgmerge", "--quiet", "--previous", "--update", "cross.po", "game.pot"], check=True)
    subprocess.run(["msgattrib", "--no-obsolete", "-o", "cross.po", "cross.po"], check=True)
    result = run("import", "cross.po")
    expect("two moves that swap their order are left fuzzy",
           read("mod/0001.spc") == speech(3, 3, [(1, b"Va ?"), (2, b"No?"), (3, b"Yes")]), result.stdout)
    write("0001.spc", speech(3, 3, [(1, b"Hello"), (2, b""), (3, b"See you")], b"TAIL!"))
    shutil.copy("game.fr.po", "stale.po")
    write("0001.spc", speech(3, 3, [(1, b"Hi there"), (2, b""), (3, b"See you")], b"TAIL!"))
    result = run("import", "stale.po")
    expect("a stale entry keeps the text and is reported with exit status 1",
           result.returncode == 1 and b"0001.spc:0001" in result.stderr and
           read("mod/0001.spc") == speech(3, 3, [(1, b"Hi there"), (2, b""), (3, b"See you")],
                                          b"TAIL!"), result.stderr)
    # Two translators' catalogues joined by msgcat: a conflict is fuzzy, and holds both.
    run("export", "-o", "game.pot", "0001.spc")
    translate("game.pot", {"0001.spc:0001": "Salut"}, "one.po")
    translate("game.pot", {"0001.spc:0001": "Bonjour"}, "two.po")
    subprocess.run(["msgcat", "-o", "both.po", "one.po", "two.po"], check=True)
    result = run("import", "both.po")
    expect("msgcat's conflict lines are not written into the game, and said so",
           result.returncode == 1 and b"msgcat" in result.stderr and
           read("mod/0001.spc") == read("0001.spc"), result.stderr)


def shift_jis_both_ways():
    texts = ["\u3053\u3093\u306b\u3061\u306f", "\uff21\u30dc\u30bf\u30f3\uff5e", "\u8aad\u3080"]
    # The last one reads as a character that Shift_JIS writes back as other bytes (FA 5C).
    raw = [t.encode("cp932") for t in texts] + [b"\xed\x40"]
    write("sjis.spc", speech(1, 4, [(n + 1, t) for n, t in enumerate(raw)]))
    result = run("export", "sjis.spc")
    expect("a Shift_JIS file exported as UTF-8 has its texts counted and --encoding named",
           result.returncode == 1 and b"4 records (the first: record 1)" in result.stderr and
           b"--encoding" in result.stderr and b"copy it" not in result.stderr, result.stderr)
    result = run("export", "--encoding", "SHIFT_JIS", "sjis.spc")
    expect("export --encoding shift_jis", result.returncode == 0 and
           [e.msgid for e in polib.pofile("sjis.pot")] == texts + ["\u7e8a"], result.stderr)
    # The wave dash and the minus sign as Japanese input outside Windows gives them.
    translate("sjis.pot", {"sjis.spc:0001": "A \u3084\u3042", "sjis.spc:0003": "\u66f8\u301c\u2212",
                           "sjis.spc:0004": "\u7e8a"}, "sjis.po")
    result = run("import", "--encoding", "cp932", "sjis.po")
    expect("import --encoding cp932, a translation that is its msgid keeping the bytes",
           result.returncode == 0 and read("mod/sjis.spc") == speech(
               1, 4, [(1, "A \u3084\u3042".encode("cp932")), (2, raw[1]),
                      (3, "\u66f8\uff5e\uff0d".encode("cp932")), (4, raw[3])]), result.stderr)
    before = read("mod/sjis.spc")
    result = run("import", "sjis.po")
    expect("import without the --encoding the catalogue names is refused, nothing written",
           result.returncode == 2 and b"import it with --encoding Shift_JIS" in result.stderr and
           read("mod/sjis.spc") == before, result.stderr)
    write("blanks.po", read("sjis.po").replace(b"Encoding: Shift_JIS", b"Encoding: \\tShift_JIS "))
    result = run("import", "--encoding", "shift_jis", "blanks.po")
    expect("blanks around the encoding a catalogue names are a hand edit's, not the name",
           result.returncode == 0 and read("mod/sjis.spc") == before, result.stderr)
    # An English game's texts, all ASCII, cannot tell a wrong --encoding: the header does.
    write("en.spc", speech(1, 1, [(1, b"Open the door")]))
    run("export", "en.spc")
    translate("en.pot", {"en.spc:0001": "Ouvrez la porte \u2013 d\u00e9j\u00e0"}, "en.po")
    result = run("import", "--encoding", "windows-1252", "en.po")
    expect("a UTF-8 game's catalogue imported with another --encoding is refused",
           result.returncode == 2 and b"import it without --encoding" in result.stderr and
           not os.path.exists("mod/en.spc"), result.stderr)
    # A catalogue that does not name it: an older export's, or one a tool rewrote.
    write("sjis.po", read("sjis.po").replace(b'"X-Game-Encoding: Shift_JIS\\n"\n', b""))
    result = run("import", "sjis.po")
    expect("a catalogue naming no encoding, of texts that are not UTF-8, writes nothing "
           "without --encoding: its translations would go in as UTF-8",
           result.returncode == 2 and b"nor --encoding names the game's encoding" in result.stderr
           and read("mod/sjis.spc") == before, result.stderr)
    translate("sjis.pot", {"sjis.spc:0002": "a\u20ac", "sjis.spc:0003": "\U0001F600"}, "bad.po")
    os.remove("mod/sjis.spc")
    result = run("import", "--encoding", "shift_jis", "bad.po")
    expect("translations Shift_JIS cannot hold fail their file, each named, nothing written",
           result.returncode == 2 and not os.path.exists("mod/sjis.spc") and
           b"0002: the translation cannot be written in Shift_JIS (it holds U+20AC)" in
           result.stderr and b"(it holds U+1F600)" in result.stderr, result.stderr)


def every_encoding_as_python_reads_it():
    for name, codec, text in (("gbk", "gbk", "\u4f60\u597d"), ("uhc", "cp949", "\uc548\ub155"),
                              ("big5", "cp950", "\u8aaa\u8a71"), ("cp1250", "cp1250", "\u0104"),
                              ("windows-1251", "cp1251", "\u0490 \u041f"),
                              ("Windows-1252", "cp1252", "\u00a5 caf\u00e9")):
        data = speech(2, 1, [(5, text.encode(codec))])
        write("enc.spc", data)
        result = run("export", "--encoding", name, "enc.spc")
        exported = result.returncode == 0 and [e.msgid for e in polib.pofile("enc.pot")] == [text]
        result = run("import", "--encoding", name, "enc.pot")
        expect("export and import --encoding " + name, exported and result.returncode == 0 and
               read("mod/enc.spc") == data, result.stderr)


def utf8_checked_as_python_checks_it():
    # Overlong forms, surrogates, past U+10FFFF, a bad or missing byte at each place.
    for text in (b"\xc3\xa9", b"\xc0\xaf", b"\xe0\x80\xaf", b"\xed\xa0\x80", b"\xed\x9f\xbf",
                 b"\xf4\x8f\xbf\xbf", b"\xf4\x90\x80\x80", b"\xf0\x90\x80", b"\xe2\x82\x41",
                 b"\xf0\x9f\x98\x41", b"\xf0\x9f\x41\x80", b"\x80", b"\xf5\x80\x80\x80", b"\xe2\x82"):
        data = speech(1, 2, [(1, b"a" + text + b"z"), (2, b"ok")])
        write("u.spc", data)
        try:
            valid = bool(text.decode("utf-8"))
        except UnicodeDecodeError:
            valid = False
        # A text that is not UTF-8 is left out, not its file, and import keeps it.
        exported = run("export", "-f", "u.spc")
        imported = run("import", "u.pot")
        expect("UTF-8 %r %s" % (text, "taken" if valid else "left out"),
               exported.returncode == (0 if valid else 1) and
               len(polib.pofile("u.pot")) == (2 if valid else 1) and
               imported.returncode == 0 and read("mod/u.spc") == data, exported.stderr)


def broken_catalogue_refused():
    write("0001.spc", FILES["0001.spc"])
    write("latin1.po", read("fr.po").replace(b'msgstr "Au revoir"', b'msgstr "Au revoir \xe9"'))
    result = run("import", "--fuzzy", "latin1.po")
    expect("a translation that is not UTF-8 fails its file", result.returncode == 2 and
           b"0001.spc:0003" in result.stderr, result.stderr)
    write("broken.po", read("fr.po").replace(b'msgstr "Au revoir"', b'msgstr "Au revoir'))
    shutil.rmtree("mod")
    result = run("import", "fr2.po", "broken.po")
    expect("a broken catalogue is refused with its line number, nothing written",
           result.returncode == 2 and b"broken.po:" in result.stderr and
           not os.path.exists("mod"), result.stderr)


def read_as_gettext_reads():
    write("0001.spc", FILES["0001.spc"])
    # What msgcat never writes but a hand-edited catalogue may hold: hex and octal escapes, a
    # note after a string, form feeds and vertical tabs as blanks, after a flag too.
    write("escapes.po", read("fr.po").replace(b'msgstr "Au revoir"',
                                              b'msgstr\f"Au \\x72\\x65v\\x6Fir\\0414"\v # checked')
          .replace(b'msgctxt "0001.spc:0001"', b'#, fuzzy\f\nmsgctxt "0001.spc:0001"'))
    subprocess.run(["msgcat", "-o", "plain.po", "escapes.po"], check=True, capture_output=True)
    outputs = []
    for catalogue in ("escapes.po", "plain.po"):
        for fuzzy in ("--fuzzy", "-q"):
            result = run("import", fuzzy, catalogue)
            outputs.append(read("mod/0001.spc") if result.returncode < 2 else result.stderr)
    expect("hex and octal escapes, a note, blanks and flags read as msgcat reads them",
           outputs[:2] == outputs[2:] and outputs[0] != outputs[1] and
           b"Au revoir!" in bytes(b ^ 0x5A for b in outputs[0]), outputs)
    shutil.rmtree("mod")
    subprocess.run(["msgconv", "-t", "ISO-8859-1", "-o", "latin1.po", "fr.po"], check=True)
    # In CP932 the second byte of a character may be a backslash (表 is 95 5C).
    write("cp932.po", b'msgid ""\nmsgstr "Content-Type: text/plain; charset=CP932\\n"\n\n'
          b'msgctxt "0001.spc:0001"\nmsgid "Hello"\nmsgstr "\x95\x5c"\n')
    for catalogue, charset in (("latin1.po", b"ISO-8859-1"), ("cp932.po", b"CP932")):
        result = run("import", catalogue)
        expect("a catalogue in another charset is refused, nothing written",
               result.returncode == 2 and b"not in UTF-8 (charset=" + charset + b")" in result.stderr
               and not os.path.exists("mod"), result.stderr)
    entry = read("fr.po")[read("fr.po").index(b'msgctxt "0001.spc:0001"'):].split(b"\n\n")[0]
    write("twice.po", read("fr.po") + b"\n" + entry + b"\n")
    checked = subprocess.run(["msgfmt", "--check", "-o", os.devnull, "twice.po"],
                             capture_output=True)
    result = run("import", "twice.po")
    expect("an entry given twice is refused, as msgfmt refuses it",
           checked.returncode != 0 and result.returncode == 2 and
           b"duplicate message definition" in result.stderr, result.stderr)
    # Plural forms where they do not belong, or missing where they do; an unknown escape.
    for form, said in ((b'msgstr[0] "Adieu"', b"msgstr[N] without msgid_plural"),
                       (b'msgid_plural "Byes"\nmsgstr "Adieu"', b"msgstr[0] expected"),
                       (b'msgstr "A\\q"', b"invalid escape \\q")):
        write("refused.po", read("fr.po").replace(b'msgstr "Au revoir"', form))
        checked = subprocess.run(["msgfmt", "-o", os.devnull, "refused.po"], capture_output=True)
        result = run("import", "refused.po")
        expect("%r refused, as msgfmt refuses it" % form, checked.returncode != 0 and
               result.returncode == 2 and b"refused.po:" in result.stderr and
               said in result.stderr, result.stderr)
    write("nl.spc", speech(3, 1, [(1, b"Line\n")]))
    run("export", "nl.spc")
    translate("nl.pot", {"nl.spc:0001": "Ligne"}, "nl.po")
    result = run("import", "nl.po")
    expect("a translation without the text's last line break is left out, as msgfmt --check does",
           result.returncode == 1 and b"msgfmt --check refuses" in result.stderr and
           read("mod/nl.spc") == read("nl.spc"), result.stderr)
    # msgfmt takes a NUL, however written, and cuts the text there; no reading of it is safe
    # for a game. It refuses an EOT, its context separator.
    for form, said in ((b"\\0", b"the escape \\0 is a NUL"),
                       (b"\\400", b"the escape \\400 is a NUL"),
                       (b"\\x100", b"the escape \\x100 is a NUL"),
                       (b"\0", b"a raw byte is a NUL"),
                       (b"\\x04", b"the escape \\x04 is gettext's context separator")):
        write("nul.po", read("fr.po").replace(b'msgstr "Au revoir"', b'msgstr "Au' + form + b'"'))
        result = run("import", "--fuzzy", "nul.po")
        expect("%r is refused" % form, result.returncode == 2 and said in result.stderr and
               not os.path.exists("mod/0001.spc"), result.stderr)


def windows_program_writes_the_same_bytes():
    if not WINDOWS:
        return
    for arguments, outputs in ((["export", "0001.spc", "0003.spc"], ["0001.pot", "0003.pot"]),
                               (["export", "--encoding", "shift_jis", "sjis.spc"], ["sjis.pot"]),
                               (["import", "--encoding", "shift_jis", "sjis.po"],
                                ["mod/sjis.spc"]),
                               (["import", "fr.po"], ["mod/0001.spc"])):
        native = run(*arguments)
        wanted = [read(name) for name in outputs]
        for name in outputs:
            os.remove(name)
        windows = run(*arguments, program=WINDOWS)
        expect("the Windows program: " + " ".join(arguments),
               windows.returncode == native.returncode and
               [read(name) for name in outputs] == wanted, windows.stderr)


folder = tempfile.mkdtemp(prefix="quillmarsh-catalogue-")
os.chdir(folder)
try:
    for test in (exported_twice_alike_and_read_by_gettext,
                 translated_by_polib_and_rewrapped_by_msgcat, carried_over_a_patch_by_msgmerge,
                 shift_jis_both_ways, every_encoding_as_python_reads_it,
                 utf8_checked_as_python_checks_it,
                 broken_catalogue_refused, read_as_gettext_reads,
                 windows_program_writes_the_same_bytes):
        test()
finally:
    os.chdir("/")
    shutil.rmtree(folder)
print("%d failed" % len(failures) if failures else "all passed")
sys.exit(1 if failures else 0)
