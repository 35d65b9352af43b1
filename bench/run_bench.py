#!/usr/bin/env python3
"""Times the Linux tonvane against the floor (reading the registry files
with cat) and against tonvane.exe under Wine, on the same registry data:
a Wine-made prefix, and the same prefix with a synthetic system.reg of
100,000 MEDIA instances (over 50 MB), the driver under the last one.

Prints the median wall time and peak memory of each command and the ratios.
The exe and its Wine are chosen as the end-to-end suite chooses them: the
32-bit exe where this host runs 32-bit code, else the 64-bit one.
Usage: bench/run_bench.py [runs]   (build the native and win32/win64 presets first)
"""

import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                                "tests", "e2e"))
from wine_host import MEDIA, MIDIMAP, ROOT, choose_hosts  # noqa: E402

NATIVE = os.path.join(ROOT, "build", "native", "tonvane")
HOST = choose_hosts()[0]
INSTANCES = 100_000
DRIVER = "benchsynth"
SEP = "\\\\"  # a backslash between key names, escaped as in the file


def env(prefix):
    return HOST.env(prefix)


def quiet(cmd, prefix):
    subprocess.run(cmd, env=env(prefix), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=False)


def make_prefix(prefix):
    quiet(HOST.command("wineboot", "-i"), prefix)
    setup = os.path.join(prefix, "setup.reg")
    with open(setup, "w") as f:
        f.write(f"REGEDIT4\n\n[{MEDIA}\\0000\\Drivers\\wave\\wdmaud]\n"
                f"[{MEDIA}\\0001\\Drivers\\midi\\{DRIVER}]\n"
                f"[{MIDIMAP}]\n\"CurrentInstrument\"=\"none<0000>\"\n")
    quiet(HOST.command("reg", "import", setup), prefix)
    quiet(["wineserver", "-k"], prefix)
    quiet(["wineserver", "-w"], prefix)


def grow_system_reg(prefix):
    """Adds 100,000 instances, each with values as a real driver's key has
    them; only the last one holds the driver. They go where Wine itself
    would write them: after the class's other instances, in name order."""
    base = SEP.join(["System", "CurrentControlSet", "Services", "Class", "MEDIA"])
    block = []
    for i in range(INSTANCES):
        name = f"{100000 + i}"
        block.append(f"[{base}{SEP}{name}] 1796900000\n#time=1dd88a0b4f1c000\n"
                     f"\"Driver\"=\"synth{i}.drv\"\n\"DriverDesc\"=\"Synthetic MIDI device {i}\"\n"
                     f"\"MatchingDeviceId\"=\"root\\\\synth{i}\"\n"
                     f"\"ProviderName\"=\"Tonvane benchmark\"\n"
                     f"\"DriverDate\"=\"12-11-2026\"\n\"DriverVersion\"=\"1.0.0.{i}\"\n"
                     f"\"InfPath\"=\"oem{i}.inf\"\n\"InfSection\"=\"Synth_Install\"\n"
                     f"\"Config\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,\\\n"
                     f"  14,15,16,17,18,19,1a,1b,1c,1d,1e,1f\n\n")
        midi = "wave" if i + 1 < INSTANCES else "midi"
        driver = f"synth{i}" if i + 1 < INSTANCES else DRIVER + "2"
        block.append(f"[{base}{SEP}{name}{SEP}Drivers{SEP}{midi}{SEP}{driver}] 1796900000\n"
                     f"#time=1dd88a0b4f1c000\n\"Description\"=\"Synthetic device\"\n\n")
    path = os.path.join(prefix, "system.reg")
    text = open(path).read()
    last = text.rindex(f"\n[{base}{SEP}")
    at = text.index("\n[", last + 1) + 1
    with open(path, "w") as f:
        f.write(text[:at] + "".join(block) + text[at:])


def paired(floor_cmd, cmd, prefix, runs):
    """Runs the floor and the command in turn, `runs` pairs after a warm-up
    pair: the medians of each one's wall time, the median of the pairs'
    ratios, and the command's largest peak memory (MiB)."""
    floors, walls, ratios, peaks = [], [], [], []
    for i in range(runs + 1):
        floor, _ = timed(floor_cmd, prefix)
        wall, peak = timed(cmd, prefix)
        if i > 0:
            floors.append(floor)
            walls.append(wall)
            ratios.append(wall / floor)
            peaks.append(peak)
    return (statistics.median(floors), statistics.median(walls), statistics.median(ratios),
            max(peaks))


def timed(cmd, prefix):
    start = time.perf_counter()
    out = subprocess.run(["/usr/bin/time", "-f", "%M"] + cmd, env=env(prefix),
                         stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE).stderr.decode().split()
    return time.perf_counter() - start, int(out[-1]) / 1024


def instructions(cmd, prefix):
    """Instructions the command executes, as callgrind counts them (the same
    on a busy machine); None without valgrind."""
    if shutil.which("valgrind") is None:
        return None
    out = subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null"] + cmd,
                         env=env(prefix), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE).stderr.decode()
    counts = [line.split()[-1] for line in out.splitlines() if "Collected :" in line]
    return int(counts[-1]) if counts else None


def bench(label, prefix, driver, runs, wine_runs):
    files = [os.path.join(prefix, n) for n in ("system.reg", "userdef.reg")]
    size = sum(os.path.getsize(f) for f in files) / 2**20
    floor, native, ratio, peak = paired(["cat"] + files, [NATIVE, driver], prefix, runs)
    counted = instructions([NATIVE, driver], prefix)
    print(f"\n{label}: system.reg + userdef.reg = {size:.1f} MiB")
    print(f"| command | median wall | peak memory | instructions |")
    print(f"|---|---|---|---|")
    print(f"| cat system.reg userdef.reg | {floor * 1000:.1f} ms | | |")
    counted_text = f"{counted / 1e6:.1f} M" if counted else "n/a (no valgrind)"
    print(f"| tonvane {driver} | {native * 1000:.1f} ms | {peak:.1f} MiB | {counted_text} |")
    if wine_runs:
        quiet(["wineserver", "-p"], prefix)  # a running server, registry loaded
        quiet(HOST.command("reg", "query", MIDIMAP), prefix)
        wine = statistics.median(timed(HOST.command(HOST.exe, driver), prefix)[0]
                                 for _ in range(wine_runs))
        quiet(["wineserver", "-k"], prefix)
        quiet(["wineserver", "-w"], prefix)
        print(f"| wine tonvane.exe {driver} ({HOST.arch}) | {wine * 1000:.1f} ms | | |")
    print(f"tonvane / cat, median of {runs} pairs: {ratio:.2f}x")


def grow_userdef_reg(prefix, megabytes):
    """One big binary value, as Wine writes it, in a key before the MIDI
    mapper's: every byte of it is read and copied by a change."""
    path = os.path.join(prefix, "userdef.reg")
    text = open(path, "rb").read()
    at = text.index(b"\n[Software\\\\Microsoft") + 1
    row = b"  " + b",".join(b"%02x" % (i % 256) for i in range(25)) + b",\\\n"
    rows = megabytes * 2**20 // len(row)
    big = (b"[Software\\\\Bench] 1796900000\n#time=1dd88a0b4f1c000\n\"Blob\"=hex:00,\\\n" +
           row * rows + b"  00\n\n")
    with open(path, "wb") as f:
        f.write(text[:at] + big + text[at:])


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 5
    print(f"Wine side: {HOST.describe()}: {HOST.why}")
    work = tempfile.mkdtemp(prefix="tonvane-bench.")
    try:
        prefix = os.path.join(work, "prefix")
        make_prefix(prefix)
        bench("Wine-made prefix", prefix, DRIVER, runs, runs)
        grow_system_reg(prefix)
        bench(f"Synthetic: {INSTANCES} MEDIA instances, driver under the last", prefix,
              DRIVER + "2", runs, min(runs, 3))
        grow_userdef_reg(prefix, 300)
        bench("The same with a 300 MiB value in userdef.reg", prefix, DRIVER + "2",
              min(runs, 3), 0)
    finally:
        subprocess.run(["wineserver", "-k"], env=env(os.path.join(work, "prefix")),
                       stderr=subprocess.DEVNULL)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
