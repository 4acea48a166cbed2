#!/usr/bin/env python3
"""Turns the STRINGTABLE blocks of a resource script into a C++ table for the native build.

On Windows the strings are real resources loaded with LoadStringW; natively the same .rc file is
the source, so the texts never exist twice. Usage: rc_strings.py INPUT.rc OUTPUT.cpp
"""
import re
import sys

LANGUAGES = {"LANG_ENGLISH": 0x09, "LANG_FRENCH": 0x0C, "LANG_JAPANESE": 0x11, "LANG_NEUTRAL": 0x00}


def unescape(body, where):
    out = []
    i = 0
    while i < len(body):
        c = body[i]
        if c == '"' and i + 1 < len(body) and body[i + 1] == '"':
            out.append('"')
            i += 2
            continue
        if c == '\\' and i + 1 < len(body):
            n = body[i + 1]
            simple = {'n': '\n', 'r': '\r', 't': '\t', 'a': '\a', '\\': '\\', '"': '"'}
            if n in simple:
                out.append(simple[n])
                i += 2
                continue
            if n == 'x':
                m = re.match(r'[0-9a-fA-F]{1,4}', body[i + 2:])
                if not m:
                    raise SystemExit("%s: bad \\x escape" % where)
                out.append(chr(int(m.group(0), 16)))
                i += 2 + len(m.group(0))
                continue
            m = re.match(r'[0-7]{1,3}', body[i + 1:])
            if m:
                out.append(chr(int(m.group(0), 8)))
                i += 1 + len(m.group(0))
                continue
            raise SystemExit("%s: unknown escape \\%s" % (where, n))
        out.append(c)
        i += 1
    return ''.join(out)


def cpp_literal(text):
    parts = []
    for ch in text:
        code = ord(ch)
        if ch == '"' or ch == '\\':
            parts.append('\\' + ch)
        elif 0x20 <= code < 0x7F:
            parts.append(ch)
        elif code < 0xA0:
            parts.append('\\%03o' % code)
        elif code < 0x10000:
            parts.append('\\u%04X' % code)
        else:
            parts.append('\\U%08X' % code)
    return 'u"' + ''.join(parts) + '"'


def main():
    source, target = sys.argv[1], sys.argv[2]
    defines = {}
    entries = []
    language = 0x09
    in_table = False
    with open(source, encoding='utf-8-sig') as f:
        lines = f.readlines()
    for number, line in enumerate(lines, 1):
        where = "%s:%d" % (source, number)
        stripped = line.strip()
        m = re.match(r'#define\s+(\w+)\s+(\d+)', stripped)
        if m:
            defines[m.group(1)] = int(m.group(2))
            continue
        m = re.match(r'LANGUAGE\s+(\w+)\s*,', stripped)
        if m:
            if m.group(1) not in LANGUAGES:
                raise SystemExit("%s: unknown language %s" % (where, m.group(1)))
            language = LANGUAGES[m.group(1)]
            continue
        if stripped.startswith('STRINGTABLE'):
            in_table = True
            continue
        if not in_table:
            continue
        if stripped in ('BEGIN', '{'):
            continue
        if stripped in ('END', '}'):
            in_table = False
            continue
        if not stripped or stripped.startswith('//'):
            continue
        m = re.match(r'(\w+)\s*,?\s*"(.*)"\s*$', stripped)
        if not m:
            raise SystemExit("%s: cannot read string entry" % where)
        ident = m.group(1)
        value = int(ident) if ident.isdigit() else defines.get(ident)
        if value is None:
            raise SystemExit("%s: unknown identifier %s" % (where, ident))
        entries.append((language, value, unescape(m.group(2), where)))
    with open(target, 'w', encoding='utf-8') as out:
        out.write('// Generated from %s by tools/rc_strings.py; do not edit.\n' % source.split('/')[-1])
        out.write('#include "common/module_strings.h"\n\nnamespace quarro::resources {\n\n')
        out.write('namespace {\nconst StringEntry kEntries[] = {\n')
        for language, ident, text in entries:
            out.write('    {0x%02X, %d, %s},\n' % (language, ident, cpp_literal(text)))
        if not entries:
            out.write('    {0, 0, nullptr},\n')
        out.write('};\n}  // namespace\n\n')
        out.write('QUARRO_MODULE_LOCAL const StringEntry* ModuleStringEntries(std::size_t* count) {\n')
        out.write('    *count = %d;\n    return kEntries;\n}\n\n}  // namespace quarro::resources\n' % len(entries))


if __name__ == '__main__':
    main()
