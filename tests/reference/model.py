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


def pieces(text, limit):
    """Successive reads of at most limit bytes, each up to and including LF."""
    i = 0
    while i < len(text):
        end = text.find(b"\n", i, i + limit)
        j = end + 1 if end >= 0 else min(i + limit, len(text))
        yield text[i:j]
        i = j


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
    for line in pieces(text_mode(raw), 1023):
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


def decorated(entry):
    kw, colour, size, style = entry
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


def convert(raw, entries, line_break):
    """Output bytes (before LF -> CR LF) of one input file."""
    out = bytearray()
    br = b"<BR>" if line_break else b""
    for piece in pieces(text_mode(raw), 2047):
        line = cstr(piece)
        hits = [e for e in entries if e[0] in line]
        if not hits:
            out += line + br
            continue
        run_start = p = 0
        while p < len(line):
            for e in hits:
                if e[0] and line.startswith(e[0], p):
                    out += line[run_start:p] + decorated(e)
                    p = run_start = p + len(e[0])
                    break
            else:
                p += 1
        if run_start < len(line):
            out += line[run_start:] + br
    return bytes(out).replace(b"\n", b"\r\n")
