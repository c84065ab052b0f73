"""The Wine side of the end-to-end tests: a headless X server, one Wine prefix, the monitor, the
device emulator and the helper programs.

A prefix costs about 12 s and 700 MB, so one is made per test run (``python3 wine_env.py
make-prefix N``, run by CTest as a fixture), copied for each of the N workers that run tests side by
side, and brought back to a clean state before every test. A test runs in the prefix of the worker
CTest gave it (its "wine" resource), with an X server and a persistent wine server of its own
(``WineSession``).

Everything started here is stopped again, also when a test fails: processes are tracked by the
session and ended by their own ids.
"""

from __future__ import annotations

import datetime
import glob
import os
import queue
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
SOURCE_DIR = Path(os.environ.get("VORTIKA_SOURCE_DIR", HERE.parent.parent)).resolve()
HOST_BUILD = Path(os.environ.get("VORTIKA_HOST_BUILD", SOURCE_DIR / "build" / "host")).resolve()
WINDOWS_BUILD = Path(os.environ.get("VORTIKA_WINDOWS_BUILD", SOURCE_DIR / "build" / "windows")).resolve()


def worker_prefix(worker: int) -> Path:
    return HOST_BUILD / ("e2e-prefix" if worker == 0 else f"e2e-prefix-{worker}")


def _worker() -> int:
    """The worker CTest allotted to this test ("id:N,slots:1" of its "wine" resource); 0 outside it."""
    m = re.match(r"id:(\d+)", os.environ.get("CTEST_RESOURCE_GROUP_0_WINE", ""))
    return int(m[1]) if m else 0


PREFIX = Path(os.environ.get("VORTIKA_E2E_PREFIX", worker_prefix(_worker()))).resolve()
RELEASE_DIR = SOURCE_DIR / "build" / "release"

MONITOR_EXE = WINDOWS_BUILD / "VORTikaMonitor.exe"
WCTL_EXE = WINDOWS_BUILD / "tools" / "wctl.exe"
SINK_EXE = WINDOWS_BUILD / "tools" / "sink.exe"
EMULATOR = HOST_BUILD / "tools" / "vortika_emulator"
# Preloaded into the monitor's process: the first use of one pty blocks (tools/linux/slow_tty.c).
SLOW_TTY_LIB = HOST_BUILD / "tools" / "libslow_tty.so"

REG_LINE = re.compile(r"^ {4}(.+?) {4}(REG_\w+) {4}(.*)$")  # a value in reg query's output
SERIALCOMM = r"HKLM\HARDWARE\DEVICEMAP\SERIALCOMM"
EMULATOR_VALUE_PREFIX = "\\Device\\VorTika"  # the emulator's values under SERIALCOMM

# What the setup program writes (installer/VORTikaMonitor.nsi), and the other folder the install tests
# use; the reset removes all of it.
INSTALL_DIR = r"C:\Program Files\VOR-TIKA Monitor"
OTHER_INSTALL_DIR = r"C:\Autre dossier"
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\VORTikaMonitor"
RUN_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Run"
RUN_VALUE = "VOR-TIKA Monitor"
EVENT_SOURCE_KEY = r"HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\VOR-TIKA Monitor"
SHORTCUT = r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs\VOR-TIKA Monitor.lnk"
# What the Windows Installer package (installer/VORTikaMonitor.wxs) adds: the folder its tests install
# to, Windows Installer's own registration and cached packages, and the shortcut, which Wine puts in
# the user's Start menu.
MSI_INSTALL_DIR = r"C:\Program Files\VORTIKA-MSI"
MSI_REFUSED_DIR = r"C:\VORTIKA-MSI"  # outside Program Files
UNINSTALL_ROOT = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
INSTALLER_KEYS = (r"HKLM\Software\Microsoft\Windows\CurrentVersion\Installer\UserData",
                  r"HKLM\Software\Microsoft\Windows\CurrentVersion\Installer\UpgradeCodes",
                  r"HKLM\Software\Classes\Installer", r"HKLM\Software\VORTIKA", r"HKLM\Software\VOR-TIKA Monitor")
USER_SHORTCUTS = "users/*/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/VOR-TIKA Monitor.lnk"
STAMP = ".vortika-prefix-ready"

# Menu commands and control ids of the main window (ui/shell_ids.h).
MENU_ACTIVER, MENU_AFFICHER, MENU_QUITTER = 101, 102, 103
BTN_CONNECT, BTN_DISCONNECT = 201, 202
CHK_LF = 211
LBL_STATUS = 214

LOG_LINE = re.compile(r"^(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d) - (.*)$")


def log(msg: str) -> None:
    print(f"[e2e {time.strftime('%H:%M:%S')}] {msg}", file=sys.stderr, flush=True)


def wait_until(condition, timeout: float, interval: float = 0.1, what: str = "condition"):
    """Polls condition() until it returns something true; returns that value or raises."""
    started = time.monotonic()
    end = started + timeout
    while True:
        value = condition()
        if value:
            if time.monotonic() - started >= 2:
                log(f"waited {time.monotonic() - started:.1f} s for {what}")
            return value
        if time.monotonic() >= end:
            raise TimeoutError(f"timed out after {timeout:.0f} s waiting for {what}")
        time.sleep(interval)


def reported_events(output: str) -> list[tuple[int, int, list[str]]]:
    """(type, id, strings) of each ReportEventW call in Wine's debug output: the fixme line gives the
    type and id, the eventlog lines after it each string (trace for information, warn for a warning,
    err for an error)."""
    events = []
    for line in output.splitlines():
        call = re.search(r"ReportEventW \(\w+,0x(\w{4}),0x\w{4},0x(\w{8}),", line)
        if call:
            events.append((int(call[1], 16), int(call[2], 16), []))
            continue
        string = re.search(r":eventlog:ReportEventW L\"(.*)\"$", line)
        if string and events:
            events[-1][2].append(re.sub(r"\\([0-9a-f]{4}|.)", lambda m: chr(int(m[1], 16)) if len(m[1]) == 4
                                        else {"n": "\n", "r": "\r", "t": "\t"}.get(m[1], m[1]), string[1]))
    return events


class Xvfb:
    """A headless X server on a display it picks itself (-displayfd), so that runs never collide."""

    extra_args: tuple[str, ...] = ()

    def __init__(self, width: int = 1024, height: int = 768):
        self.width, self.height = width, height
        self.proc: subprocess.Popen | None = None
        self.display = ""

    def start(self) -> str:
        read_fd, write_fd = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", f"{self.width}x{self.height}x24",
             "-nolisten", "tcp", *self.extra_args],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            start_new_session=True)
        os.close(write_fd)
        data = b""
        with os.fdopen(read_fd, "rb") as pipe:
            while not data.endswith(b"\n"):
                chunk = pipe.read(1)
                if not chunk:
                    break
                data += chunk
        if not data.strip():
            self.stop()
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + data.decode().strip()
        return self.display

    def stop(self) -> None:
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.proc = None


def wine_env(prefix: Path, display: str = "") -> dict:
    env = dict(os.environ)
    env.update(WINEPREFIX=str(prefix), WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d",
               LC_ALL="C.UTF-8")
    if display:
        env["DISPLAY"] = display
    return env


def make_prefix(prefix: Path = PREFIX) -> None:
    """Creates a fresh prefix with the fonts and the shared virtual desktop."""
    started = time.monotonic()
    if prefix.exists():
        subprocess.run(["wineserver", "-k"], env=wine_env(prefix), stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
        shutil.rmtree(prefix)
    prefix.parent.mkdir(parents=True, exist_ok=True)
    xvfb = Xvfb()
    display = xvfb.start()
    env = wine_env(prefix, display)
    try:
        subprocess.run(["wineboot", "-i"], env=env, check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=600)
        subprocess.run(["wineserver", "-w"], env=env, timeout=600)
        fonts = prefix / "drive_c" / "windows" / "Fonts"
        fonts.mkdir(parents=True, exist_ok=True)
        for ttf in glob.glob("/usr/share/wine/fonts/*.ttf"):
            shutil.copy(ttf, fonts)
        for key, name, data in ((r"HKCU\Software\Wine\Explorer", "Desktop", "ci"),
                                (r"HKCU\Software\Wine\Explorer\Desktops", "ci", "1024x768")):
            subprocess.run(["wine", "reg", "add", key, "/v", name, "/d", data, "/f"], env=env, check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
        # -k writes the registry to disk.
        subprocess.run(["wineserver", "-k"], env=env, timeout=60)
        subprocess.run(["wineserver", "-w"], env=env, timeout=60)
    finally:
        xvfb.stop()
    (prefix / STAMP).write_text("ok\n")
    log(f"prefix ready in {time.monotonic() - started:.1f} s: {prefix}")


def copy_prefix(source: Path, dest: Path) -> None:
    """A worker's own prefix: a copy of a ready one (about 2 s)."""
    started = time.monotonic()
    if dest.exists():
        subprocess.run(["wineserver", "-k"], env=wine_env(dest), stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
        release_immutable(dest / "drive_c" / "ProgramData")
        shutil.rmtree(dest)
    subprocess.run(["cp", "-a", str(source), str(dest)], check=True, timeout=600)
    log(f"prefix copied in {time.monotonic() - started:.1f} s: {dest}")


def make_prefixes(workers: int) -> None:
    """The prefix, and a copy of it for each further worker."""
    make_prefix(PREFIX)
    for worker in range(1, workers):
        copy_prefix(PREFIX, worker_prefix(worker))


def require(path: Path, what: str = "build the host and windows presets first") -> Path:
    if not path.exists():
        raise RuntimeError(f"missing {path}: {what}")
    return path


def release_immutable(folder: Path) -> None:
    """Clears the immutable flag (chattr +i) from every file under folder."""
    if not shutil.which("chattr"):
        return
    files = [str(p) for p in folder.rglob("*") if p.is_file()]
    if files:
        subprocess.run(["chattr", "-i", *files], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)


def to_wine_path(path: Path | str) -> str:
    """The Windows name of a Unix path (Wine maps / as Z:)."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


class Emulator:
    """A running vortika_emulator; its status lines are collected by a reader thread."""

    def __init__(self, session: "WineSession", port: str, *options: str, record: Path | None = None):
        self.port = port
        self.record = record or session.tmp / f"emulator-{port}.rec"
        args = [str(EMULATOR), "--prefix", str(session.prefix), "--port", port, "--record", str(self.record),
                *options]
        self.proc = subprocess.Popen(args, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.STDOUT, env=session.env, text=True, bufsize=1,
                                     start_new_session=True)
        self.lines: list[str] = []
        self._cond = threading.Condition()
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()
        ready = self.wait_line(r"^ready (\S+)", 60)
        self.pty = ready.split()[1]

    def _read(self) -> None:
        for line in self.proc.stdout:
            with self._cond:
                self.lines.append(line.rstrip("\n"))
                self._cond.notify_all()
        with self._cond:
            self._cond.notify_all()

    def command(self, line: str) -> None:
        self.proc.stdin.write(line + "\n")
        self.proc.stdin.flush()

    def wait_line(self, pattern: str, timeout: float, start: int = 0) -> str:
        """Waits for a status line matching pattern among lines[start:]; returns it."""
        rx = re.compile(pattern)
        end = time.monotonic() + timeout
        with self._cond:
            while True:
                for line in self.lines[start:]:
                    if rx.search(line):
                        return line
                remaining = end - time.monotonic()
                if remaining <= 0 or (self.proc.poll() is not None and not self._reader.is_alive()):
                    raise TimeoutError(f"emulator {self.port}: no line /{pattern}/ within {timeout} s; "
                                       f"got {self.lines[-10:]}")
                self._cond.wait(min(remaining, 0.5))

    def mark(self) -> int:
        with self._cond:
            return len(self.lines)

    def send(self, text: str, timeout: float = 30) -> float:
        """Sends text (control-protocol escapes allowed); returns the wall-clock ms of its last byte."""
        start = self.mark()
        self.command("send " + text)
        line = self.wait_line(r"^sent ", timeout, start)
        return float(line.split()[3])

    def received(self) -> bytes:
        """Every byte the monitor wrote to the device so far, from the record file."""
        data = b""
        if self.record.exists():
            for line in self.record.read_text().splitlines():
                hex_part = line.split("|", 1)[0].split()[2:]
                data += bytes(int(h, 16) for h in hex_part)
        return data

    def status(self) -> dict:
        start = self.mark()
        self.command("status")
        line = self.wait_line(r"^status ", 30, start)
        return dict(item.split("=", 1) for item in line.split()[1:])

    def stop(self) -> None:
        if self.proc.poll() is None:
            try:
                self.command("quit")
                self.proc.stdin.close()
            except (BrokenPipeError, OSError):
                pass
            try:
                self.proc.wait(30)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self._reader.join(5)
        for stream in (self.proc.stdin, self.proc.stdout):
            try:
                stream.close()
            except OSError:
                pass


class Sink:
    """The sink window and its record of received keys and pastes."""

    def __init__(self, session: "WineSession", name: str = "sink", light: bool = False, busy_after_enter_ms: int = 0,
                 refuse_pastes: int = 0):
        self.session = session
        self.record = session.tmp / f"{name}.rec"
        if self.record.exists():
            self.record.unlink()
        argv = [str(SINK_EXE), to_wine_path(self.record)] + (["--light"] if light else [])
        if busy_after_enter_ms:
            argv += ["--busy-after-enter", str(busy_after_enter_ms)]
        if refuse_pastes:
            argv += ["--refuse-pastes", str(refuse_pastes)]
        self.proc = session.spawn(argv, f"{name}.out")
        wait_until(lambda: " ready " in self.text(), 60, what="the sink window")
        session.wctl("wait-window", "VorTikaSink", "30")

    def text(self) -> str:
        try:
            return self.record.read_text(encoding="utf-8", errors="replace")
        except FileNotFoundError:
            return ""

    def events(self) -> list[tuple[float, str, str]]:
        """(wall-clock ms, event, details) for every recorded event."""
        out = []
        for line in self.text().splitlines():
            parts = line.split(" ", 4)
            if len(parts) >= 4:
                out.append((float(parts[2]), parts[3], parts[4] if len(parts) > 4 else ""))
        return out

    def chars(self) -> str:
        """The characters that arrived as WM_CHAR, in order (Enter is '\\r')."""
        return "".join(chr(int(d.split()[0][2:], 16)) for _, e, d in self.events() if e == "char")

    def pastes(self) -> list[str]:
        return [unescape(d) for _, e, d in self.events() if e == "paste"]

    def keydowns(self) -> list[tuple[int, int]]:
        """(virtual key, scan code) of every WM_KEYDOWN, in order."""
        out = []
        for _, e, d in self.events():
            if e == "keydown":
                fields = dict(f.split("=", 1) for f in d.split())
                out.append((int(fields["VK"], 16), int(fields["SC"], 16)))
        return out

    def foreground(self) -> None:
        self.session.wctl("foreground", "VorTikaSink")
        wait_until(lambda: self.session.wctl("foreground-class", check=False).strip() == "VorTikaSink", 30,
                   interval=0.3, what="the sink in front")

    def stop(self) -> None:
        if self.proc.poll() is None:
            self.session.wctl("close", "VorTikaSink", check=False)
            try:
                self.proc.wait(20)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


class WctlServer:
    """``wctl serve``: requests on its standard input, answers on its standard output, each ended by
    a line holding \\x1e and the exit code."""

    def __init__(self, session: "WineSession"):
        self.proc = subprocess.Popen(["wine", str(WCTL_EXE), "serve"], env=session.env, stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, cwd=session.tmp)
        self.lines: queue.Queue = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self) -> None:
        for line in self.proc.stdout:
            self.lines.put(line.decode("utf-8", "replace"))
        self.lines.put(None)

    def call(self, args: list[str], timeout: float) -> tuple[int, str]:
        try:
            self.proc.stdin.write(("\t".join(args) + "\n").encode("utf-8"))
            self.proc.stdin.flush()
        except OSError as error:
            self.stop()
            raise RuntimeError(f"wctl serve ended before {args}") from error
        out = []
        end = time.monotonic() + timeout
        while True:
            try:
                line = self.lines.get(timeout=max(0.0, end - time.monotonic()))
            except queue.Empty:
                self.stop()
                raise subprocess.TimeoutExpired(["wctl", *args], timeout) from None
            if line is None:
                self.stop()
                raise RuntimeError(f"wctl serve ended during {args}: {''.join(out)}")
            if line.startswith("\x1e"):
                return int(line[1:]), "".join(out)
            out.append(line)

    def stop(self) -> None:
        if self.proc.poll() is None:
            self.proc.kill()
        try:
            self.proc.wait(10)
        except subprocess.TimeoutExpired:
            pass
        for stream in (self.proc.stdin, self.proc.stdout):
            try:
                stream.close()
            except OSError:
                pass


def unescape(text: str) -> str:
    return re.sub(r"\\(u[0-9A-Fa-f]{4}|.)",
                  lambda m: {"r": "\r", "n": "\n", "t": "\t", "\\": "\\"}.get(m.group(1), "")
                  or chr(int(m.group(1)[1:], 16)), text)


class WineSession:
    """One X server, one persistent wine server and the processes of the tests that use them."""

    def __init__(self, prefix: Path = PREFIX):
        self.prefix = prefix
        self.xvfb = Xvfb()
        self.wineserver: subprocess.Popen | None = None
        self.env: dict = {}
        self.procs: list[subprocess.Popen] = []
        self.emulators: list[Emulator] = []
        self.sinks: list[Sink] = []
        self.monitor: subprocess.Popen | None = None
        self.tmp = Path(tempfile.mkdtemp(prefix="vortika-e2e-"))
        self._out_files = []
        self._wctl: WctlServer | None = None
        self.fresh = False  # reset and untouched since

    # ---- life cycle -------------------------------------------------------------------------

    def start(self) -> "WineSession":
        for path in (MONITOR_EXE, WCTL_EXE, SINK_EXE, EMULATOR):
            require(path)
        if not (self.prefix / STAMP).exists():
            make_prefix(self.prefix)
        display = self.xvfb.start()
        self.env = wine_env(self.prefix, display)
        try:
            log(f"wine session on {display}, prefix {self.prefix}, files in {self.tmp}")
            self.reset()
        except BaseException:
            self.stop()
            raise
        return self

    def _stop_server(self) -> None:
        if self._wctl is not None:
            self._wctl.stop()
            self._wctl = None
        # -k also writes the registry to disk and ends every Windows process of the prefix.
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
        if self.wineserver is not None:
            try:
                self.wineserver.wait(30)
            except subprocess.TimeoutExpired:
                self.wineserver.kill()
                self.wineserver.wait()
            self.wineserver = None

    def _start_server(self) -> None:
        with open(self.tmp / "wineserver.log", "ab") as server_log:
            self.wineserver = subprocess.Popen(["wineserver", "-p", "-f"], env=self.env,
                                               stdout=subprocess.DEVNULL, stderr=server_log,
                                               start_new_session=True)
        # The first program brings up the prefix's services and the desktop. Their mount manager
        # lists the machine's own serial lines (COM1 for /dev/ttyS0) a moment later: wait for that
        # before removing them, or they come back behind the reset's back.
        self.reg("query", r"HKCU\Software\Wine\Explorer")
        if glob.glob("/dev/ttyS[0-9]*"):
            try:
                wait_until(self.serial_values, 30, interval=0.3, what="the mount manager's serial ports")
            except TimeoutError:
                pass

    def reset(self) -> None:
        """Back to a clean state: no test process, a fresh wine server (so a fresh desktop and
        notification area, and volatile registry values gone), no data folder, no serial port, no
        installed program."""
        self.stop_processes()
        installed = self._installed_paths()
        packages = self._cached_packages()
        if installed or packages:
            # The registry is the running server's: cleaned before it stops.
            self.reg("delete", RUN_KEY, "/v", RUN_VALUE, "/f")
            self.reg("delete", UNINSTALL_KEY, "/f")
            self.reg("delete", EVENT_SOURCE_KEY, "/f")
        if packages:
            for key in self.package_entries():
                self.reg("delete", key, "/f")
            for key in INSTALLER_KEYS:
                self.reg("delete", key, "/f")
        self._stop_server()
        # The uninstaller leaves itself to be deleted at the next start of the prefix: wineboot may
        # remove it while this runs.
        for path in packages:
            path.unlink(missing_ok=True)
        for path in installed:
            if path.is_dir():
                shutil.rmtree(path, ignore_errors=True)
            else:
                path.unlink(missing_ok=True)
        data = self.data_dir()
        # What the setup moved aside, and a file a test put in the data folder's place.
        for path in [*data.parent.glob(data.name + ".*"), data]:
            if path.is_file():
                path.unlink()
            elif path.is_dir() and path != data:
                shutil.rmtree(path)
        if data.exists():
            # A test that staged a refused write may have left a file immutable.
            release_immutable(data)
            shutil.rmtree(data)
        for link in glob.glob(str(self.prefix / "dosdevices" / "com*")):
            os.unlink(link)
        self._start_server()
        for _ in range(5):
            names = self.serial_values()
            if not names:
                break
            for name in names:
                self.reg("delete", SERIALCOMM, "/v", name, "/f")
        else:
            raise RuntimeError(f"serial ports still listed after reset: {self.serial_values()}")
        for link in glob.glob(str(self.prefix / "dosdevices" / "com*")):
            os.unlink(link)
        self.fresh = True

    def unix_path(self, windows_path: str) -> Path:
        """The prefix's file behind a C: path."""
        assert windows_path[:3].upper() == "C:\\", windows_path
        return self.prefix / "drive_c" / Path(*windows_path[3:].split("\\"))

    def _installed_paths(self) -> list[Path]:
        paths = (self.unix_path(p) for p in (INSTALL_DIR, OTHER_INSTALL_DIR, MSI_INSTALL_DIR, MSI_REFUSED_DIR, SHORTCUT))
        return [p for p in paths if p.exists()] + sorted(self.prefix.joinpath("drive_c").glob(USER_SHORTCUTS))

    def shortcuts(self) -> list[Path]:
        """The program's Start menu shortcuts: for all users, and the user's own."""
        common = self.unix_path(SHORTCUT)
        return ([common] if common.exists() else []) + sorted(self.prefix.joinpath("drive_c").glob(USER_SHORTCUTS))

    def package_entries(self) -> list[str]:
        """The Programs and Features entries of the program that Windows Installer made (under the
        package's product code)."""
        keys = []
        for line in self.reg("query", UNINSTALL_ROOT).splitlines():
            m = re.fullmatch(r"HKEY_LOCAL_MACHINE(\\.*\\\{[0-9A-F-]{36}\})", line.strip())
            if m and "VOR-TIKA Monitor" in self.reg("query", "HKLM" + m[1], "/v", "DisplayName"):
                keys.append("HKLM" + m[1])
        return keys

    def _cached_packages(self) -> list[Path]:
        """The packages Windows Installer keeps for their removal: one per installed product."""
        return sorted((self.prefix / "drive_c" / "windows" / "Installer").glob("*.msi"))

    def stop_processes(self) -> None:
        if self.monitor is not None and self.monitor.poll() is None:
            # A graceful end first: the quit command of the tray menu.
            self.wctl("menu", str(MENU_QUITTER), check=False)
            try:
                self.monitor.wait(15)
            except subprocess.TimeoutExpired:
                pass
        for sink in self.sinks:
            sink.stop()
        self.sinks.clear()
        for emulator in self.emulators:
            emulator.stop()
        self.emulators.clear()
        for proc in self.procs:
            if proc.poll() is None:
                proc.kill()
            try:
                proc.wait(10)
            except subprocess.TimeoutExpired:
                pass
        self.procs.clear()
        self.monitor = None
        for f in self._out_files:
            f.close()
        self._out_files.clear()

    def stop(self) -> None:
        try:
            self.stop_processes()
        finally:
            if self.env:
                self._stop_server()
            self.xvfb.stop()
            if os.environ.get("VORTIKA_E2E_KEEP") != "1":
                shutil.rmtree(self.tmp, ignore_errors=True)

    # ---- running programs ---------------------------------------------------------------------

    def spawn(self, argv: list[str], out_name: str, extra_env: dict | None = None) -> subprocess.Popen:
        out = open(self.tmp / out_name, "wb")
        self._out_files.append(out)
        env = {**self.env, **(extra_env or {})}
        proc = subprocess.Popen(["wine", *argv], env=env, stdin=subprocess.DEVNULL, stdout=out,
                                stderr=subprocess.STDOUT, cwd=self.tmp)
        self.procs.append(proc)
        return proc

    def run(self, argv: list[str], timeout: float = 120) -> subprocess.CompletedProcess:
        """Runs a Windows program to its end. Its output goes through a file, not a pipe: a program
        that starts the prefix's services passes its standard handles on to them, and a pipe would
        then never reach its end."""
        with tempfile.TemporaryFile(dir=self.tmp) as out:
            proc = subprocess.Popen(["wine", *argv], env=self.env, stdin=subprocess.DEVNULL, stdout=out,
                                    stderr=subprocess.DEVNULL, cwd=self.tmp)
            started = time.monotonic()
            try:
                rc = proc.wait(timeout)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
                raise
            if time.monotonic() - started >= 2:
                log(f"{time.monotonic() - started:.1f} s: {' '.join(argv)}")
            out.seek(0)
            return subprocess.CompletedProcess(argv, rc, out.read(), b"")

    def reg(self, *args: str) -> str:
        result = self.run(["reg", *args])
        return result.stdout.decode("utf-8", "replace").replace("\r\n", "\n")

    def wctl(self, *args: str, check: bool = True, timeout: float = 120) -> str:
        # Wine gives a process the work area of the moment it first asks: a fresh process for it.
        if args[:1] == ("work-area",) or any("\t" in a or "\n" in a for a in args):
            result = self.run([str(WCTL_EXE), *args], timeout=timeout)
            returncode, out = result.returncode, result.stdout.decode("utf-8", "replace")
        else:
            returncode, out = self._wctl_server().call(list(args), timeout)
        if check and returncode != 0:
            raise RuntimeError(f"wctl {' '.join(args)} failed ({returncode}): {out.strip()}")
        return out

    def _wctl_server(self) -> "WctlServer":
        """One wctl for a test's many requests (a Wine process costs about 0.1 s of CPU to start);
        started again after the wine server was."""
        if self._wctl is None or self._wctl.proc.poll() is not None:
            self._wctl = WctlServer(self)
        return self._wctl

    def reg_values(self, key: str) -> dict[str, tuple[str, str]]:
        """The values of a registry key: name -> (type, data); empty when the key is missing."""
        out = {}
        for line in self.reg("query", key).splitlines():
            match = REG_LINE.match(line)
            if match:
                out[match[1]] = (match[2], match[3])
        return out

    def serial_values(self) -> list[str]:
        return list(self.serial_ports())

    def serial_ports(self) -> dict[str, str]:
        """The serial-ports key's values: name -> port."""
        ports = {}
        for line in self.reg("query", SERIALCOMM).splitlines():
            parts = line.split()
            if len(parts) >= 3 and parts[1] == "REG_SZ":
                ports[parts[0]] = parts[2]
        return ports

    def drop_machine_ports(self) -> None:
        """Removes the ports the mount manager listed for the machine's own serial lines, should it
        have listed them after the reset: a test sees only the ports its emulators made."""
        for name, port in self.serial_ports().items():
            if not name.startswith(EMULATOR_VALUE_PREFIX):
                log(f"machine's own serial port listed after the reset: {name} {port}: removed")
                self.reg("delete", SERIALCOMM, "/v", name, "/f")
                (self.prefix / "dosdevices" / port.lower()).unlink(missing_ok=True)

    def windows_processes(self, exe_name: str) -> list[int]:
        """The ids of this prefix's running Windows processes of exe_name, whoever started them (Wine
        shows a process's Windows command line as its own)."""
        pids = []
        for proc in Path("/proc").iterdir():
            try:
                if not proc.name.isdigit():
                    continue
                argv0 = (proc / "cmdline").read_bytes().split(b"\0", 1)[0].decode("utf-8", "replace")
                if not argv0.lower().endswith("\\" + exe_name.lower()):
                    continue
                if f"WINEPREFIX={self.prefix}".encode() in (proc / "environ").read_bytes().split(b"\0"):
                    pids.append(int(proc.name))
            except OSError:
                pass
        return pids

    def emulator(self, port: str, *options: str, record: Path | None = None) -> Emulator:
        emulator = Emulator(self, port, *options, record=record)
        self.emulators.append(emulator)
        return emulator

    def sink(self, name: str = "sink", light: bool = False, busy_after_enter_ms: int = 0,
             refuse_pastes: int = 0) -> Sink:
        sink = Sink(self, name, light, busy_after_enter_ms, refuse_pastes)
        self.sinks.append(sink)
        return sink

    def xdotool(self, *args: str) -> None:
        """Runs xdotool on this session's display, after giving the X keyboard focus to the Wine
        desktop: after a wine server restart it may be nowhere, and synthetic keys would reach nobody.
        Wine then hands the keys to its foreground window."""
        if not shutil.which("xdotool"):
            raise unittest.SkipTest("no xdotool")
        subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "Wine desktop", "windowfocus", "--sync"],
                       env=self.env, check=True, timeout=60)
        subprocess.run(["xdotool", *args], env=self.env, check=True, timeout=60)

    def open_tray_menu(self) -> None:
        """A right click on the tray icon; returns once the monitor's popup menu is shown."""
        self.wctl("tray-rclick")
        wait_until(lambda: "visible=1" in self.wctl("window-info", "#32768", check=False), 30, what="the tray menu")

    def slow_port_env(self, ptys: str | list[str], ms: int, marks: Path) -> dict:
        """The monitor's environment for ports whose first use blocks ms each (tools/linux/slow_tty.c);
        the library writes when each stall begins and ends to marks."""
        require(SLOW_TTY_LIB, "build the host preset's slow_tty target first")
        chosen = ptys if isinstance(ptys, str) else ",".join(ptys)
        return {"LD_PRELOAD": str(SLOW_TTY_LIB), "VORTIKA_SLOW_TTY": chosen, "VORTIKA_SLOW_TTY_MS": str(ms),
                "VORTIKA_SLOW_TTY_MARK": str(marks)}

    def start_monitor(self, extra_env: dict | None = None) -> subprocess.Popen:
        """Starts the monitor; extra_env goes to its own process only (LD_PRELOAD for instance)."""
        self.drop_machine_ports()
        self.monitor = self.spawn([str(MONITOR_EXE)], "monitor.out", extra_env)
        return self.monitor

    def start_monitor_with_events(self):
        """The monitor with the eventlog channel on; returns the events reported so far."""
        env = self.env
        self.env = dict(env, WINEDEBUG="-all,+eventlog,fixme+advapi")
        try:
            self.start_monitor()
        finally:
            self.env = env
        return lambda: reported_events((self.tmp / "monitor.out").read_bytes().decode("utf-8", "replace"))

    def ping_monitor(self, max_ms: int = 1500) -> bool:
        """Whether the monitor's window handles a WM_NULL sent to it within max_ms."""
        return self.wctl("ping", "TForm1", str(max_ms), check=False).startswith("answered")

    def wait_monitor_window(self, timeout: float = 60) -> None:
        self.wctl("wait-window", "TForm1", str(timeout), timeout=timeout + 30)

    def quit_monitor(self, timeout: float = 60) -> None:
        """Ends the monitor through its tray menu and waits until its window and process are gone."""
        self.wctl("menu", str(MENU_QUITTER))
        self.wctl("wait-gone", "TForm1", str(timeout), timeout=timeout + 30)
        if self.monitor is not None:
            self.monitor.wait(timeout)
            self.monitor = None

    # ---- the monitor's files ------------------------------------------------------------------

    def data_dir(self) -> Path:
        return self.prefix / "drive_c" / "ProgramData" / "VORTIKA"

    def settings_path(self) -> Path:
        return self.data_dir() / "VORTikaMonitor.ini"

    def write_settings(self, sections: dict[str, dict[str, str]]) -> None:
        """Writes a settings file as a user would, in code page 1252 with CR LF."""
        lines = []
        for section, values in sections.items():
            lines.append(f"[{section}]")
            lines += [f"{k}={v}" for k, v in values.items()]
        self.data_dir().mkdir(parents=True, exist_ok=True)
        self.settings_path().write_bytes(("\r\n".join(lines) + "\r\n").encode("cp1252"))

    def read_settings(self) -> dict[str, dict[str, str]]:
        sections: dict[str, dict[str, str]] = {}
        current = None
        if not self.settings_path().exists():
            return sections
        for line in self.settings_path().read_bytes().decode("cp1252").splitlines():
            line = line.strip()
            if line.startswith("[") and line.endswith("]"):
                current = sections.setdefault(line[1:-1], {})
            elif "=" in line and current is not None:
                key, value = line.split("=", 1)
                current[key.strip()] = value.strip()
        return sections

    def log_files(self) -> list[Path]:
        return sorted((self.data_dir() / "logs").glob("VORTikaMonitor_*.log"))

    def today_log(self) -> Path:
        return self.data_dir() / "logs" / f"VORTikaMonitor_{datetime.date.today():%Y-%m-%d}.log"

    def log_bytes(self) -> bytes:
        return b"".join(p.read_bytes() for p in self.log_files())

    def log_text(self) -> str:
        """The whole activity log (every day's file, in order), decoded from code page 1252."""
        return self.log_bytes().decode("cp1252")

    def log_messages(self) -> list[str]:
        """The logged messages without their time stamps; a message holding CR or LF keeps them."""
        messages: list[str] = []
        text = self.log_text() if self.data_dir().exists() else ""
        if text.endswith("\r\n"):
            text = text[:-2]
        for piece in text.split("\r\n") if text else []:
            m = LOG_LINE.match(piece)
            if m:
                messages.append(m.group(2))
            elif messages:
                messages[-1] += "\r\n" + piece
        return messages

    def wait_log(self, text: str, timeout: float = 60, count: int = 1) -> str:
        """Waits until the log holds text (at least count times); returns the whole log."""
        def found():
            log_text = self.log_text() if self.data_dir().exists() else ""
            return log_text if log_text.count(text) >= count else ""
        try:
            return wait_until(found, timeout, what=f"log line {text!r}")
        except TimeoutError:
            tail = "\n".join(self.log_text().splitlines()[-25:]) if self.log_files() else "(no log)"
            raise TimeoutError(f"no {text!r} in the log within {timeout} s; log ends with:\n{tail}") from None


class MonitorTestCase(unittest.TestCase):
    """One wine session per test class; a clean prefix state before every test, and every process
    a test started ended after it, whatever the outcome."""

    session: WineSession

    @classmethod
    def setUpClass(cls) -> None:
        cls.session = WineSession().start()

    @classmethod
    def tearDownClass(cls) -> None:
        cls.session.stop()

    def setUp(self) -> None:
        # A session just started is clean already: each test runs in a process of its own.
        if not self.session.fresh:
            self.session.reset()
        self.session.fresh = False
        self.addCleanup(self.session.stop_processes)

    def assertInOrder(self, messages: list[str], expected: list[str]) -> None:
        """Each expected message appears among messages, in this order (others may come between)."""
        at = 0
        for want in expected:
            try:
                at = messages.index(want, at) + 1
            except ValueError:
                self.fail(f"{want!r} missing after position {at} in the log:\n" + "\n".join(messages))


if __name__ == "__main__":
    if sys.argv[1:2] == ["make-prefix"] and len(sys.argv) <= 3:
        make_prefixes(int(sys.argv[2]) if len(sys.argv) == 3 else 1)
    else:
        print("usage: wine_env.py make-prefix [workers]", file=sys.stderr)
        sys.exit(2)
