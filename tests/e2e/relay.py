"""Reading Wine's relay channel: the calls a program's own image makes.

Numbers are printed in hex at the width of the program's pointers (8 digits
for a 32-bit program, up to 16 for a 64-bit one, where a predefined root key
such as HKEY_LOCAL_MACHINE reads ffffffff80000002): they are compared as
numbers, never as text.
"""

import re
from dataclasses import dataclass

CALL = re.compile(r"^([0-9a-f]{4}):Call (\w+)\.(\w+)\((.*)\) ret=([0-9a-f]+)$")
RET = re.compile(r"^([0-9a-f]{4}):Ret  (\w+)\.(\w+)\(\) retval=([0-9a-f]+) ret=([0-9a-f]+)$")


@dataclass
class Call:
    function: str
    args: list
    result: int = None


def signed(value, bits):
    """A handle or status as the platform means it: predefined root keys are
    negative 32-bit numbers, sign-extended on a 64-bit platform."""
    value &= (1 << bits) - 1
    return value - (1 << bits) if value >> (bits - 1) else value


def parse_args(text):
    """Relay arguments: numbers in hex, strings after their pointer."""
    args, i = [], 0
    while i < len(text):
        m = re.match(r'([0-9a-f]+)( (L?)"((?:[^"\\]|\\.)*)"(\.\.\.)?)?', text[i:])
        if not m:
            raise ValueError(f"unreadable relay arguments: {text}")
        # Wine shortens long strings, marking them with "..." after the quote.
        string = unescape(m.group(4)) + (m.group(5) or "") if m.group(2) else None
        args.append(string if m.group(2) else int(m.group(1), 16))
        i += m.end() + 1  # past the comma
    return args


def unescape(text):
    out, i = bytearray(), 0
    named = {"n": 10, "r": 13, "t": 9, "\\": 92, '"': 34, "a": 7, "b": 8, "f": 12, "v": 11}
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            n = text[i + 1]
            if n == "x":
                out.append(int(text[i + 2:i + 4], 16))
                i += 4
                continue
            if n.isdigit():
                j = i + 1
                while j < len(text) and j < i + 4 and text[j] in "01234567":
                    j += 1
                out.append(int(text[i + 1:j], 8))
                i = j
                continue
            out.append(named.get(n, ord(n)))
            i += 2
            continue
        out.extend(c.encode("latin-1", "replace"))
        i += 1
    return out.decode("cp1252", "replace")


def program_calls(relay, watched, image, is_first_call):
    """The watched calls made from the program's own image (`image` is its
    address range), with their results. Only the thread of the first call
    that `is_first_call` accepts is followed: Wine's own services may write
    to the same channel."""
    calls, pending, thread = [], {}, None
    low, high = image
    for line in relay.splitlines():
        m = CALL.match(line)
        if m and m.group(3) in watched and low <= int(m.group(5), 16) < high:
            args = parse_args(m.group(4))
            if thread is None and is_first_call(m.group(3), args):
                thread = m.group(1)
            if m.group(1) != thread:
                continue
            call = Call(m.group(3), args)
            pending[(m.group(1), m.group(3), int(m.group(5), 16))] = call
            calls.append(call)
            continue
        m = RET.match(line)
        if m:
            call = pending.pop((m.group(1), m.group(3), int(m.group(5), 16)), None)
            if call:
                call.result = int(m.group(4), 16)
    return calls
