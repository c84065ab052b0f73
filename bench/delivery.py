"""Delivery benchmarks of the real program under Wine, with the device emulator and the sink.

Prints each figure beside the limit it chases:
  (a) delivery latency, device's last byte to the sink's last character, over many short bursts;
  (b) typing rate of a 1000-unit burst in keyboard mode, and whether every unit arrived; again with
      LayoutKeys=1, the characters typed as the keyboard layout's keys;
  (c) the same burst in clipboard mode.
The idle cost and the start-up time are measured beside the floor program by bench/floor.py.
"""

from __future__ import annotations

import os
import statistics
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "e2e"))
from wine_env import WineSession, wait_until  # noqa: E402

BURSTS = int(os.environ.get("BENCH_BURSTS", "60"))
BIG = int(os.environ.get("BENCH_UNITS", "1000"))


def percentile(values: list[float], p: float) -> float:
    ordered = sorted(values)
    k = (len(ordered) - 1) * p
    lo, hi = int(k), min(int(k) + 1, len(ordered) - 1)
    return ordered[lo] + (ordered[hi] - ordered[lo]) * (k - lo)


def big_burst() -> str:
    alphabet = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
    return "".join(alphabet[i % len(alphabet)] for i in range(BIG))


def char_events(sink, since: int) -> list[tuple[float, str]]:
    return [(t, chr(int(d.split()[0][2:], 16))) for t, e, d in sink.events()[since:] if e == "char"]


def connect(session: WineSession, clipboard: bool = False, layout_keys: bool = False):
    session.reset()
    if clipboard:
        session.write_settings({"Settings": {"ClipboardMode": "1", "KeyboardMode": "0"}})
    if layout_keys:
        session.write_settings({"Settings": {"LayoutKeys": "1"}})
    device = session.emulator("COM5")
    sink = session.sink(light=True)
    session.start_monitor()
    session.wait_log("VOR-TIKA détecté et connecté sur COM5", 120)
    sink.foreground()
    return device, sink


def latency(session: WineSession) -> None:
    device, sink = connect(session)
    results = []
    unit_count = 0
    for i in range(BURSTS):
        text = f"B{i:03d}wxyz"  # 8 units, then the CR option's Enter: 9 typed units
        unit_count = len(text) + 1
        before = len(sink.events())
        # Vary the moment of sending against the 100 ms poll.
        time.sleep((i * 37 % 100) / 1000.0)
        sent = device.send(text)
        got = wait_until(lambda: [e for e in char_events(sink, before) if e[1] == "\r"], 30,
                         interval=0.02, what=f"burst {i}")
        chars = "".join(c for _, c in char_events(sink, before))
        if chars != text + "\r":
            print(f"   burst {i}: expected {text!r}+Enter, sink got {chars!r}")
        results.append(got[0][0] - sent)
    limit_hi = 400 + unit_count
    print(f"(a) delivery latency, last byte written by the device to last key in the sink, {BURSTS} bursts "
          f"of {unit_count} typed units:")
    print(f"    min {min(results):.0f} ms, median {statistics.median(results):.0f} ms, "
          f"p99 {percentile(results, 0.99):.0f} ms, max {max(results):.0f} ms"
          f"   (limit: 200 to about {limit_hi} ms = 200-400 ms + 1 ms per typed unit)")
    within = sum(1 for r in results if r <= limit_hi)
    print(f"    {within}/{len(results)} bursts within {limit_hi} ms")


def typing_rate(session: WineSession, layout_keys: bool = False) -> None:
    device, sink = connect(session, layout_keys=layout_keys)
    text = big_burst()
    before = len(sink.events())
    sent = device.send(text)
    wait_until(lambda: [e for e in char_events(sink, before) if e[1] == "\r"], 120, interval=0.1,
               what="the end of the 1000-unit burst")
    events = char_events(sink, before)
    chars = "".join(c for _, c in events)
    typed = [t for t, c in events if c != "\r"]
    span = (typed[-1] - typed[0]) / 1000.0 if len(typed) > 1 else 0.0
    rate = (len(typed) - 1) / span if span > 0 else float("inf")
    label = "(b) keyboard mode" if not layout_keys else "(b) keyboard mode with LayoutKeys=1 (the layout's keys)"
    print(f"{label}, one burst of {len(text)} units: {rate:.0f} units/s (limit about 1000 units/s); "
          f"{len(typed)}/{len(text)} arrived, {'all in order' if chars == text + chr(13) else 'NOT all in order'}; "
          f"last byte to last key {events[-1][0] - sent:.0f} ms "
          f"(reading {len(text)} bytes takes {-(-len(text) // 255)} polls of 255 bytes, 100 ms apart)")


def clipboard(session: WineSession) -> None:
    device, sink = connect(session, clipboard=True)
    text = big_burst()
    before = len(sink.events())
    sent = device.send(text)
    wait_until(lambda: [e for e in sink.events()[before:] if e[1] == "paste"], 120, interval=0.05,
               what="the paste")
    paste = next(e for e in sink.events()[before:] if e[1] == "paste")
    wait_until(lambda: [e for e in char_events(sink, before) if e[1] == "\r"], 60, interval=0.05,
               what="the Enter key after the paste")
    enter = [e for e in char_events(sink, before) if e[1] == "\r"][0]
    from wine_env import unescape
    ok = unescape(paste[2]) == text
    print(f"(c) clipboard mode, the same {len(text)}-unit burst: pasted {'intact' if ok else 'NOT intact'}; "
          f"last byte to paste {paste[0] - sent:.0f} ms, to the Enter key after it {enter[0] - sent:.0f} ms "
          f"(limit 200 to about 400 ms after the poll that read the last chunk; the {len(text)} bytes take "
          f"{-(-len(text) // 255)} polls of 255 bytes, 100 ms apart)")


def main() -> None:
    session = WineSession().start()
    try:
        latency(session)
        typing_rate(session)
        typing_rate(session, layout_keys=True)
        clipboard(session)
    finally:
        session.stop()


if __name__ == "__main__":
    main()
