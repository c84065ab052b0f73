"""The tray icon and its menu under Wine: showing and hiding the window, its layout at 96 and 144 DPI,
and disabling the monitor from the menu."""

import re
from collections import Counter
import shutil
import subprocess

from wine_env import HOST_BUILD, LBL_STATUS, MENU_ACTIVER, WCTL_EXE, MonitorTestCase, log, wait_until

ARTIFACTS = HOST_BUILD / "e2e-artifacts"
DESIGNED_CLIENT = (782, 369)
READY = "Aucun VOR-TIKA détecté sur les ports disponibles"

# Control ids (ui/shell_ids.h) and the designed rectangles at 96 DPI (left, top, width, height), in the
# main window's client area, read from the program's own layout table; chkCR and chkLF are given
# relative to the group box's client area.
GROUP_BOX, CHK_CR, CHK_LF = 209, 210, 211


def designed_layout() -> dict[int, tuple[int, int, int, int]]:
    out = subprocess.run([str(HOST_BUILD / "tools" / "print_form_layout")], capture_output=True, text=True,
                         check=True, timeout=60).stdout
    rows = [[int(field) for field in line.split()] for line in out.splitlines() if line.strip()]
    return {row[0]: tuple(row[1:5]) for row in rows}


DESIGNED = designed_layout()

WINDOW_INFO = re.compile(r"visible=(\d) iconic=(\d) rect=(-?\d+),(-?\d+),(-?\d+),(-?\d+) client=(\d+)x(\d+)")
CHILD = re.compile(r"^id=(-?\d+) class=(\S+) parent=(-?\d+) visible=(\d) rect=(-?\d+),(-?\d+),(-?\d+),(-?\d+) text=(.*)$")


def window_info(session, cls: str) -> dict:
    out = session.wctl("window-info", cls)
    m = WINDOW_INFO.search(out)
    if not m:
        raise AssertionError(f"window-info {cls}: {out!r}")
    v = [int(g) for g in m.groups()]
    return {"visible": v[0] == 1, "iconic": v[1] == 1, "rect": tuple(v[2:6]), "client": (v[6], v[7])}


def children(session, cls: str = "TForm1") -> tuple[tuple[int, int], dict[int, dict]]:
    """The client size of the window of cls and its descendants by control id."""
    lines = session.wctl("children", cls).splitlines()
    width, height = (int(n) for n in lines[0].split("=", 1)[1].split(","))
    found = {}
    for line in lines[1:]:
        m = CHILD.match(line.rstrip("\r"))
        if m:
            found[int(m.group(1))] = {"class": m.group(2), "parent": int(m.group(3)), "visible": m.group(4) == "1",
                                      "rect": tuple(int(m.group(i)) for i in range(5, 9)), "text": m.group(9)}
    return (width, height), found


def inside(inner, outer) -> bool:
    return inner[0] >= outer[0] and inner[1] >= outer[1] and inner[2] <= outer[2] and inner[3] <= outer[3]


def overlap(a, b) -> bool:
    return a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3]


def work_area(session) -> tuple[int, int, int, int]:
    """The primary monitor's work area as the system gives it to programs."""
    return tuple(int(n) for n in session.wctl("work-area").strip().split(","))


def taskbar_entries(session) -> list[tuple[int, int, int, int]]:
    """The rectangles of the taskbar's visible window buttons (its children other than Start, which sits
    at the left end); Wine draws their captions itself, so they carry no text."""
    _, buttons = children(session, "Shell_TrayWnd")
    return [b["rect"] for b in buttons.values()
            if b["class"].lower() == "button" and b["visible"] and b["rect"][0] > 0 and b["rect"][2] > b["rect"][0]]


class TrayTest(MonitorTestCase):
    def start_hidden(self) -> None:
        s = self.session
        # Wine's shell may keep the tips of icons of programs that have ended: count them out.
        self.stale_tips = Counter(s.wctl("tray-tips", check=False).splitlines())
        s.start_monitor()
        s.wait_log(READY, 120)
        s.wait_monitor_window()
        wait_until(lambda: not window_info(s, "TForm1")["visible"], 30, what="the hidden main window")

    def own_tips(self) -> Counter:
        """The tips of the notification area that were not there before the monitor started."""
        return Counter(self.session.wctl("tray-tips").splitlines()) - self.stale_tips

    def click_tray(self, visible: bool) -> dict:
        """Clicks the tray icon; returns the main window once shown or hidden and settled (the same on
        two readings): the window is moved, sized and shown in several steps."""
        s = self.session
        s.wctl("tray-click")
        last: dict = {}

        def settled():
            info = window_info(s, "TForm1")
            done = info["visible"] == visible and info == last.get("info")
            last["info"] = info
            return info if done else None
        return wait_until(settled, 30, interval=0.2, what=f"the main window {'shown' if visible else 'hidden'}")

    def screenshot(self, name: str, rect) -> None:
        if not shutil.which("import"):
            log("no ImageMagick: screenshot skipped")
            return
        ARTIFACTS.mkdir(parents=True, exist_ok=True)
        path = ARTIFACTS / name
        cmd = ["import", "-display", self.session.env["DISPLAY"], "-window", "root"]
        left, top, right, bottom = (max(0, rect[0]), max(0, rect[1]), min(self.session.xvfb.width, rect[2]),
                                    min(self.session.xvfb.height, rect[3]))
        if right > left and bottom > top:
            cmd += ["-crop", f"{right - left}x{bottom - top}+{left}+{top}", "+repage"]
        subprocess.run([*cmd, str(path)], check=True, timeout=60)
        self.assertGreater(path.stat().st_size, 0)
        log(f"screenshot {path}")

    def check_layout(self, dpi: int) -> None:
        """Every control lies within the client area, at its designed place scaled to the DPI; the designed
        controls do not overlap one another, and the group box holds chkCR and chkLF."""
        s = self.session
        client, found = children(s)
        client_rect = (0, 0, *client)
        self.assertEqual(set(DESIGNED) - set(found), set(), "controls missing")
        for cid, child in found.items():
            self.assertTrue(child["visible"], (cid, child))
            self.assertTrue(inside(child["rect"], client_rect), f"control {cid} clipped: {child} in {client}")
        tolerance = 2 * dpi // 96 + 1
        box = found[GROUP_BOX]["rect"]
        for cid, (left, top, width, height) in DESIGNED.items():
            if cid in (CHK_CR, CHK_LF):
                # Relative to the group box, whose client area is its whole rectangle.
                left, top = left + DESIGNED[GROUP_BOX][0], top + DESIGNED[GROUP_BOX][1]
            rect = found[cid]["rect"]
            self.assertAlmostEqual(rect[0], left * dpi / 96, delta=tolerance, msg=f"left of {cid}: {rect}")
            self.assertAlmostEqual(rect[1], top * dpi / 96, delta=tolerance, msg=f"top of {cid}: {rect}")
            # A label or a box may be wider than designed when its caption needs it, never narrower.
            self.assertGreaterEqual(rect[2] - rect[0], width * dpi / 96 - tolerance, f"width of {cid}: {rect}")
            self.assertGreaterEqual(rect[3] - rect[1], height * dpi / 96 - tolerance, f"height of {cid}: {rect}")
        for cid in (CHK_CR, CHK_LF):
            self.assertTrue(inside(found[cid]["rect"], box), f"control {cid} outside the group box: {found[cid]}")
        ids = sorted(DESIGNED)
        for i, a in enumerate(ids):
            for b in ids[i + 1:]:
                if GROUP_BOX in (a, b) and {a, b} & {CHK_CR, CHK_LF}:
                    continue
                self.assertFalse(overlap(found[a]["rect"], found[b]["rect"]),
                                 f"controls {a} and {b} overlap: {found[a]['rect']} {found[b]['rect']}")
        self.assertEqual(found[LBL_STATUS]["text"], "Etat: Aucun VOR-TIKA détecté")

    def test_AfterStartUp_NoWindowNoTaskbarEntry_TheTrayIconIsThere(self):
        s = self.session
        self.start_hidden()
        self.assertFalse(window_info(s, "TForm1")["visible"])
        self.assertFalse(window_info(s, "TApplication")["visible"])
        self.assertEqual(taskbar_entries(s), [])
        wait_until(lambda: self.own_tips() == Counter({"VOR-TIKA Monitor - Déconnecté": 1}), 30,
                   what="the tray icon's tip")

    def test_TrayClick_ShowsTheWindowCentredWithTaskbarEntry_SecondClickHidesBoth(self):
        s = self.session
        self.start_hidden()

        shown = self.click_tray(True)
        self.assertEqual(shown["client"], DESIGNED_CLIENT)
        self.assertFalse(shown["iconic"])
        left, top, right, bottom = shown["rect"]
        area = work_area(s)
        self.assertLess(area[3], s.xvfb.height, "the taskbar is not off the work area")
        self.assertAlmostEqual(left - area[0], area[2] - right, delta=1, msg=f"{shown['rect']} in {area}")
        # Wine hands a process the work area of the moment it first asks; the monitor's own icon may bring
        # up the taskbar after that, so the monitor may still centre on the whole screen. Either way the
        # window is centred on one of the two and clear of the taskbar.
        centred_on = [bottom_edge for bottom_edge in (area[3], s.xvfb.height)
                      if abs((top - area[1]) - (bottom_edge - bottom)) <= 1]
        self.assertTrue(centred_on, f"{shown['rect']} not centred in {area}")
        log(f"window centred on a work area ending at y={centred_on[0]}")
        self.assertGreaterEqual(top, area[1])
        self.assertLessEqual(bottom, area[3])
        self.assertTrue(window_info(s, "TApplication")["visible"])
        wait_until(lambda: len(taskbar_entries(s)) == 1, 30, interval=0.3, what="the taskbar entry")
        self.assertEqual(s.wctl("foreground-class").strip(), "TForm1")
        self.check_layout(96)
        self.screenshot("tray-window-96dpi.png", shown["rect"])

        hidden = self.click_tray(False)
        self.assertNotEqual(hidden["rect"][:2], shown["rect"][:2])
        self.assertFalse(window_info(s, "TApplication")["visible"])
        wait_until(lambda: not taskbar_entries(s), 30, interval=0.3, what="the taskbar entry gone")

        # Shown again: centred again, at the same place and size.
        again = self.click_tray(True)
        self.assertEqual(again["client"], DESIGNED_CLIENT)
        self.assertEqual(again["rect"][2] - again["rect"][0], right - left)
        area = work_area(s)
        self.assertAlmostEqual(again["rect"][0] - area[0], area[2] - again["rect"][2], delta=1, msg=f"{again} {area}")
        self.assertAlmostEqual(again["rect"][1] - area[1], area[3] - again["rect"][3], delta=1, msg=f"{again} {area}")

    def test_At144Dpi_TheLayoutScalesAndNoControlIsClipped(self):
        s = self.session
        s.reg("add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t", "REG_DWORD", "/d", "144", "/f")
        self.addCleanup(s.reg, "delete", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/f")
        self.start_hidden()
        shown = self.click_tray(True)
        area = work_area(s)
        # Never above or left of the work area, whatever its size.
        self.assertGreaterEqual(shown["rect"][0], area[0])
        self.assertGreaterEqual(shown["rect"][1], area[1])
        self.screenshot("tray-window-144dpi.png", shown["rect"])
        self.check_layout(144)

    def test_MenuDesactiver_TurnsTheTipToDesactive_LogsAndSavesEnabled0(self):
        s = self.session
        self.start_hidden()
        wait_until(lambda: self.own_tips() == Counter({"VOR-TIKA Monitor - Déconnecté": 1}), 30,
                   what="the tip of the enabled monitor")

        s.wctl("menu", str(MENU_ACTIVER))
        s.wait_log("VOR-TIKA Monitor désactivé", 60)
        wait_until(lambda: s.read_settings().get("Settings", {}).get("Enabled") == "0", 30,
                   what="Enabled=0 in the settings file")
        wait_until(lambda: self.own_tips() == Counter({"VOR-TIKA Monitor - Désactivé": 1}), 30,
                   what="the tip of the disabled monitor")
        self.assertEqual(s.log_messages()[-1], "VOR-TIKA Monitor désactivé")
        self.assertNotIn("Connexion fermée", s.log_messages())

        s.wctl("menu", str(MENU_ACTIVER))
        s.wait_log("VOR-TIKA Monitor activé", 60)
        wait_until(lambda: self.own_tips() == Counter({"VOR-TIKA Monitor - Déconnecté": 1}), 30,
                   what="the tip of the monitor enabled again")
        wait_until(lambda: s.read_settings().get("Settings", {}).get("Enabled") == "1", 30,
                   what="Enabled=1 in the settings file")
        # Enabling starts no search by itself.
        self.assertEqual(s.log_messages().count("Démarrage de la détection automatique du VOR-TIKA"), 1)

        # An icon the taskbar lost is put back by the next change (the shell deletes only an icon
        # that is there).
        s.wctl("tray-delete")
        self.assertNotEqual(s.run([str(WCTL_EXE), "tray-delete"]).returncode, 0)
        s.wctl("menu", str(MENU_ACTIVER))
        s.wait_log("VOR-TIKA Monitor désactivé", 60, count=2)
        wait_until(lambda: s.run([str(WCTL_EXE), "tray-delete"]).returncode == 0, 30, what="the icon added again")


if __name__ == "__main__":
    import unittest
    unittest.main()
