"""Which Wine runs which tonvane.exe on this host, and how to call it.

A host that executes 32-bit x86 code runs build/win32/tonvane.exe under
Debian's 32-bit Wine. Some hosts cannot execute 32-bit code at all; there
build/win64/tonvane.exe, the same sources built for x86-64, runs under
Debian's 64-bit Wine. Which one is decided by trying to run the 32-bit Wine
loader, never by guessing. TONVANE_E2E_ARCH=win32, win64 or both forces it.
"""

import os
import struct
import subprocess
from dataclasses import dataclass

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WINE32_LOADER = "/usr/lib/wine/wine"
WINE64_LOADER = "/usr/lib/wine/wine64"
FORCE_VARIABLE = "TONVANE_E2E_ARCH"

MEDIA = r"HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services\Class\MEDIA"
MIDIMAP = r"HKEY_USERS\.Default\Software\Microsoft\Windows\CurrentVersion\Multimedia\MIDIMap"
REGISTRY_FILES = ("system.reg", "userdef.reg", "user.reg")


@dataclass
class WineHost:
    arch: str    # "win32" or "win64"
    bits: int    # the width of the exe's pointers and handles
    exe: str
    loader: str  # the Wine loader that starts a Windows program
    why: str     # how the choice was made

    def command(self, *args):
        """A Windows program (a path, or a name such as reg) under this Wine."""
        return [self.loader, *args]

    def env(self, prefix, debug="-all"):
        env = dict(os.environ, WINEPREFIX=prefix, WINEARCH=self.arch, WINEDEBUG=debug,
                   WINEDLLOVERRIDES="mscoree,mshtml=", LANG="C.UTF-8")
        # Debian's wine script and its helpers pick the 32-bit loader whenever
        # it is installed; the 64-bit one must be named to be used.
        if self.arch == "win64":
            env["WINELOADER"] = self.loader
        else:
            env.pop("WINELOADER", None)
        env.pop("DISPLAY", None)  # with no display a message box returns at once
        return env

    def describe(self):
        return (f"{os.path.relpath(self.exe, ROOT)} under {self.bits}-bit Wine "
                f"({self.loader}, WINEARCH={self.arch})")

    def image_range(self):
        """The addresses the exe's own image occupies, from its PE header."""
        with open(self.exe, "rb") as f:
            data = f.read(4096)
        optional = struct.unpack_from("<I", data, 0x3C)[0] + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        base = (struct.unpack_from("<Q", data, optional + 24)[0] if magic == 0x20B
                else struct.unpack_from("<I", data, optional + 28)[0])
        size = struct.unpack_from("<I", data, optional + 56)[0]
        return base, base + size


def win32_host(why):
    # Debian's wine script, which starts the 32-bit loader.
    return WineHost("win32", 32, os.path.join(ROOT, "build", "win32", "tonvane.exe"), "wine", why)


def win64_host(why):
    return WineHost("win64", 64, os.path.join(ROOT, "build", "win64", "tonvane.exe"),
                    WINE64_LOADER, why)


def why_no_32bit():
    """None when the 32-bit Wine loader runs here, else the reason it does not."""
    try:
        probe = subprocess.run([WINE32_LOADER, "--version"], stdin=subprocess.DEVNULL,
                               capture_output=True, timeout=120)
    except OSError as e:
        return f"{WINE32_LOADER} cannot be executed here: {e.strerror}"
    except subprocess.TimeoutExpired:
        return f"{WINE32_LOADER} --version did not finish in 120 s"
    if probe.returncode != 0:
        said = probe.stderr.decode(errors="replace").strip().splitlines()
        return (f"{WINE32_LOADER} --version exits with status {probe.returncode}"
                + (f": {said[-1]}" if said else ""))
    return None


def choose_hosts():
    """The Wines to run on, each with the reason; raises SystemExit when the
    forced one cannot run here."""
    forced = os.environ.get(FORCE_VARIABLE, "")
    if forced not in ("", "win32", "win64", "both"):
        raise SystemExit(f"{FORCE_VARIABLE}={forced}: expected win32, win64 or both")
    no_32bit = why_no_32bit()
    if forced in ("win32", "both") and no_32bit:
        raise SystemExit(f"{FORCE_VARIABLE}={forced}, but {no_32bit}")
    if forced == "win64":
        return [win64_host(f"{FORCE_VARIABLE}=win64")]
    if forced == "both":
        return [win32_host(f"{FORCE_VARIABLE}=both"), win64_host(f"{FORCE_VARIABLE}=both")]
    if forced == "win32":
        return [win32_host(f"{FORCE_VARIABLE}=win32")]
    if no_32bit:
        return [win64_host(f"this host cannot run 32-bit code ({no_32bit})")]
    return [win32_host(f"this host runs 32-bit code ({WINE32_LOADER} --version ran)")]
