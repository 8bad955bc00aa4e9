#!/usr/bin/python3
"""Cuts the captions' faces down to the characters the program shows.

Every character of every string literal in the program's sources is kept, with printable
ASCII and the sample characters by which FreeType's auto-hinter measures a face (so that the
subset is hinted exactly as the whole face is). The faces are renamed, so that an installed
copy of the whole face never stands in for the subset.

Usage: captionfaces.py SOURCE_DIR OUT_FONT FONT_FILE FONT_NUMBER FAMILY NOTICE_FILE|-
NOTICE_FILE becomes the face's licence text; with -, the face keeps its own. Characters of the
sources that the face lacks are named on standard error.
"""
import logging
import os
import re
import struct
import sys

from fontTools import subset
from fontTools.ttLib import TTFont, newTable

# FreeType's auto-hinter reads these to find the stems and blue zones of a face: the standard
# characters and blue strings of its Han, Latin and digit scripts (Latin ones are in ASCII).
HINTER_SAMPLES = (
    "田囗"
    "他们你來們到和地对對就席我时時會来為能舰說说这這齊"
    "军同已愿既星是景民照现現理用置要軍那配里開雷露面顾"
    "个为人他以们你來個們到和大对對就我时時有来為要說说"
    "主些因它想意理生當看着置者自著裡过还进進過道還里面"
)

LITERAL = re.compile(
    r'//[^\n]*'                                   # line comment
    r'|/\*.*?\*/'                                 # block comment
    r'|R"([^(\s]*)\((.*?)\)\1"'                   # raw string literal
    r'|"((?:[^"\\\n]|\\.)*)"'                     # string literal
    r"|'(?:[^'\\\n]|\\.)*'",                      # character literal
    re.S)


def literal_characters(source_dir):
    """Every character that stands in a string literal of a C++ source under source_dir."""
    found = set()
    for folder, _, names in os.walk(source_dir):
        for name in sorted(names):
            if not name.endswith((".cpp", ".h")):
                continue
            with open(os.path.join(folder, name), encoding="utf-8") as f:
                text = f.read()
            for match in LITERAL.finditer(text):
                literal = match.group(2) if match.group(2) is not None else match.group(3)
                if literal:
                    found.update(literal)
    return found


def load(path, number):
    face = TTFont(path, fontNumber=number, lazy=False, recalcBBoxes=False,
                  recalcTimestamp=False)
    # Some faces declare fewer grid-fitting ranges than their table holds; the rest is padding.
    if "gasp" in face.reader.tables:
        raw = face.reader["gasp"]
        _, ranges = struct.unpack(">HH", raw[:4])
        gasp = newTable("gasp")
        gasp.decompile(raw[:4 + 4 * ranges], face)
        face["gasp"] = gasp
    return face


def rename(face, family, notice):
    """Gives the face a family of its own; a notice, where given, becomes its licence text."""
    style = face["name"].getDebugName(2) or "Regular"
    postscript = (family + "-" + style).replace(" ", "")
    table = face["name"]
    replaced = (1, 3, 4, 6, 16, 17, 18, 21, 22, 25) + ((13,) if notice else ())
    table.names = [n for n in table.names if n.nameID not in replaced]
    names = {1: family, 3: postscript, 4: family + " " + style, 6: postscript}
    if notice:
        names[13] = notice
    for nameID, text in names.items():
        table.setName(text, nameID, 3, 1, 0x409)
    if "CFF " in face:
        cff = face["CFF "].cff
        cff.fontNames = [postscript]
        top = cff.topDictIndex[0]
        top.FullName = family + " " + style
        top.FamilyName = family


def main():
    logging.getLogger("fontTools").setLevel(logging.ERROR)
    source_dir, out_font, font_file, number, family, notice_file = sys.argv[1:7]
    shown = literal_characters(source_dir)
    characters = set(shown)
    characters.update(chr(c) for c in range(0x20, 0x7f))
    characters.update(HINTER_SAMPLES)

    face = load(font_file, int(number))
    options = subset.Options()
    # The rounded face has bitmaps of its own for the small sizes: keep them. The layout tables
    # change nothing in horizontal Japanese text (the rounded face's only feature is vertical
    # forms) but bring much of the shaper into memory.
    options.drop_tables = [t for t in options.drop_tables if t not in ("EBDT", "EBLC")]
    options.drop_tables += ["GSUB", "GPOS", "GDEF"]
    options.name_IDs = ["*"]
    options.name_languages = ["*"]
    options.notdef_outline = True
    options.glyph_names = False
    # A Mincho's subroutines serve the whole face: inlined, only what the subset uses remains.
    options.desubroutinize = True
    subsetter = subset.Subsetter(options)
    wanted = sorted(ord(c) for c in characters)
    cmap = face.getBestCmap()
    subsetter.populate(unicodes=[u for u in wanted if u in cmap])
    subsetter.subset(face)

    notice = ""
    if notice_file != "-":
        with open(notice_file, encoding="utf-8") as f:
            notice = f.read().strip()
    rename(face, family, notice)
    face.save(out_font)

    missing = "".join(sorted(c for c in shown if ord(c) >= 0x80 and ord(c) not in cmap))
    if missing:
        print(f"{os.path.basename(font_file)} lacks {missing}", file=sys.stderr)


if __name__ == "__main__":
    main()
