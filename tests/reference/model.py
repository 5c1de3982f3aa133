"""An independent model of the conversion rules, written from the rules
rather than from the C++ code, used to cross-check the program on random
texts and settings files."""

NO_COLOUR = b"\x96\xb3\x95\xcf\x8a\xb7"
START = b"[TntMark set file]"
END = b"[TntMark set file end]"


def text_mode(raw):
    """Bytes as a text-mode read sees them: CR LF -> LF, 0x1A ends."""
    out = bytearray()
    i = 0
    while i < len(raw):
        c = raw[i]
        if c == 0x1A:
            break
        if c == 0x0D and i + 1 < len(raw) and raw[i + 1] == 0x0A:
            out.append(0x0A)
            i += 2
            continue
        out.append(c)
        i += 1
    return bytes(out)


def is_lead(b):
    return 0x81 <= b <= 0x9F or 0xE0 <= b <= 0xFC


def is_trail(b):
    return 0x40 <= b <= 0x7E or 0x80 <= b <= 0xFC


def utf8_length(text, i, end, cut_ok):
    """Length of the well-formed UTF-8 sequence at text[i] (Unicode table
    3-7), or 0. A sequence running past end counts whole when cut_ok."""
    b = text[i]
    if b < 0x80:
        return 1
    for first, last, length, low, high in (
            (0xC2, 0xDF, 2, 0x80, 0xBF), (0xE0, 0xE0, 3, 0xA0, 0xBF),
            (0xE1, 0xEC, 3, 0x80, 0xBF), (0xED, 0xED, 3, 0x80, 0x9F),
            (0xEE, 0xEF, 3, 0x80, 0xBF), (0xF0, 0xF0, 4, 0x90, 0xBF),
            (0xF1, 0xF3, 4, 0x80, 0xBF), (0xF4, 0xF4, 4, 0x80, 0x8F)):
        if first <= b <= last:
            for k in range(1, length):
                if i + k >= end:
                    return length if cut_ok else 0
                lo, hi = (low, high) if k == 1 else (0x80, 0xBF)
                if not lo <= text[i + k] <= hi:
                    return 0
            return length
    return 0


def encoding_of(text, forced=None):
    """'utf-8' or 'cp932', decided from the text as read."""
    if forced:
        return forced
    if text.startswith(b"\xef\xbb\xbf"):
        return "utf-8"
    first = next((i for i, b in enumerate(text) if b >= 0x80), None)
    if first is None:
        return "cp932"
    end = min(len(text), first + 65536)
    cut_ok = end < len(text)
    i = first
    while i < end:
        n = utf8_length(text, i, end, cut_ok)
        if n == 0:
            return "cp932"
        i += n
    return "utf-8"


def char_length(text, i, encoding):
    if encoding == "utf-8":
        return utf8_length(text, i, len(text), False) or 1
    if is_lead(text[i]) and i + 1 < len(text) and is_trail(text[i + 1]):
        return 2
    return 1


def pieces(text, limit, encoding=None):
    """Successive reads of at most limit bytes, each up to and including LF;
    with an encoding, a read never ends inside one of its characters. Gives
    (piece, set of the offsets in it where characters begin, its end too)."""
    i = 0
    while i < len(text):
        n = 0
        starts = {0}
        while i + n < len(text):
            c = char_length(text, i + n, encoding) if encoding else 1
            if n + c > limit:
                break
            n += c
            starts.add(n)
            if text[i + n - 1] == 0x0A:
                break
        yield text[i:i + n], starts
        i += n


def atoi(b):
    i = 0
    while i < len(b) and b[i] in b" \t\n\v\f\r":
        i += 1
    sign = 1
    if i < len(b) and b[i] in b"+-":
        sign = -1 if b[i] == ord("-") else 1
        i += 1
    v = 0
    while i < len(b) and 48 <= b[i] <= 57:
        v = min(v * 10 + b[i] - 48, 2**31)
        i += 1
    return max(min(sign * v, 2**31 - 1), -(2**31))


def cstr(b):
    z = b.find(b"\0")
    return b if z < 0 else b[:z]


def load_settings(raw):
    """(entries, line_break) from settings file bytes, or ([], 0)."""
    lines = []
    for line, _ in pieces(text_mode(raw), 1023):
        # An over-long line is cut; the rest of it is dropped.
        if lines and lines[-1][1]:
            lines[-1] = (lines[-1][0], not line.endswith(b"\n"))
            continue
        lines.append((line, len(line) == 1023 and not line.endswith(b"\n")))
    lines = [l for l, _ in lines]
    if not lines or START not in cstr(lines[0]):
        return [], 0
    if len(lines) < 2:
        return [], 0
    line_break = atoi(cstr(lines[1])) & 0xFF
    entries = []
    i = 2
    while i < len(lines):
        kw = cstr(lines[i])
        if END in kw:
            break
        if i + 3 >= len(lines):
            break
        kw = kw.split(b"\n")[0][:511]
        colour = cstr(lines[i + 1]).split(b"\n")[0][:6]
        size = atoi(cstr(lines[i + 2]))
        style = atoi(cstr(lines[i + 3]))
        if len(entries) < 512:
            entries.append((kw, colour, size, style))
        i += 4
    return entries, line_break


def utf8_form(keyword):
    """The keyword's code page 932 bytes in UTF-8, or None when they are not
    a run of whole code page 932 characters."""
    try:
        return keyword.decode("cp932").encode("utf-8")
    except UnicodeDecodeError:
        return None


def decorated(entry, kw):
    _, colour, size, style = entry
    out = b""
    for k, tag in enumerate((b"<B>", b"<I>", b"<U>", b"<STRIKE>")):
        if style & (1 << k):
            out += tag
    has_colour = colour != NO_COLOUR
    if has_colour or size != 0:
        out += b"<font"
        if has_colour:
            out += b" color=#" + colour
        if size != 0:
            out += b" size=%d" % size
        out += b">" + kw + b"</font>"
    else:
        out += kw
    for k, tag in reversed(list(enumerate((b"</B>", b"</I>", b"</U>", b"</STRIKE>")))):
        if style & (1 << k):
            out += tag
    return out


def convert(raw, entries, line_break, forced=None):
    """Output bytes of one input file: every keyword matched on whole
    characters, in the form its text's encoding searches for."""
    out = bytearray()
    br = b"<BR>" if line_break else b""
    text = text_mode(raw)
    encoding = encoding_of(text, forced)
    forms = [e[0] if encoding == "cp932" else utf8_form(e[0]) for e in entries]
    for piece, starts in pieces(text, 2047, encoding):
        line = cstr(piece)
        hits = [(e, f) for e, f in zip(entries, forms) if f is not None and f in line]
        if not hits:
            out += line + br
            continue
        run_start = p = 0
        while p < len(line):
            for e, f in hits:
                if (f and p in starts and line.startswith(f, p) and
                        p + len(f) in starts):
                    out += line[run_start:p] + decorated(e, f)
                    p = run_start = p + len(f)
                    break
            else:
                p += 1
        if run_start < len(line):
            out += line[run_start:] + br
    return bytes(out).replace(b"\n", b"\r\n")
