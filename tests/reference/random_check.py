#!/usr/bin/env python3
"""Converts random texts with random settings files through the program and
compares every output with the model. Usage: random_check.py PROGRAM [RUNS]
(PROGRAM may be a command with arguments, e.g. a Wine runner and the .exe)."""
import os
import random
import shlex
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import model  # noqa: E402

ALPHABET = [b"a", b"b", b"c", b"ab", b"\r", b"\n", b"\r\n", b" ", b"\x83\x5c", b"\x83",
            b"\x5c", b"\x1a", b"\0", b"A", b"\x96\xb3", b"<", b"%s", b"%d",
            # Characters whose second byte is a keyword or the start of one:
            # \u9023 (98 41), \u8868 (95 5C), \uff1e (81 83) before A.
            b"\x98\x41", b"\x95\x5c", b"\x81\x83", b"\x81", b"\xc3\xb1"]

# UTF-8 pieces: ASCII, two-, three- and four-byte characters, the UTF-8 forms
# of keywords below, and now and then a byte no UTF-8 text holds.
UTF8_ALPHABET = [b"a", b"A", b" ", b"\n", b"\r\n", b"\\", b"\xc2\x80", b"\xc3\xa9",
                 "\u91cd\u8981".encode(), "\u30a2".encode(), "\uff71".encode(),
                 "\u9023A".encode(), "\U0001f600".encode(), "\uf8f0".encode()]
UTF8_TRAPS = [b"\xc0\x80", b"\xed\xa0\x80", b"\xf4\x90\x80\x80", b"\xe9\x87", b"\x83",
              b"\xff"]

KEYWORD_PARTS = [b"a", b"b", b"ab", b"\x83", b"\x5c", b"A", b" ", b"\x41", b"\x83\x41",
                 b"\x8f\x64\x97\x76", b"\x81", b"\xb1", b"\x80", b"\xa0", b"\x98\x41"]


def random_utf8_text(rng):
    n = rng.choice([5, 30, 200, 800, 3000])
    parts = [rng.choice(UTF8_ALPHABET) for _ in range(n)]
    if rng.random() < 0.3:
        parts.insert(0, b"\xef\xbb\xbf")
    if rng.random() < 0.3:
        parts.insert(rng.randrange(len(parts) + 1), rng.choice(UTF8_TRAPS))
    if rng.random() < 0.2:
        # A long line whose 2047-byte limit falls inside a character.
        parts.insert(rng.randrange(len(parts) + 1),
                     b"x" * rng.randrange(2040, 2048) + "\u91cd".encode() * 4)
    return b"".join(parts)


def random_text(rng):
    if rng.random() < 0.1:
        return b""
    if rng.random() < 0.35:
        return random_utf8_text(rng)
    n = rng.choice([5, 30, 200, 2100, 5000])
    parts = [rng.choice(ALPHABET) for _ in range(n)]
    if rng.random() < 0.1:
        parts.insert(rng.randrange(len(parts) + 1), b"x" * rng.randrange(2040, 2060))
    if rng.random() < 0.1:
        parts.insert(rng.randrange(len(parts) + 1), b"\x81" * rng.randrange(2040, 2060))
    # 0x1A and zero bytes are rarer than the rest.
    return b"".join(p for p in parts if p not in (b"\x1a", b"\0") or rng.random() < 0.1)


def random_settings(rng):
    lines = [rng.choice([b"[TntMark set file]", b"x[TntMark set file]y", b"other"])]
    lines.append(rng.choice([b"1", b"0", b"256", b"-1", b"on", b" 3"]))
    # Large tables take another path through the keyword test.
    for _ in range(rng.choice([rng.randrange(0, 8), rng.randrange(16, 40)])):
        kw = b"".join(rng.choice(KEYWORD_PARTS) for _ in range(rng.randrange(0, 4)))
        colour = rng.choice([model.NO_COLOUR, b"FF0000", b"F00", b"", b"#123456789"])
        lines += [kw, colour, rng.choice([b"0", b"5", b"-2", b"12pt", b"x"]),
                  rng.choice([b"0", b"1", b"15", b"16", b"-1", b"9"])]
    if rng.random() < 0.9:
        lines.append(b"[TntMark set file end]")
    eol = rng.choice([b"\r\n", b"\n"])
    return eol.join(lines) + eol


def run_program(program, names, work):
    """Runs the program once on the named inputs: a start that fails, under
    Wine too, is a failure of the run."""
    return subprocess.run(program + names, cwd=work, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, timeout=60)


def main():
    program = shlex.split(sys.argv[1])
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 200
    rng = random.Random(int(os.environ.get("SEED", "1")))
    failures = 0
    with tempfile.TemporaryDirectory() as work:
        for run in range(runs):
            settings = random_settings(rng)
            texts = [random_text(rng) for _ in range(3)]
            with open(os.path.join(work, "TintMark.dat"), "wb") as f:
                f.write(settings)
            names = []
            for i, text in enumerate(texts):
                name = "in%d.txt" % i
                with open(os.path.join(work, name), "wb") as f:
                    f.write(text)
                names.append(name)
            # Outputs of the previous run must not pass for this run's.
            for name in names:
                out = os.path.join(work, name[:-3] + "html")
                if os.path.exists(out):
                    os.remove(out)
            done = run_program(program, names, work)
            entries, line_break = model.load_settings(settings)
            for name, text in zip(names, texts):
                try:
                    with open(os.path.join(work, name[:-3] + "html"), "rb") as f:
                        got = f.read()
                except OSError:
                    got = None
                want = model.convert(text, entries, line_break)
                if got != want:
                    failures += 1
                    at = next((i for i, (a, b) in enumerate(zip(want, got or b"")) if a != b),
                              min(len(want), len(got or b"")))
                    print("run %d %s differs from byte %d on (exit status %d)\n settings=%r\n"
                          " input=%r\n want=...%r\n got=...%r\n printed=%r"
                          % (run, name, at, done.returncode, settings, text[:300],
                             want[max(0, at - 80):at + 80],
                             got[max(0, at - 80):at + 80] if got is not None else None,
                             done.stdout[:600]))
    print("%d passed, %d failed" % (runs * 3 - failures, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
