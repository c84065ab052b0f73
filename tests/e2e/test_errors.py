"""Message boxes under Wine: a refused settings write reaches the default error report (from the tray
menu and at shutdown, after the message loop), "Connecter" without any COM port, and the removal of
the connected port while the window is shown."""

import subprocess

from wine_env import BTN_CONNECT, MENU_ACTIVER, MENU_QUITTER, MonitorTestCase, wait_until

READY = "Aucun VOR-TIKA détecté sur les ports disponibles"
TITLE = "VOR-TIKA Monitor"
REFUSED = r"Impossible d'écrire dans C:\ProgramData\VORTIKA\VORTikaMonitor.ini."
REMOVED = "Le périphérique VOR-TIKA a été déconnecté."
WS_DISABLED = 0x08000000


def box_text(session, seconds: float = 30) -> dict:
    """The open message box's caption, text, icon flag and buttons; it stays open."""
    out = session.wctl("box-text", str(seconds), timeout=seconds + 60)
    box = {}
    for line in out.splitlines():
        key, _, value = line.rstrip("\r").partition("=")
        box[key] = value
    box["rect"] = tuple(int(n) for n in box["rect"].split(","))
    return box


def contents(box: dict) -> dict:
    return {k: v for k, v in box.items() if k != "rect"}


def dismiss(session) -> None:
    session.wctl("dismiss-box", "10")
    session.wctl("wait-gone", "#32770", "30", timeout=90)


def box_open(session) -> bool:
    return "timeout" not in session.wctl("wait-window", "#32770", "0", check=False)


def window_style(session, cls: str) -> tuple[bool, int]:
    out = session.wctl("window-info", cls)
    visible = "visible=1" in out
    style = int(out.split("style=", 1)[1].split()[0], 16)
    return visible, style


class ErrorBoxTest(MonitorTestCase):
    def make_immutable(self, path) -> None:
        subprocess.run(["chattr", "+i", str(path)], check=True, timeout=30)
        self.addCleanup(subprocess.run, ["chattr", "-i", str(path)], timeout=30)

    def test_RefusedWrite_TrayToggleShowsTheStopBoxAndTakesEffect_ShutdownShowsItAfterTheLoop(self):
        s = self.session
        s.start_monitor()
        s.wait_log(READY, 120)
        s.wait_monitor_window()

        # A first save by the program itself, then the file cannot be written any more.
        s.wctl("menu", str(MENU_ACTIVER))
        wait_until(lambda: s.read_settings().get("Settings", {}).get("Enabled") == "0", 30, what="Enabled=0")
        s.wctl("menu", str(MENU_ACTIVER))
        wait_until(lambda: s.read_settings().get("Settings", {}).get("Enabled") == "1", 30, what="Enabled=1")
        saved = s.settings_path().read_bytes()
        self.make_immutable(s.settings_path())
        self.assertFalse(box_open(s))

        s.wctl("menu", str(MENU_ACTIVER))
        box = box_text(s)
        self.assertEqual(contents(box), {"caption": TITLE, "text": REFUSED, "icon": "1", "buttons": "OK"})
        # The toggle took effect before the write was refused.
        self.assertEqual(s.log_messages()[-1], "VOR-TIKA Monitor désactivé")
        wait_until(lambda: "VOR-TIKA Monitor - Désactivé" in s.wctl("tray-tips"), 30, what="the disabled tip")
        dismiss(s)

        # The program goes on: the next toggle runs and is refused in the same way.
        s.wctl("menu", str(MENU_ACTIVER))
        self.assertEqual(contents(box_text(s)), {"caption": TITLE, "text": REFUSED, "icon": "1", "buttons": "OK"})
        self.assertEqual(s.log_messages()[-1], "VOR-TIKA Monitor activé")
        dismiss(s)
        self.assertIsNone(s.monitor.poll())

        # Shutdown: the box comes from the destruction handler, once the loop has ended, and the
        # program ends when it is dismissed.
        s.wctl("menu", str(MENU_QUITTER))
        self.assertEqual(contents(box_text(s)), {"caption": TITLE, "text": REFUSED, "icon": "1", "buttons": "OK"})
        self.assertEqual(s.log_messages()[-1], "Surveillance des périphériques désactivée")
        self.assertIsNone(s.monitor.poll())
        dismiss(s)
        s.wctl("wait-gone", "TForm1", "60", timeout=90)
        s.monitor.wait(60)
        s.monitor = None
        self.assertEqual(s.settings_path().read_bytes(), saved)

    def test_FolderAtTheSettingsPath_DefaultsLoaded_EveryWriteRefusedWithTheBox(self):
        s = self.session
        s.settings_path().mkdir(parents=True)
        s.start_monitor()
        # No file: the defaults hold, automatic connection included.
        s.wait_log(READY, 120)
        s.wait_monitor_window()
        self.assertFalse(box_open(s))

        s.wctl("menu", str(MENU_ACTIVER))
        self.assertEqual(contents(box_text(s)), {"caption": TITLE, "text": REFUSED, "icon": "1", "buttons": "OK"})
        self.assertEqual(s.log_messages()[-1], "VOR-TIKA Monitor désactivé")
        dismiss(s)

        s.wctl("menu", str(MENU_QUITTER))
        self.assertEqual(contents(box_text(s)), {"caption": TITLE, "text": REFUSED, "icon": "1", "buttons": "OK"})
        dismiss(s)
        s.wctl("wait-gone", "TForm1", "60", timeout=90)
        s.monitor.wait(60)
        s.monitor = None
        self.assertTrue(s.settings_path().is_dir())
        self.assertEqual(list(s.settings_path().iterdir()), [])

    def test_RefusedWriteAtConnection_BoxShown_DeviceStaysConnected(self):
        s = self.session
        s.write_settings({"Connection": {"Port": "COM5", "BaudRate": "9600"}, "Settings": {"AutoConnect": "1"}})
        written = s.settings_path().read_bytes()
        self.make_immutable(s.settings_path())
        device = s.emulator("COM5")
        s.start_monitor()
        s.wait_log("VOR-TIKA détecté et connecté sur COM5", 120)
        self.assertEqual(contents(box_text(s)), {"caption": TITLE, "text": REFUSED, "icon": "1", "buttons": "OK"})
        # While the box waits, the connection is polled and watched.
        ticks = s.log_messages().count("Debug: Test de connexion réussi")
        s.wait_log("Debug: Test de connexion réussi", 30, count=ticks + 1)
        self.assertIn("VOR-TIKA Monitor - Connecté à COM5", s.wctl("tray-tips"))

        # The device comes and goes while the box waits: each connection is refused its save
        # again, and the same box is not stacked on the one still open.
        for connections in (2, 3):
            device.command("unplug")
            s.wait_log("Connexion fermée", 60, count=connections - 1)
            device.command("replug")
            s.wait_log("VOR-TIKA détecté et connecté sur COM5", 120, count=connections)
        self.assertEqual(s.wctl("count-windows", "#32770").strip(), "1")
        dismiss(s)
        self.assertFalse(box_open(s))
        self.assertNotEqual(device.status()["openers"], "0")

        s.wctl("menu", str(MENU_QUITTER))
        self.assertEqual(contents(box_text(s)), {"caption": TITLE, "text": REFUSED, "icon": "1", "buttons": "OK"})
        self.assertInOrder(s.log_messages(), ["Connexion fermée", "Surveillance des périphériques désactivée"])
        dismiss(s)
        s.wctl("wait-gone", "TForm1", "60", timeout=90)
        s.monitor.wait(60)
        s.monitor = None
        self.assertEqual(s.settings_path().read_bytes(), written)

    def test_ConnectWithoutAnyPort_PlainBoxWithOkOnly_NothingLogged(self):
        s = self.session
        s.start_monitor()
        s.wait_log(READY, 120)
        s.wait_monitor_window()
        s.wctl("tray-click")
        wait_until(lambda: window_style(s, "TForm1")[0], 30, what="the shown window")
        before = s.log_messages()

        s.wctl("click-button", str(BTN_CONNECT))
        box = box_text(s)
        self.assertEqual(contents(box), {"caption": TITLE, "text": "Aucun port COM disponible", "icon": "0",
                                         "buttons": "OK"})
        # Centred on the screen (or on its work area, which leaves out the taskbar at the bottom).
        left, top, right, bottom = box["rect"]
        width, height = s.xvfb.width, s.xvfb.height
        self.assertAlmostEqual(left, width - right, delta=2, msg=box["rect"])
        area_bottom = int(s.wctl("work-area").split(",")[3])
        self.assertTrue(any(abs(top - (edge - bottom)) <= 2 for edge in (height, area_bottom)), box["rect"])
        # The box is modal to the main window.
        self.assertTrue(window_style(s, "TForm1")[1] & WS_DISABLED)
        dismiss(s)
        wait_until(lambda: not window_style(s, "TForm1")[1] & WS_DISABLED, 30, what="the window enabled again")
        self.assertTrue(window_style(s, "TForm1")[0])
        self.assertEqual(s.log_messages(), before)

    def test_ConnectedPortRemovedWhileShown_ModalBox_WatchGoesOnMeanwhile(self):
        s = self.session
        device = s.emulator("COM5")
        s.start_monitor()
        s.wait_log("VOR-TIKA détecté et connecté sur COM5", 120)
        s.wctl("tray-click")
        wait_until(lambda: window_style(s, "TForm1")[0], 30, what="the shown window")

        device.command("unplug")
        device.wait_line(r"^unplugged", 30)
        self.assertEqual(contents(box_text(s, 60)), {"caption": TITLE, "text": REMOVED, "icon": "0", "buttons": "OK"})
        self.assertInOrder(s.log_messages(), [
            "Port COM connecté (COM5) déconnecté - Fermeture automatique",
            "Connexion fermée",
        ])
        wait_until(lambda: device.status()["openers"] == "0", 30, interval=0.5, what="COM5 closed")

        # While the box waits, the watch ticks on: the port coming back starts a search that connects.
        device.command("replug")
        s.wait_log("VOR-TIKA détecté et connecté sur COM5", 90, count=2)
        closed = s.log_messages().index("Connexion fermée")
        s.wait_log("Debug: Test de connexion réussi", 30,
                   count=s.log_messages().count("Debug: Test de connexion réussi") + 1)
        self.assertInOrder(s.log_messages()[closed:], [
            "Changement de périphériques détecté par surveillance",
            "Nouveaux ports détectés (Ancien: 0, Nouveau: 1)",
            "Nouveau(x) port(s) COM détecté(s) - Démarrage de la détection automatique",
            "VOR-TIKA détecté et connecté sur COM5",
            "Debug: Test de connexion réussi",
        ])
        self.assertEqual(box_text(s, 1)["text"], REMOVED)

        dismiss(s)
        wait_until(lambda: not window_style(s, "TForm1")[1] & WS_DISABLED, 30, what="the window enabled again")
        self.assertTrue(window_style(s, "TForm1")[0])
        # Wine's server and the program each hold a descriptor of the open port.
        self.assertNotEqual(device.status()["openers"], "0")
        self.assertIn("VOR-TIKA Monitor - Connecté à COM5", s.wctl("tray-tips"))

    def test_ConnectedPortRemovedWhileHidden_Balloon_NoBox(self):
        s = self.session
        device = s.emulator("COM5")
        s.start_monitor()
        s.wait_log("VOR-TIKA détecté et connecté sur COM5", 120)
        wait_until(lambda: "visible=0" in s.wctl("window-info", "TForm1"), 30, what="the hidden window")

        device.command("unplug")
        device.wait_line(r"^unplugged", 30)
        out = s.wctl("tray-balloon", "60", timeout=120)
        # Only the text can be read back: Wine's tool tips do not give their title or title icon.
        self.assertEqual(out.strip(), "text=" + REMOVED)
        self.assertIn("Connexion fermée", s.log_messages())
        self.assertFalse(box_open(s))


if __name__ == "__main__":
    import unittest
    unittest.main()
