"""The monitor beside the floor: the same figures for VORTikaMonitor.exe and for tools/win32/floor.cpp,
the least a tray program of the same design can cost, on one desktop, with one device emulator.

  (d) idle while connected and quiet: CPU of the program's Wine process and of the wine server, and
      the program's resident memory;
  (e) start-up: from the launch to the first line in the program's log.

The machine is shared with other builds, so the two programs are measured in alternation: each round
watches the wine server with neither program running, then launches one program and then the other
(the order swaps every round), each alone on the desktop; a launch gives one start-up time, then the
program connects, settles, and is watched for its share of the idle time before it is ended.
Each figure is printed beside the floor's, with the ratio and the goal it chases.
"""

from __future__ import annotations

import datetime
import os
import statistics
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "e2e"))
from wine_env import MENU_QUITTER, MONITOR_EXE, WINDOWS_BUILD, WineSession, to_wine_path, wait_until  # noqa: E402

# Idle time per program, shared out over the rounds; one launch of each program per round.
IDLE_SECONDS = float(os.environ.get("BENCH_IDLE_SECONDS", "30"))
ROUNDS = max(1, int(os.environ.get("BENCH_LAUNCHES", "5")))
# Time for the start-up's after-effects (detection, first watch tick) to pass before measuring.
SETTLE_SECONDS = 4.0

FLOOR_EXE = WINDOWS_BUILD / "tools" / "floor.exe"
FLOOR_CLASS = "VorTikaFloor"
PORT = "COM5"
MONITOR_STARTED = "VOR-TIKA Monitor démarré - Version 1.0".encode("cp1252")
MONITOR_CONNECTED = f"VOR-TIKA détecté et connecté sur {PORT}".encode("cp1252")
FLOOR_STARTED = b"floor started"

GOALS = {"cpu": 1.1, "memory": 1.2, "startup": 1.3}

HZ = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid: int) -> float:
    """User and system time of a Linux process so far."""
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / HZ


def run_seconds(pid: int) -> float:
    """Seconds on a CPU of every thread of a Linux process so far, as the scheduler counts them in
    nanoseconds (/proc/PID/task/*/schedstat): far finer than the 10 ms ticks of /proc/PID/stat, of
    which a quiet program collects only a few in 30 s."""
    total = 0
    for task in Path(f"/proc/{pid}/task").iterdir():
        try:
            total += int((task / "schedstat").read_text().split()[0])
        except (FileNotFoundError, ProcessLookupError, IndexError, ValueError):
            pass  # a thread that ended meanwhile
    return total / 1e9


def status_kb(pid: int, key: str) -> int:
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith(key + ":"):
            return int(line.split()[1])
    return 0


class Program:
    """One of the two programs: how to start it, to see its first log line, and to end it."""

    def __init__(self, session: WineSession, name: str):
        self.session, self.name = session, name
        self.proc = None

    def log_path(self) -> Path:
        raise NotImplementedError

    def start(self):
        raise NotImplementedError

    def started_line(self) -> bytes:
        raise NotImplementedError

    def wait_steady(self, seen_from: int) -> None:
        """Returns once the program is connected and has nothing left of its start-up to do."""

    def quit(self) -> None:
        raise NotImplementedError

    def log_size(self) -> int:
        try:
            return self.log_path().stat().st_size
        except FileNotFoundError:
            return 0

    def log_since(self, offset: int) -> bytes:
        try:
            with open(self.log_path(), "rb") as f:
                f.seek(offset)
                return f.read()
        except FileNotFoundError:
            return b""

    def launch(self, server_pid: int) -> dict:
        """Starts the program and waits for its first log line; returns the ms from the launch to
        that line, and the CPU seconds that the program's process and the wine server spent meanwhile
        (the process's count starts with the wine loader that becomes it)."""
        offset = self.log_size()
        line = self.started_line()
        server_before = run_seconds(server_pid)
        started = time.monotonic()
        self.start()
        size = offset
        while True:
            now = time.monotonic()
            current = self.log_size()
            if current != size:
                size = current
                if line in self.log_since(offset):
                    break
            if now - started > 60:
                raise TimeoutError(f"{self.name}: no first log line within 60 s")
            time.sleep(0.002)
        result = {"ms": (now - started) * 1000.0, "cpu_ms": run_seconds(self.proc.pid) * 1000.0,
                  "server_ms": (run_seconds(server_pid) - server_before) * 1000.0}
        self.wait_steady(offset)
        return result


class Monitor(Program):
    def log_path(self) -> Path:
        return self.session.data_dir() / "logs" / f"VORTikaMonitor_{datetime.date.today():%Y-%m-%d}.log"

    def start(self):
        self.proc = self.session.start_monitor()

    def started_line(self) -> bytes:
        return MONITOR_STARTED

    def wait_steady(self, seen_from: int) -> None:
        wait_until(lambda: MONITOR_CONNECTED in self.log_since(seen_from), 120, interval=0.05,
                   what=f"the monitor connected on {PORT}")

    def quit(self) -> None:
        self.session.wctl("menu", str(MENU_QUITTER))
        self.proc.wait(60)
        self.session.monitor = None


class Floor(Program):
    def log_path(self) -> Path:
        return self.session.tmp / "floor.log"

    def start(self):
        self.proc = self.session.spawn([str(FLOOR_EXE), PORT, to_wine_path(self.log_path())], "floor.out")

    def started_line(self) -> bytes:
        return FLOOR_STARTED

    def quit(self) -> None:
        self.session.wctl("close", FLOOR_CLASS)
        self.proc.wait(60)


def idle(server_pid: int, pid: int | None, seconds: float) -> dict:
    """CPU over some seconds of the program (when there is one) and of the wine server, by both
    counts; then the program's memory."""
    pids = {"server": server_pid, **({"own": pid} if pid else {})}
    start = time.monotonic()
    before = {name: (cpu_seconds(p), run_seconds(p)) for name, p in pids.items()}
    time.sleep(seconds)
    after = {name: (cpu_seconds(p), run_seconds(p)) for name, p in pids.items()}
    result = {"elapsed": time.monotonic() - start}
    for name in pids:
        result[name + "_stat"] = after[name][0] - before[name][0]
        result[name + "_sched"] = after[name][1] - before[name][1]
    if pid:
        for key in ("VmRSS", "RssAnon", "RssFile"):
            result[key] = status_kb(pid, key) / 1024.0
    return result


def per_hour(slices: list[dict], key: str) -> float:
    """CPU seconds per hour over all the slices together."""
    return sum(s[key] for s in slices) * 3600.0 / sum(s["elapsed"] for s in slices)


def row(label: str, monitor: float, floor: float, unit: str, goal: float | None = None) -> str:
    ratio = f"{monitor / floor:5.2f}x" if floor > 0 else "    -"
    goal_text = f"  (goal: within {goal}x)" if goal else ""
    return f"    {label:<34} {monitor:8.1f} {unit:<6} {floor:8.1f} {unit:<6} {ratio}{goal_text}"


def measure() -> tuple[dict, dict, list]:
    session = WineSession().start()
    try:
        session.emulator(PORT)
        server_pid = session.wineserver.pid
        programs = [Monitor(session, "monitor"), Floor(session, "floor")]
        launches = {"monitor": [], "floor": []}
        slices = {"monitor": [], "floor": []}
        neither = []
        share = IDLE_SECONDS / ROUNDS
        # One launch of each beforehand, not counted: the first start of an .exe in a session
        # reads it from disk and builds the caches that every later start finds ready.
        for program in programs:
            program.launch(server_pid)
            program.quit()
        for round_index in range(ROUNDS):
            # The previous program's end (its icon leaving the tray, its process going) settles first.
            time.sleep(SETTLE_SECONDS)
            neither.append(idle(server_pid, None, share))
            for program in programs if round_index % 2 == 0 else reversed(programs):
                time.sleep(1.0)
                launches[program.name].append(program.launch(server_pid))
                time.sleep(SETTLE_SECONDS)
                slices[program.name].append(idle(server_pid, program.proc.pid, share))
                program.quit()
        return launches, slices, neither
    finally:
        session.stop()


def main() -> None:
    if not FLOOR_EXE.exists():
        raise RuntimeError(f"missing {FLOOR_EXE}: build the windows preset first")
    launches, slices, neither = measure()
    m, f = slices["monitor"], slices["floor"]
    print(f"(d) idle while connected to the device and quiet, {IDLE_SECONDS:.0f} s each in {ROUNDS} slices, "
          f"one program at a time on one desktop:")
    print(f"    {'':<34} {'monitor':>15} {'floor':>15}  ratio")
    for count, what in (("sched", "time on a CPU (schedstat)"), ("stat", "utime+stime (stat)")):
        print(f"    CPU, {what}:")
        own, floor_own = per_hour(m, "own_" + count), per_hour(f, "own_" + count)
        server, floor_server = per_hour(m, "server_" + count), per_hour(f, "server_" + count)
        base = per_hour(neither, "server_" + count)
        print(row("  the program's Wine process", own, floor_own, "s/h", GOALS["cpu"]))
        print(row("  the wine server", server, floor_server, "s/h", GOALS["cpu"]))
        print(row("    beyond its cost with neither", server - base, floor_server - base, "s/h"))
        print(row("  both", own + server, floor_own + floor_server, "s/h", GOALS["cpu"]))
    print(f"    (the wine server with neither program running: {per_hour(neither, 'server_sched'):.1f} s/h by "
          f"schedstat, {per_hour(neither, 'server_stat'):.1f} s/h by stat)")
    for key, label, goal in (("VmRSS", "resident memory (VmRSS), median", GOALS["memory"]),
                             ("RssAnon", "  anonymous (RssAnon)", None), ("RssFile", "  mapped files (RssFile)", None)):
        print(row(label, statistics.median(s[key] for s in m), statistics.median(s[key] for s in f), "MB", goal))
    print(row(".exe size", MONITOR_EXE.stat().st_size / 1024.0, FLOOR_EXE.stat().st_size / 1024.0, "KB"))

    lm, lf = launches["monitor"], launches["floor"]
    print(f"(e) start-up, from the launch to the first log line, {ROUNDS} launches each (alternating):")
    print(row("median", statistics.median(x["ms"] for x in lm), statistics.median(x["ms"] for x in lf), "ms",
              GOALS["startup"]))
    print(row("fastest", min(x["ms"] for x in lm), min(x["ms"] for x in lf), "ms"))
    print(row("  CPU of the Wine process, median", statistics.median(x["cpu_ms"] for x in lm),
              statistics.median(x["cpu_ms"] for x in lf), "ms"))
    print(row("  CPU of the wine server, median", statistics.median(x["server_ms"] for x in lm),
              statistics.median(x["server_ms"] for x in lf), "ms"))
    each = {name: " ".join(f"{x['ms']:.0f}" for x in runs) for name, runs in launches.items()}
    load = " ".join(Path("/proc/loadavg").read_text().split()[:3])
    print(f"    each launch: monitor {each['monitor']} ms; floor {each['floor']} ms; load average at the end {load}")


if __name__ == "__main__":
    main()
