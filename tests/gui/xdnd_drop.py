#!/usr/bin/env python3
"""Plays the file manager for the GUI tests: drags files onto the program's
window through the X drag-and-drop protocol (XDND), offering them as a
text/uri-list, the way a desktop file manager does.

Usage: xdnd_drop.py DIR
Waits for DIR/ready.txt (the window's screen rectangle: left top right
bottom), reads DIR/plan.txt (one absolute Unix path a line; a blank line
ends one drop and starts the next; a line "wait NAME" waits for DIR/NAME
before the next drop), drops each group in turn onto the
window, waiting for the target to finish each drop, then creates
DIR/drops.done. A window busy with the previous drop refuses the next one;
like a user, the source then tries again until it is taken. Exits non-zero
when a drop is still refused or unfinished after the time limit.
"""
import os
import sys
import time
import urllib.parse

from Xlib import X, display
from Xlib.protocol import event

XDND_VERSION = 5
TIMEOUT = 120.0


def wait_for(path, timeout=TIMEOUT):
    end = time.time() + timeout
    while not os.path.exists(path):
        if time.time() > end:
            sys.exit("xdnd_drop: %s did not appear" % path)
        time.sleep(0.05)


def read_plan(path):
    """The drops, each a list of paths, and the waits, each a name."""
    steps, current = [], []
    with open(path, "rb") as f:
        for line in f.read().decode("utf-8").split("\n"):
            if line and not line.startswith("wait "):
                current.append(line)
                continue
            if current:
                steps.append(current)
                current = []
            if line:
                steps.append(line[len("wait "):])
    if current:
        steps.append(current)
    return steps


def uri_list(paths):
    return b"".join(
        b"file://" + urllib.parse.quote(p.encode("utf-8"), safe="/").encode("ascii") + b"\r\n"
        for p in paths
    )


class DragSource:
    def __init__(self, d):
        self.d = d
        self.root = d.screen().root
        self.window = self.root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
        self.atom = {
            name: d.intern_atom(name)
            for name in (
                "XdndAware", "XdndEnter", "XdndPosition", "XdndStatus", "XdndLeave",
                "XdndDrop", "XdndFinished", "XdndSelection", "XdndActionCopy",
                "text/uri-list", "WM_NAME",
            )
        }

    def target_at(self, x, y):
        """The topmost XDND-aware top-level window holding the root point."""
        for child in reversed(self.root.query_tree().children):
            try:
                attrs = child.get_attributes()
                if attrs.map_state != X.IsViewable:
                    continue
                geo = child.get_geometry()
                if not (geo.x <= x < geo.x + geo.width and geo.y <= y < geo.y + geo.height):
                    continue
                if child.get_full_property(self.atom["XdndAware"], X.AnyPropertyType):
                    return child
            except Exception:
                continue
        return None

    def send(self, target, name, data):
        ev = event.ClientMessage(
            window=target, client_type=self.atom[name], data=(32, data + [0] * (5 - len(data)))
        )
        target.send_event(ev, event_mask=0)
        self.d.flush()

    def answer(self, request, payload):
        """Answers a selection request for the drop's data."""
        prop = request.property or request.target
        if request.target == self.atom["text/uri-list"]:
            request.requestor.change_property(prop, request.target, 8, payload)
        else:
            prop = X.NONE
        notify = event.SelectionNotify(
            time=request.time, requestor=request.requestor, selection=request.selection,
            target=request.target, property=prop,
        )
        request.requestor.send_event(notify, event_mask=0)
        self.d.flush()

    def offer(self, target, x, y, payload):
        """Offers the drop once: True when it was taken and finished, False
        when the window refused it."""
        self.send(target, "XdndEnter",
                  [self.window.id, XDND_VERSION << 24, self.atom["text/uri-list"]])
        self.send(target, "XdndPosition",
                  [self.window.id, 0, (x << 16) | y, X.CurrentTime, self.atom["XdndActionCopy"]])
        dropped = False
        end = time.time() + TIMEOUT
        while time.time() < end:
            if not self.d.pending_events():
                time.sleep(0.01)
                continue
            ev = self.d.next_event()
            if ev.type == X.SelectionRequest:
                self.answer(ev, payload)
            elif ev.type == X.ClientMessage:
                kind = ev.client_type
                data = ev.data[1]
                if kind == self.atom["XdndStatus"] and not dropped:
                    if not data[1] & 1:
                        self.send(target, "XdndLeave", [self.window.id])
                        return False
                    self.send(target, "XdndDrop", [self.window.id, 0, X.CurrentTime])
                    dropped = True
                elif kind == self.atom["XdndFinished"]:
                    return True
        sys.exit("xdnd_drop: no XdndFinished within %d s" % TIMEOUT)

    def drop(self, target, x, y, paths):
        payload = uri_list(paths)
        self.window.set_selection_owner(self.atom["XdndSelection"], X.CurrentTime)
        end = time.time() + TIMEOUT
        while not self.offer(target, x, y, payload):
            if time.time() > end:
                sys.exit("xdnd_drop: the window refused the drop")
            time.sleep(0.2)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    work = sys.argv[1]
    ready = os.path.join(work, "ready.txt")
    wait_for(ready)
    # The driver creates the file before it writes the rectangle into it: on
    # a busy machine the file can be read empty in between.
    end = time.time() + TIMEOUT
    while True:
        with open(ready) as f:
            values = f.read().split()
        if len(values) == 4 or time.time() > end:
            break
        time.sleep(0.05)
    left, top, right, bottom = (int(v) for v in values)
    # A point inside the list, well clear of the caption and the frame.
    x, y = left + (right - left) // 4, top + (bottom - top) // 3
    source = DragSource(display.Display())
    target = None
    end = time.time() + 30
    while target is None and time.time() < end:
        target = source.target_at(x, y)
        if target is None:
            time.sleep(0.1)
    if target is None:
        sys.exit("xdnd_drop: no drop target at %d,%d" % (x, y))
    for step in read_plan(os.path.join(work, "plan.txt")):
        if isinstance(step, str):
            wait_for(os.path.join(work, step))
        else:
            source.drop(target, x, y, step)
    open(os.path.join(work, "drops.done"), "w").close()


if __name__ == "__main__":
    main()
