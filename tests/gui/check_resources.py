#!/usr/bin/env python3
"""Compiles res/tintmark.rc with the toolchain's resource compiler and checks
the two dialog templates field by field: styles, positions, ids, window
classes, and every text as the program reads it back in code page 932.

Usage: check_resources.py WINDRES RES_DIR
"""
import os
import struct
import subprocess
import sys
import tempfile

WS_POPUP, WS_CHILD, WS_VISIBLE = 0x80000000, 0x40000000, 0x10000000
WS_CAPTION, WS_BORDER, WS_SYSMENU = 0x00C00000, 0x00800000, 0x00080000
WS_VSCROLL, WS_GROUP, WS_TABSTOP = 0x00200000, 0x00020000, 0x00010000
DS_MODALFRAME, DS_SETFONT = 0x80, 0x40
BS_DEFPUSHBUTTON, BS_AUTOCHECKBOX, BS_GROUPBOX = 0x1, 0x3, 0x7
ES_AUTOHSCROLL = 0x80
LBS_NOTIFY, LBS_SORT, LBS_NOINTEGRALHEIGHT = 0x1, 0x2, 0x100
LBS_OWNERDRAWFIXED, LBS_HASSTRINGS = 0x10, 0x40
SS_LEFT, SS_OWNERDRAW, SS_NOPREFIX, SS_EDITCONTROL, SS_SUNKEN = 0x0, 0xD, 0x80, 0x2000, 0x1000
BUTTON, EDIT, STATIC, LISTBOX = 0x80, 0x81, 0x82, 0x83
CHILD = WS_CHILD | WS_VISIBLE

FONT = (9, "ＭＳ Ｐゴシック")

# (id, class, text, (x, y, w, h), style), in tab order.
MAIN = (
    DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT,
    (0, 0, 225, 245),
    "TintMark",
    [
        (1001, LISTBOX, "", (7, 7, 135, 231),
         CHILD | WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_SORT
         | LBS_NOINTEGRALHEIGHT | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS),
        (3, BUTTON, "New", (168, 224, 50, 14), CHILD | WS_TABSTOP),
        (1002, BUTTON, "Renew", (168, 205, 50, 14), CHILD | WS_TABSTOP),
        (1003, BUTTON, "Delete", (168, 172, 50, 14), CHILD | WS_TABSTOP | BS_DEFPUSHBUTTON),
        (1008, BUTTON, "改行に<BR>をつける", (145, 29, 72, 14),
         CHILD | WS_TABSTOP | BS_AUTOCHECKBOX),
        (1012, BUTTON, "Convert...", (168, 7, 50, 14), CHILD | WS_TABSTOP),
        (1011, STATIC, "", (145, 47, 73, 121), CHILD | SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL),
    ],
)

EDIT_STYLE = CHILD | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL
LABEL_STYLE = CHILD | WS_GROUP
EDITOR = (
    DS_MODALFRAME | WS_POPUP | DS_SETFONT,
    (0, 0, 195, 169),
    "",
    [
        (1004, EDIT, "", (55, 15, 127, 15), EDIT_STYLE),
        (1005, EDIT, "", (55, 42, 53, 15), EDIT_STYLE),
        (1011, BUTTON, "...", (111, 42, 16, 15), CHILD | WS_TABSTOP),
        (1006, EDIT, "", (55, 68, 17, 15), EDIT_STYLE),
        (1012, STATIC, "", (80, 63, 102, 20), CHILD | SS_OWNERDRAW | SS_SUNKEN),
        (1, BUTTON, "OK", (2, 148, 50, 14), CHILD | WS_TABSTOP | BS_DEFPUSHBUTTON),
        (2, BUTTON, "ｷｬﾝｾﾙ", (78, 148, 50, 14), CHILD | WS_TABSTOP),
        (1007, BUTTON, "Bold(太字)", (9, 97, 42, 12), CHILD | WS_TABSTOP | BS_AUTOCHECKBOX),
        (1008, BUTTON, "Italic(イタリック)", (90, 97, 59, 12),
         CHILD | WS_TABSTOP | BS_AUTOCHECKBOX),
        (1009, BUTTON, "Underline(下線)", (9, 115, 61, 12), CHILD | WS_TABSTOP | BS_AUTOCHECKBOX),
        (1010, BUTTON, "STRIKE(打ち消し線)", (90, 115, 70, 12),
         CHILD | WS_TABSTOP | BS_AUTOCHECKBOX),
        (0xFFFF, STATIC, "文字：", (7, 21, 20, 8), LABEL_STYLE),
        (0xFFFF, STATIC, "フォントカラー：", (7, 45, 44, 8), LABEL_STYLE),
        (0xFFFF, STATIC, "フォントサイズ：", (7, 70, 45, 8), LABEL_STYLE),
        (0xFFFF, BUTTON, "", (2, 7, 186, 80), CHILD | BS_GROUPBOX),
        (0xFFFF, BUTTON, "", (2, 87, 186, 45), CHILD | BS_GROUPBOX),
    ],
)

# The same texts as code page 932 bytes, written out by hand: what the ANSI
# calls give the program.
CP932 = {
    "改行に<BR>をつける": b"\x89\xfc\x8d\x73\x82\xc9<BR>\x82\xf0\x82\xc2\x82\xaf\x82\xe9",
    "ｷｬﾝｾﾙ": b"\xb7\xac\xdd\xbe\xd9",
    "文字：": b"\x95\xb6\x8e\x9a\x81\x46",
    "ＭＳ Ｐゴシック": b"\x82\x6c\x82\x72 \x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e",
}


def sz_or_ord(b, o):
    if struct.unpack_from("<H", b, o)[0] == 0xFFFF:
        return struct.unpack_from("<H", b, o + 2)[0], o + 4
    end = o
    while struct.unpack_from("<H", b, end)[0] != 0:
        end += 2
    return b[o:end].decode("utf-16-le"), end + 2


def resources(path):
    """Yields (type, name, data) of each entry of a .res file."""
    data = open(path, "rb").read()
    o = 0
    while o < len(data):
        size, header = struct.unpack_from("<II", data, o)
        typ, p = sz_or_ord(data, o + 8)
        name, _ = sz_or_ord(data, p)
        yield typ, name, data[o + header:o + header + size]
        o += (header + size + 3) & ~3


def parse_dialog(body):
    style, _ex, count, x, y, cx, cy = struct.unpack_from("<IIHhhhh", body, 0)
    q = 18
    _menu, q = sz_or_ord(body, q)
    _cls, q = sz_or_ord(body, q)
    title, q = sz_or_ord(body, q)
    points = struct.unpack_from("<H", body, q)[0]
    face, q = sz_or_ord(body, q + 2)
    items = []
    for _ in range(count):
        q = (q + 3) & ~3
        st, _ex, ix, iy, icx, icy, cid = struct.unpack_from("<IIhhhhH", body, q)
        q += 18
        cls, q = sz_or_ord(body, q)
        text, q = sz_or_ord(body, q)
        extra = struct.unpack_from("<H", body, q)[0]
        q += 2 + extra
        items.append((cid, cls, text, (ix, iy, icx, icy), st))
    return style, (x, y, cx, cy), title, (points, face), items


def main():
    windres, res_dir = sys.argv[1], sys.argv[2]
    failures = []
    passed = 0

    def check(ok, what):
        nonlocal passed
        if ok:
            passed += 1
        else:
            failures.append(what)

    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "tintmark.res")
        subprocess.run([windres, "-I", res_dir, "-O", "res", "-i",
                        os.path.join(res_dir, "tintmark.rc"), "-o", out], check=True)
        found = {(t, n): d for t, n, d in resources(out)}

    check((14, 102) in found, "icon group 102 present")
    for number, (style, rect, title, controls) in ((101, MAIN), (103, EDITOR)):
        if (5, number) not in found:
            check(False, "dialog %d present" % number)
            continue
        got_style, got_rect, got_title, got_font, items = parse_dialog(found[(5, number)])
        check(got_style == style, "dialog %d style %#x, expected %#x" % (number, got_style, style))
        check(got_rect == rect, "dialog %d rect %s" % (number, got_rect))
        check(got_title == title, "dialog %d caption %r" % (number, got_title))
        check(got_font == FONT, "dialog %d font %r" % (number, got_font))
        check(len(items) == len(controls), "dialog %d has %d controls" % (number, len(items)))
        for want, got in zip(controls, items):
            check(got == want, "dialog %d control: expected %r, got %r" % (number, want, got))
            if want[2] in CP932:
                check(got[2].encode("cp932") == CP932[want[2]], "cp932 bytes of %r" % want[2])
    check(FONT[1].encode("cp932") == CP932[FONT[1]], "cp932 bytes of the font name")

    for f in failures:
        print("FAIL", f)
    print("%d passed, %d failed" % (passed, len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
