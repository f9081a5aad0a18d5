#!/usr/bin/env python3
"""A text of the program's language.ini in one language, for the GUI tests.

  language_text.py INI LANGUAGE --key KEY          the key's text
  language_text.py INI LANGUAGE --english PREFIXES TEXT
                                                   the text, in LANGUAGE, of the first key
                                                   (among those starting with one of the
                                                   blank-separated PREFIXES, tried in order)
                                                   whose English text is TEXT
  language_text.py INI LANGUAGE --english-names FILE
                                                   the names of FILE's elements (window_probe
                                                   access list lines) that are the English
                                                   text of a key whose LANGUAGE text differs
Exits 1 when there is no such key.
"""
import re
import sys


def sections(path):
    found, current = {}, None
    for line in open(path, encoding="utf-8").read().split("\n"):
        heading = re.match(r"^\s*\[(.*)\]\s*$", line)
        if heading:
            current = found.setdefault(heading.group(1), {})
            continue
        entry = re.match(r'^\s*([^;].*?)\s*=\s*"(.*)"\s*$', line)
        if entry and current is not None:
            current.setdefault(entry.group(1), entry.group(2))
    return found


def main(argv):
    if len(argv) < 5:
        print(__doc__, file=sys.stderr)
        return 2
    texts = sections(argv[1])
    language = texts.get(argv[2], {})
    if argv[3] == "--english-names":
        english = texts.get("English", {})
        for line in open(argv[4], encoding="utf-8"):
            fields = line.rstrip("\n").split("\t")
            name = fields[4] if len(fields) > 4 else ""
            if name and any(text == name and language.get(key) != name for key, text in english.items()):
                print(name)
        return 0
    if argv[3] == "--key":
        key = argv[4]
    elif argv[3] == "--english" and len(argv) == 6:
        english = texts.get("English", {})
        key = next((k for prefix in argv[4].split() for k, text in english.items()
                    if k.startswith(prefix) and text == argv[5]), None)
    else:
        print(__doc__, file=sys.stderr)
        return 2
    if key is None or key not in language:
        return 1
    print(language[key])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
