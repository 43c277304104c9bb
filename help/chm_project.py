#!/usr/bin/env python3
"""Writes the compiled-help project for Kestrum.html: Kestrum.hhp, the contents (Kestrum.hhc)
from the h2/h3 headings and the index (Kestrum.hhk) from the "index:" anchors.

    chm_project.py <Kestrum.html> <output-folder>

chmcmd then compiles <output-folder>/Kestrum.hhp into Kestrum.chm with full-text search.
"""
import html
import os
import re
import shutil
import sys

HEADING = re.compile(r'<h([23])>(.*?)</h\1>', re.S)
ANCHOR = re.compile(r'<a name="([^"]+)"></a>')
TAGS = re.compile(r'<[^>]+>')


def sitemap_object(name, local):
    return ('<LI> <OBJECT type="text/sitemap">\n'
            f'  <param name="Name" value="{html.escape(name)}">\n'
            f'  <param name="Local" value="{html.escape(local)}">\n'
            '  </OBJECT>\n')


def main(source, out):
    text = open(source, encoding='utf-8').read()
    page = os.path.basename(source)
    os.makedirs(out, exist_ok=True)
    shutil.copyfile(source, os.path.join(out, page))

    contents = ['<UL>\n', sitemap_object('Kestrum - DNC Administration', page)]
    level = 2
    index = []
    for m in HEADING.finditer(text):
        depth = int(m.group(1))
        anchors = ANCHOR.findall(m.group(2))
        title = html.unescape(TAGS.sub('', m.group(2))).strip()
        if not anchors:
            continue
        if depth > level:
            contents.append('<UL>\n')
        elif depth < level:
            contents.append('</UL>\n')
        level = depth
        contents.append(sitemap_object(title, f'{page}#{anchors[0]}'))
    contents.append('</UL>\n' * (level - 1))
    for anchor in ANCHOR.findall(text):
        if anchor.startswith('index:'):
            index.append((anchor[len('index:'):], f'{page}#{anchor}'))
    index.sort(key=lambda entry: entry[0].lower())

    header = ('<!DOCTYPE HTML PUBLIC "-//IETF//DTD HTML//EN">\n<HTML><HEAD></HEAD><BODY>\n'
              '<OBJECT type="text/site properties">\n'
              '  <param name="Window Styles" value="0x800025">\n</OBJECT>\n')
    with open(os.path.join(out, 'Kestrum.hhc'), 'w', encoding='latin-1',
              errors='xmlcharrefreplace', newline='\r\n') as f:
        f.write(header + ''.join(contents) + '</BODY></HTML>\n')
    with open(os.path.join(out, 'Kestrum.hhk'), 'w', encoding='latin-1',
              errors='xmlcharrefreplace', newline='\r\n') as f:
        f.write(header + '<UL>\n' + ''.join(sitemap_object(n, l) for n, l in index) +
                '</UL>\n</BODY></HTML>\n')
    with open(os.path.join(out, 'Kestrum.hhp'), 'w', encoding='latin-1', newline='\r\n') as f:
        f.write('[OPTIONS]\n'
                'Compatibility=1.1 or later\n'
                'Compiled file=Kestrum.chm\n'
                'Contents file=Kestrum.hhc\n'
                'Index file=Kestrum.hhk\n'
                f'Default topic={page}\n'
                'Default Window=main\n'
                'Display compile progress=No\n'
                'Full-text search=Yes\n'
                'Language=0x409 English (United States)\n'
                'Title=Kestrum Help\n\n'
                '[WINDOWS]\n'
                f'main="Kestrum Help","Kestrum.hhc","Kestrum.hhk","{page}","{page}",,,,,'
                '0x63520,240,0x387e,,,,,,,,0\n\n'
                '[FILES]\n'
                f'{page}\n')
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1], sys.argv[2]))
