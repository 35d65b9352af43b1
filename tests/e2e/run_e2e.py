#!/usr/bin/env python3
"""End-to-end proof of Tonvane on the real Win32 API under Wine.

Each scenario sets up the registry of one fresh Wine prefix, runs
tonvane.exe with a command line under Wine's relay channel, and
checks the exit status, every message box, every registry call the program
makes, and the registry afterwards as `wine reg query` reads it. The same
arguments are then given to build/native/tonvane on a copy of the same
registry files, which must end with the same messages, status and values.

The exe is build/win32/tonvane.exe under 32-bit Wine where the host runs
32-bit code, else build/win64/tonvane.exe under 64-bit Wine (wine_host.py).
"""

import difflib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass

from relay import program_calls, signed
from wine_host import MEDIA, MIDIMAP, REGISTRY_FILES, ROOT, choose_hosts

NATIVE = os.path.join(ROOT, "build", "native", "tonvane")
INVALID = "Invalid Option on command line."
FAILED = "Attempt to redirect MIDI stream failed."
NO_MEDIA = "Error opening Registry for MEDIA"
USAGE = re.compile(
    r"Tonvane v1\.0 by Caldreth [A-Z][a-z]{2} [ 1-3][0-9] [0-9]{4} [0-2][0-9]:[0-5][0-9]:[0-6][0-9]\n"
    r"USAGE:\nTonvane <Driver>\n"
    r"Where <Driver> is the driver name you want the MIDI stream to flow to\.\n\Z")
KEY_READ, KEY_SET_VALUE = 0x20019, 0x2
OLD = ("old<9999>", 1)  # the MIDI mapper values every set-up starts with


# Registry set-ups: the instances of the MEDIA class, each with the MIDI
# driver keys it holds; None for no class key at all.
STANDARD = {"0000": [], "0001": ["other"], "0002": ["fmsynth"], "0003": ["fmsynth"]}
SETUPS = {
    "standard": STANDARD,
    "upper-case driver": {"0000": [], "0002": ["FMSYNTH"]},
    # Wine lists subkeys by their lower-case names: "_" (0x5F) before "z",
    # though after "Z".
    "order": {"aZb": ["fmsynth"], "a_b": ["fmsynth"]},
    "no class key": None,
    "empty class": {},
    "deep driver": {"0000": [r"bank\fm"]},
    # The platform opens subkey paths of at most 260 characters: below a
    # four-character instance that leaves 196 for the driver name.
    "long driver": {"0000": ["d" * 196, "e" * 197, "f" * 200 + "\\" + "f" * 227]},
    # As the names arrive through Wine's command line: a quote escaped with a
    # backslash (which then separates keys), a tab inside the quotes Wine adds.
    "odd driver": {"0000": ['say\\"hi\\"[x]'], "0001": ["caf\u00e9"], "0002": ['"a\tb"']},
}


@dataclass
class Scenario:
    what: str
    args: list            # as typed after the program's name
    tail: str             # the command tail the program receives
    boxes: list           # texts, "USAGE" for the usage text
    status: int
    value: object = None  # CurrentInstrument afterwards; None: unchanged
    setup: str = "standard"
    midimap: bool = True  # whether the MIDI mapper key exists


S = Scenario
LONGEST = "f" * 200 + "\\" + "f" * 227  # a probe path of exactly 511 characters
SCENARIOS = [
    S("no arguments: usage", [], "", ["USAGE"], 1),
    S("help option", ["-?"], "-?", ["USAGE"], 1),
    S("help option with a slash", ["/?"], "/?", ["USAGE"], 1),
    S("help option after a name: no redirect", ["fmsynth", "-?"], "fmsynth -?", ["USAGE"], 1),
    S("anything after the question mark", ["-?fmsynth"], "-?fmsynth", ["USAGE"], 1),
    S("help after an invalid option", ["-x", "/?"], "-x /?", [INVALID, "USAGE"], 1),
    S("driver found: first instance holding it wins", ["fmsynth"], "fmsynth", [], 1,
      "fmsynth<0002>"),
    S("letter case: the caller's driver, the registry's instance", ["fmsynth"], "fmsynth", [], 1,
      "fmsynth<0002>", "upper-case driver"),
    S("instances in the registry's order: lower-case names", ["fmsynth"], "fmsynth", [], 1,
      "fmsynth<a_b>", "order"),
    S("driver not found", ["nothere"], "nothere", [FAILED], 0),
    S("class key missing: two boxes", ["fmsynth"], "fmsynth", [NO_MEDIA, FAILED], 0,
      setup="no class key"),
    S("class without instances", ["fmsynth"], "fmsynth", [FAILED], 0, setup="empty class"),
    S("MIDI mapper key missing: not created, the run fails", ["fmsynth"], "fmsynth", [FAILED], 0,
      midimap=False),
    S("invalid option: the rest becomes the name", ["-fmsynth"], "-fmsynth", [INVALID], 1,
      "fmsynth<0002>"),
    S("two marks: two messages", ["-/fmsynth"], "-/fmsynth", [INVALID, INVALID], 1,
      "fmsynth<0002>"),
    S("question mark not directly after the mark", ["-", "?"], "- ?", [INVALID, FAILED], 0),
    S("mark at the end", ["fmsynth", "-"], "fmsynth -", [INVALID], 1, "fmsynth<0002>"),
    S("two marks at the end", ["fmsynth", "--"], "fmsynth --", [INVALID, INVALID], 1,
      "fmsynth<0002>"),
    S("only marks: empty name refused", ["-", "/", "-"], "- / -", [INVALID] * 3 + [FAILED], 0),
    S("mark inside the name is part of it", ["fm-synth"], "fm-synth", [FAILED], 0),
    S("second word is stepped over", ["fmsynth", "second"], "fmsynth second", [], 1,
      "fmsynth<0002>"),
    S("rest of an invalid option after the name is stepped over", ["fmsynth", "-bad"],
      "fmsynth -bad", [INVALID], 1, "fmsynth<0002>"),
    S("quotes are part of the name", ["fm synth"], '"fm synth"', [FAILED], 0),
    S("a tab makes Wine quote the word", ["fm\tsynth"], '"fm\tsynth"', [FAILED], 0),
    S("backslashes reach a deeper key", ["bank\\fm"], "bank\\fm", [], 1, "bank\\fm<0000>",
      "deep driver"),
    S("196 characters: the longest the platform opens", ["d" * 196], "d" * 196, [], 1,
      "d" * 196 + "<0000>", "long driver"),
    S("197 characters: the platform refuses the path", ["e" * 197], "e" * 197, [FAILED], 0,
      setup="long driver"),
    S("428 characters: fits the program, not the platform", [LONGEST], LONGEST, [FAILED], 0,
      setup="long driver"),
    S("511 characters: taken, but no probe path fits", ["n" * 511], "n" * 511, [FAILED], 0),
    S("512 characters: not taken, no registry access", ["n" * 512], "n" * 512, [FAILED], 0),
    S("quotes, backslashes and brackets are stored as data", ['say"hi"[x]'],
      'say\\"hi\\"[x]', [], 1, 'say\\"hi\\"[x]<0000>', "odd driver"),
    S("a tab and the quotes around it are stored as data", ["a\tb"], '"a\tb"', [], 1,
      '"a\tb"<0002>', "odd driver"),
    S("non-ASCII name in the ANSI code page", ["caf\u00e9"], "caf\u00e9", [], 1,
      "caf\u00e9<0001>", "odd driver"),
]


def run(cmd, env, **kwargs):
    return subprocess.run(cmd, env=env, stdin=subprocess.DEVNULL, **kwargs)


def quiet(cmd, env):
    run(cmd, env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)


def stop_server(host, prefix):
    """Stops the prefix's wineserver, which saves the registry files."""
    run(["wineserver", "-k"], host.env(prefix), stderr=subprocess.DEVNULL)
    run(["wineserver", "-w"], host.env(prefix), stderr=subprocess.DEVNULL)


def start_server(host, prefix):
    """A server and its services, with their output away from our pipes."""
    quiet(host.command("reg", "query", r"HKEY_LOCAL_MACHINE\Software"), host.env(prefix))


def write_setup(path, scenario):
    instances = SETUPS[scenario.setup]
    lines = ["REGEDIT4", "", f"[-{MEDIA}]", f"[-{MIDIMAP}]", ""]
    if instances is not None:
        lines.append(f"[{MEDIA}]")
        for instance, drivers in instances.items():
            lines.append(f"[{MEDIA}\\{instance}]")
            for driver in drivers:
                lines.append(f"[{MEDIA}\\{instance}\\Drivers\\midi\\{driver}]")
    if scenario.midimap:
        lines += [f"[{MIDIMAP}]", f'"CurrentInstrument"="{OLD[0]}"',
                  f'"Autoscheme"=dword:{OLD[1]:08x}']
    with open(path, "w", encoding="cp1252") as f:
        f.write("\n".join(lines) + "\n")


def query_midimap(host, prefix):
    """The two values as real Wine reads them back; None where missing."""
    out = run(host.command("reg", "query", MIDIMAP), host.env(prefix), capture_output=True)
    text = out.stdout.decode("cp437")  # reg writes to a pipe in the OEM code page
    values = {}
    for line in text.splitlines():
        m = re.match(r"^\s+(\S+)\s+(REG_\w+)\s+(.*)$", line)
        if m:
            values[m.group(1).lower()] = m.group(3)
    current = values.get("currentinstrument")
    auto = values.get("autoscheme")
    return current, int(auto, 16) if auto is not None else None


# ---- the program's own calls ------------------------------------------------

WATCHED = {"MessageBoxA", "RegOpenKeyExA", "RegEnumKeyA", "RegSetValueExA", "RegCloseKey"}


def is_first_call(function, args):
    """The program's first watched call is a message box or the open of the
    class key; Wine's own services, whose output may land here too, start
    otherwise."""
    return function == "MessageBoxA" or (
        function == "RegOpenKeyExA" and args[1] == MEDIA.split("\\", 1)[1])


ROOTS = {signed(0x80000002, 32): "HKEY_LOCAL_MACHINE", signed(0x80000003, 32): "HKEY_USERS"}


def check_calls(calls, bits, errors):
    """The call contracts every run must keep."""
    opened, closes, enum_key, next_index = [], [], None, 0
    for c in calls:
        if c.function == "MessageBoxA":
            owner, _, title, style = c.args
            if owner != 0 or title != "Tonvane" or style != 0:
                errors.append(f"message box arguments {c.args}")
        elif c.function == "RegOpenKeyExA":
            parent, subkey, options, access, _ = c.args
            root = ROOTS.get(signed(parent, bits), hex(parent))
            want = KEY_READ if root == "HKEY_LOCAL_MACHINE" else KEY_SET_VALUE
            if options != 0 or access != want:
                errors.append(f"RegOpenKeyExA({root}\\{subkey}) options {options} access {access:#x}")
            if c.result == 0:
                opened.append(subkey)
        elif c.function == "RegEnumKeyA":
            key, index, _, size = c.args
            if size != 260 or index != next_index or (enum_key not in (None, key)):
                errors.append(f"RegEnumKeyA({key:#x}, {index}, size {size})")
            enum_key, next_index = key, index + 1
        elif c.function == "RegSetValueExA":
            _, name, reserved, kind, _, size = c.args
            if reserved != 0 or (name, kind) not in (("CurrentInstrument", 1), ("Autoscheme", 4)):
                errors.append(f"RegSetValueExA {name} type {kind}")
            if name == "Autoscheme" and size != 4:
                errors.append(f"Autoscheme size {size}")
        elif c.function == "RegCloseKey":
            closes.append(c.args[0])
    if len(opened) != len(closes):
        errors.append(f"{len(opened)} keys opened, {len(closes)} closed")
    if enum_key is not None and (not closes or closes[-1] != enum_key):
        errors.append("the class key is not the last one closed")
    return opened


def value_size_ok(calls, value):
    for c in calls:
        if c.function == "RegSetValueExA" and c.args[1] == "CurrentInstrument":
            return c.args[5] == len(value.encode("cp1252")) + 1
    return True


# ---- one scenario -------------------------------------------------------------

def boxes_match(texts, expected):
    if len(texts) != len(expected):
        return False
    return all(USAGE.match(t) if e == "USAGE" else t == e for t, e in zip(texts, expected))


def expected_values(s):
    if not s.midimap:
        return (None, None)
    return (s.value, 0) if s.value is not None else OLD


SNAPSHOTS = {}


def put_files(folder, files):
    """Writes registry files (name: bytes) into a prefix folder."""
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


def set_up(host, s, prefix, work):
    """Resets the registry to the scenario's set-up; returns its files as
    Wine saved them, for the Linux build."""
    setup = os.path.join(work, "setup.reg")
    write_setup(setup, s)
    quiet(host.command("reg", "import", setup), host.env(prefix))
    key = (host.arch, s.setup, s.midimap)
    if key not in SNAPSHOTS:
        stop_server(host, prefix)  # the server saves the files as it stops
        SNAPSHOTS[key] = {n: open(os.path.join(prefix, n), "rb").read()
                          for n in REGISTRY_FILES}
        start_server(host, prefix)
    return SNAPSHOTS[key]


# Two builds carry different build stamps; everything else must be equal.
STAMP = re.compile(r"[A-Z][a-z]{2} [ 1-3][0-9] [0-9]{4} [0-2][0-9]:[0-5][0-9]:[0-6][0-9]")


def run_scenario(host, s, prefix, twin, work):
    errors = []
    snapshot = set_up(host, s, prefix, work)

    relay = run(host.command(host.exe, *s.args), host.env(prefix, "+relay"), capture_output=True)
    calls = program_calls(relay.stderr.decode("latin-1"), WATCHED, host.image_range(),
                          is_first_call)
    texts = [c.args[1] for c in calls if c.function == "MessageBoxA"]
    if relay.returncode != s.status:
        errors.append(f"exe exit status {relay.returncode}, expected {s.status}")
    if not boxes_match(texts, s.boxes):
        errors.append(f"exe boxes {texts!r}")
    opened = check_calls(calls, host.bits, errors)
    if s.value is not None and not value_size_ok(calls, s.value):
        errors.append("CurrentInstrument size is not its length plus one")
    probes = [p for p in opened if "\\Drivers\\midi\\" in p]
    if s.status == 1 and s.value is not None and len(probes) != 1:
        errors.append(f"{len(probes)} probes opened")
    after = query_midimap(host, prefix)
    if after != expected_values(s):
        errors.append(f"exe left {after}, expected {expected_values(s)}")

    # The Linux build on the same files, with the same arguments.
    put_files(twin, snapshot)
    native = run([NATIVE] + s.args, dict(os.environ, WINEPREFIX=twin), capture_output=True)
    expected_stderr = "".join(t + "\n" for t in texts)
    native_stderr = native.stderr.decode("cp1252")
    if native.returncode != relay.returncode:
        errors.append(f"native exit status {native.returncode}, exe {relay.returncode}")
    if STAMP.sub("<stamp>", native_stderr) != STAMP.sub("<stamp>", expected_stderr):
        errors.append(f"native told {native_stderr!r}, exe showed {expected_stderr!r}")
    errors += untouched_lines(snapshot, twin)
    if open(os.path.join(twin, "userdef.reg"), "rb").read() == snapshot["userdef.reg"]:
        native_after = OLD if s.midimap else (None, None)  # as Wine saved them
    else:  # what real Wine reads back from the file the Linux build wrote
        native_after = query_midimap(host, twin)
        stop_server(host, twin)
    if native_after != after:
        errors.append(f"native left {native_after}, exe left {after}")
    return errors


def usage_box_for_real(host, prefix, png):
    """Shows the usage box on a virtual display, photographs it, dismisses it
    with the Enter key and returns the errors found."""
    # Without a window manager, Wine draws the box's title bar itself.
    quiet(host.command("reg", "add", r"HKEY_CURRENT_USER\Software\Wine\X11 Driver", "/v",
                       "Managed", "/d", "N", "/f"), host.env(prefix))
    stop_server(host, prefix)  # its desktop was made without a display
    # Xvfb picks a free display and tells its number once it is ready.
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "800x600x24",
                             "-nolisten", "tcp"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    display = ":" + xvfb.stdout.readline().decode().strip()
    errors = []
    try:
        shown = dict(host.env(prefix), DISPLAY=display)
        exe = subprocess.Popen(host.command(host.exe), env=shown, stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        window = None
        for _ in range(60):
            found = run(["xdotool", "search", "--name", "^Tonvane$"], shown, capture_output=True)
            if found.stdout.split():
                window = found.stdout.split()[0].decode()
                break
            time.sleep(0.5)
        if window is None:
            errors.append("the usage box never appeared")
            exe.kill()
        else:
            time.sleep(1)  # let it draw
            shape = run(["xdotool", "getwindowgeometry", "--shell", window], shown,
                        capture_output=True).stdout.decode()
            g = dict(line.split("=") for line in shape.split())
            margin = 12
            crop = (f"{int(g['WIDTH']) + 2 * margin}x{int(g['HEIGHT']) + 2 * margin}"
                    f"+{int(g['X']) - margin}+{int(g['Y']) - margin}")
            run(["import", "-window", "root", "-crop", crop, "+repage", png], shown, check=True)
            run(["xdotool", "windowfocus", "--sync", window, "key", "Return"], shown)
        try:
            status = exe.wait(timeout=30)
        except subprocess.TimeoutExpired:
            exe.kill()
            status = "none: Enter did not dismiss the box"
        if status != 1:
            errors.append(f"exit status {status} after the box, expected 1")
        stop_server(host, prefix)
    finally:
        xvfb.terminate()
        xvfb.wait()
    return errors


# Hand-made changes to the MIDI mapper's section of a Wine-saved
# userdef.reg, each read by Wine in a way a reader must follow: the Linux
# build's change must be what real Wine reads afterwards, and the value
# "Keep" must survive. Each takes the section's header line and its text.
MIDIMAP_HEADER = re.compile(rb"^\[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Multimedia"
                            rb"\\\\MIDIMap\] \d+\n", re.M)
SUB = rb"[Software\\Microsoft\\Windows\\CurrentVersion\\Multimedia\\MIDIMap\\Sub] 1" + b"\n"
LINE_RULES = {
    "a comment ending in a backslash before a subkey's header":
        lambda header, text: text.replace(header, header + b'"Keep"="1"\n;; note \\\n' + SUB, 1),
    "a dword line ending in a backslash":
        lambda header, text: text.replace(b'"Autoscheme"=dword:00000001\n',
                                          b'"Autoscheme"=dword:00000001\\\n"Keep"="1"\n', 1),
    "CRLF line ends":
        lambda header, text: text.replace(header, header + b'"Keep"="1"\n', 1).replace(b"\n", b"\r\n"),
    "the key's section twice, the later one read":
        lambda header, text: text + b"\n" + header + b'"CurrentInstrument"="later<0>"\n"Keep"="1"\n',
    "a value's line twice, the later one read":
        lambda header, text: text.replace(header, header + b'"CurrentInstrument"="x<1>"\n"Keep"="1"\n', 1),
}


def line_rules_as_wine_reads(host, twin):
    """Returns the failed cases of LINE_RULES."""
    errors = []
    snapshot = SNAPSHOTS[(host.arch, "standard", True)]
    for what, change in LINE_RULES.items():
        text = snapshot["userdef.reg"]
        header = MIDIMAP_HEADER.search(text).group(0)
        files = dict(snapshot, **{"userdef.reg": change(header, text)})
        put_files(twin, files)
        native = run([NATIVE, "fmsynth"], dict(os.environ, WINEPREFIX=twin), capture_output=True)
        after = open(os.path.join(twin, "userdef.reg"), "rb").read()
        read = query_midimap(host, twin)
        keep = run(host.command("reg", "query", MIDIMAP, "/v", "Keep"), host.env(twin),
                   capture_output=True).returncode
        stop_server(host, twin)
        if native.returncode != 1 or read != ("fmsynth<0002>", 0) or keep != 0:
            errors.append(f"{what}: exit status {native.returncode}, Wine reads {read}, "
                          f"Keep {'kept' if keep == 0 else 'lost'}: {native.stderr.decode()!r}")
        if what == "CRLF line ends" and after.replace(b"\r\n", b"").count(b"\n"):
            errors.append(f"{what}: the file no longer ends every line in CRLF")
    return errors


def server_elsewhere_refused(host, twin, work):
    """A wineserver started with another TMPDIR keeps its socket folder away
    from where Wine usually puts it; the Linux build must still find it,
    refuse, and change nothing."""
    errors = []
    snapshot = SNAPSHOTS[(host.arch, "standard", True)]
    put_files(twin, snapshot)
    elsewhere = dict(host.env(twin), TMPDIR=os.path.join(work, "other-tmp"))
    os.makedirs(elsewhere["TMPDIR"], exist_ok=True)
    run(["wineserver", "-p"], elsewhere, check=True)
    try:
        native = run([NATIVE, "fmsynth"], dict(os.environ, WINEPREFIX=twin), capture_output=True)
        told = native.stderr.decode("cp1252")
        if native.returncode != 0 or "a wineserver is running for" not in told:
            errors.append(f"native exit status {native.returncode}, told {told!r}")
        for name, data in snapshot.items():
            if open(os.path.join(twin, name), "rb").read() != data:
                errors.append(f"native changed {name} behind the server's back")
    finally:
        run(["wineserver", "-k"], elsewhere)
        run(["wineserver", "-w"], elsewhere)
    return errors


def untouched_lines(snapshot, twin):
    """The Linux build changes nothing but the two values and the MIDI
    mapper key's time stamps."""
    errors = []
    for name, before in snapshot.items():
        after = open(os.path.join(twin, name), "rb").read()
        if name != "userdef.reg":
            if after != before:
                errors.append(f"native changed {name}")
            continue
        old = before.decode("utf-8").splitlines()
        new = after.decode("utf-8").splitlines()
        for op, i1, i2, j1, j2 in difflib.SequenceMatcher(a=old, b=new).get_opcodes():
            for line in old[i1:i2] + new[j1:j2] if op != "equal" else []:
                if not (line.startswith(('"CurrentInstrument"=', '"Autoscheme"=', "#time="))
                        or re.match(r"^\[Software\\\\.*\\\\MIDIMap\] \d+$", line)):
                    errors.append(f"native changed a line it had no business with: {line!r}")
    return errors


def visible(text, limit=40):
    shown = text.replace("\t", "\\t")
    return shown if len(shown) <= limit else f"{shown[:12]}...({len(text)} chars)"


def make_prefix(host, prefix):
    """A new prefix, its files saved by a stopped server."""
    quiet(host.command("wineboot", "-i"), host.env(prefix))
    stop_server(host, prefix)


def report(line, errors):
    """Prints one check's line and its errors; returns 1 if it failed."""
    print(f"{'ok  ' if not errors else 'FAIL'} {line}")
    for e in errors:
        print(f"       {e}")
    return 1 if errors else 0


def run_suite(host):
    """Every check on one exe under one Wine; returns (passed, failed)."""
    work = tempfile.mkdtemp(prefix="tonvane-e2e.")
    prefix, twin = os.path.join(work, "prefix"), os.path.join(work, "twin")
    try:
        make_prefix(host, prefix)
        shutil.copytree(prefix, twin, symlinks=True)
        roundtrip = run([os.path.join(ROOT, "build", "native", "tonvane_tests"),
                         "--gtest_filter=WineMadeFilesTest.*"],
                        dict(os.environ, TONVANE_WINE_PREFIX=prefix), capture_output=True)
        failed = report("Wine-made registry files read and written back unchanged are "
                        "byte-identical",
                        [] if roundtrip.returncode == 0 else [roundtrip.stdout.decode()[-2000:]])
        start_server(host, prefix)
        print(f"{'scenario':58} {'command tail':28} status  boxes")
        for s in SCENARIOS:
            boxes = ", ".join("usage" if b == "USAGE" else b[:14] for b in s.boxes) or "-"
            failed += report(f"{s.what[:53]:53} {visible(s.tail, 28):28} {s.status}  {boxes}",
                             run_scenario(host, s, prefix, twin, work))
        stop_server(host, prefix)
        failed += report(f"Linux build's changes are what Wine reads: {len(LINE_RULES)} files "
                         f"with lines Wine reads its own way", line_rules_as_wine_reads(host, twin))
        failed += report("Linux build refuses a prefix whose wineserver was started with another "
                         "TMPDIR", server_elsewhere_refused(host, twin, work))
        failed += report("usage box on a real display, dismissed with Enter: status 1",
                         usage_box_for_real(host, prefix, os.path.join(work, "usage-box.png")))
        return len(SCENARIOS) + 4 - failed, failed
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    hosts = choose_hosts()
    if len(sys.argv) == 3 and sys.argv[1] == "--screenshot":
        return screenshot_only(hosts[0], sys.argv[2])
    for tool in [h.exe for h in hosts] + [NATIVE]:
        if not os.path.exists(tool):
            sys.exit(f"missing {tool}: build the native and "
                     f"{' and '.join(h.arch for h in hosts)} presets first")
    results = []
    for host in hosts:
        print(f"e2e: {host.describe()}: {host.why}")
        started = time.monotonic()
        passed, failed = run_suite(host)
        results.append((host, passed, failed, time.monotonic() - started))
    print()
    for host, passed, failed, seconds in results:
        print(f"e2e on {host.describe()}, as {host.why}: "
              f"{passed} passed, {failed} failed in {seconds:.0f} s")
    return 1 if any(failed for _, _, failed, _ in results) else 0


def screenshot_only(host, png):
    work = tempfile.mkdtemp(prefix="tonvane-shot.")
    try:
        prefix = os.path.join(work, "prefix")
        make_prefix(host, prefix)
        errors = usage_box_for_real(host, prefix, os.path.abspath(png))
        for e in errors:
            print(e)
        return 1 if errors else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
