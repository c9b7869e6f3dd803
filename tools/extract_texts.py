#!/usr/bin/env python3
"""Lists every string literal in the console's sources that holds a Chinese character.

    tools/extract_texts.py [--src DIR] [--check TS | --update TS]

Without an option it prints one text a line (escapes as in C++: \\n, \\t, \\"), each once, in the
order the sources first use them. With --check it prints the texts that the translation file TS has
no finished entry for and exits 1 when there is any, so a new text cannot go out untranslated
unnoticed. With --update it adds each text TS has no entry for at all as an unfinished entry (an
empty translation to write), and prints them.
Adjacent literals ("a" "b") are joined as the compiler joins them; literals in comments are skipped.
"""
import argparse
import os
import re
import sys
import xml.etree.ElementTree as ET
from xml.sax.saxutils import escape as xml_escape

CJK = re.compile('[\u4e00-\u9fff\u3000-\u303f\uff00-\uffef]')
SIMPLE_ESCAPES = {'n': '\n', 't': '\t', 'r': '\r', '"': '"', "'": "'", '\\': '\\', '0': '\0', '?': '?'}


def literals(source):
    """Yields the string literals of one C++ source, adjacent ones joined."""
    i, n = 0, len(source)
    pending = None
    while i < n:
        c = source[i]
        if source.startswith('//', i):
            i = source.find('\n', i)
            i = n if i < 0 else i
            continue
        if source.startswith('/*', i):
            i = source.find('*/', i + 2)
            i = n if i < 0 else i + 2
            continue
        if c == "'":
            # A character literal: skipped whole (it may hold a quote).
            j = i + 1
            while j < n and source[j] != "'":
                j += 2 if source[j] == '\\' else 1
            i = j + 1
            continue
        if c == '"':
            if i >= 1 and source[i - 1] == 'R':
                # A raw literal R"(...)" (none hold texts today): skipped.
                end = source.find(')"', i)
                i = n if end < 0 else end + 2
                continue
            j, text = i + 1, []
            while j < n and source[j] != '"':
                if source[j] == '\\' and j + 1 < n:
                    text.append(SIMPLE_ESCAPES.get(source[j + 1], '\\' + source[j + 1]))
                    j += 2
                else:
                    text.append(source[j])
                    j += 1
            pending = (pending or '') + ''.join(text)
            i = j + 1
            # Joined with the next literal when only blanks (and a u/u8 prefix) lie between.
            k = i
            while k < n and source[k] in ' \t\r\n':
                k += 1
            m = re.match(r'(u8|u|U|L)?"', source[k:k + 3])
            if m:
                i = k + len(m.group(0)) - 1
                continue
            yield pending
            pending = None
            continue
        i += 1


def texts(src):
    seen, out = set(), []
    for root, _, files in sorted(os.walk(src)):
        for name in sorted(files):
            if not name.endswith(('.cpp', '.h')):
                continue
            with open(os.path.join(root, name), encoding='utf-8') as f:
                for text in literals(f.read()):
                    if CJK.search(text) and text not in seen:
                        seen.add(text)
                        out.append(text)
    return out


def escaped(text):
    return text.replace('\\', '\\\\').replace('\n', '\\n').replace('\t', '\\t').replace('"', '\\"')


def translated(ts):
    done = set()
    for message in ET.parse(ts).getroot().iter('message'):
        source, translation = message.find('source'), message.find('translation')
        if translation is not None and translation.get('type') != 'unfinished' and translation.text:
            done.add(source.text)
    return done


def update(ts, found):
    listed = {m.find('source').text for m in ET.parse(ts).getroot().iter('message')}
    new = [t for t in found if t not in listed]
    if not new:
        return 0
    with open(ts, encoding='utf-8') as f:
        content = f.read()
    entries = ''.join('    <message>\n        <source>%s</source>\n'
                      '        <translation type="unfinished"></translation>\n    </message>\n' % xml_escape(t)
                      for t in new)
    at = content.rindex('</context>')
    with open(ts, 'w', encoding='utf-8') as f:
        f.write(content[:at] + entries + content[at:])
    for text in new:
        print(escaped(text))
    return 0


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser()
    parser.add_argument('--src', default=os.path.join(here, '..', 'src'))
    parser.add_argument('--check', metavar='TS')
    parser.add_argument('--update', metavar='TS')
    args = parser.parse_args()
    found = texts(args.src)
    if args.update:
        return update(args.update, found)
    if not args.check:
        for text in found:
            print(escaped(text))
        return 0
    done = translated(args.check)
    missing = [t for t in found if t not in done]
    for text in missing:
        print(escaped(text))
    return 1 if missing else 0


if __name__ == '__main__':
    sys.exit(main())
