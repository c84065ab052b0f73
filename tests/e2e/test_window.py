"""The main window's close request and the tray's double click under Wine: closing only hides the
window and keeps the connection; a double click on the icon toggles the window once. Another
program's menu in front holds a burst until it closes."""

import shutil

from wine_env import BTN_CONNECT, MENU_AFFICHER, MonitorTestCase, wait_until

WM_SYSCOMMAND, SC_CLOSE = 0x0112, 0xF060
RB_KEYBOARD, RB_CLIPBOARD = 205, 207
READY = "Aucun VOR-TIKA détecté sur les ports disponibles"
CONNECTED = "VOR-TIKA détecté et connecté sur COM5"
NOT_FOR_US = "Données non transmises: la fenêtre au premier plan est celle de VOR-TIKA Monitor"
MENU_FOR_10S = "Données non transmises: un menu est ouvert au premier plan depuis 10 s"
SINK_MENU, SINK_END_MENU = 0x8000 + 12, 0x8000 + 13


def visible(session, cls: str = "TForm1") -> bool:
    return "visible=1" in session.wctl("window-info", cls)


def checked(session, cid: int) -> bool:
    return "checked=1" in session.wctl("control-state", str(cid))


class WindowTest(MonitorTestCase):
    def show(self) -> None:
        s = self.session
        s.wctl("tray-click")
        wait_until(lambda: visible(s), 30, what="the shown window")
        self.assertTrue(visible(s, "TApplication"))

    def test_CloseRequestSystemMenuCloseAndAltF4_HideTheWindow_ProgramAndConnectionGoOn(self):
        s = self.session
        device = s.emulator("COM5")
        s.start_monitor()
        s.wait_log("VOR-TIKA détecté et connecté sur COM5", 120)

        def alt_f4():
            wait_until(lambda: s.wctl("foreground-class", check=False).strip() == "TForm1", 30, interval=0.3,
                       what="the window in front")
            s.xdotool("key", "alt+F4")  # with the X keyboard focus given to the Wine desktop first

        closes = {
            "WM_CLOSE": lambda: s.wctl("close", "TForm1"),
            "SC_CLOSE": lambda: s.wctl("post", "TForm1", str(WM_SYSCOMMAND), str(SC_CLOSE), "0"),
        }
        if shutil.which("xdotool"):
            closes["Alt+F4"] = alt_f4
        for name, close in closes.items():
            self.show()
            close()
            wait_until(lambda: not visible(s), 30, what=f"the window hidden by {name}")
            self.assertFalse(visible(s, "TApplication"))
            # The program runs on, still connected: the liveness test keeps passing.
            ticks = s.log_messages().count("Debug: Test de connexion réussi")
            s.wait_log("Debug: Test de connexion réussi", 30, count=ticks + 1)
            self.assertIsNone(s.monitor.poll())
            self.assertNotEqual(device.status()["openers"], "0")
            self.assertIn("VOR-TIKA Monitor - Connecté à COM5", s.wctl("tray-tips"))
            self.assertIn("Etat: VOR-TIKA détecté sur COM5 (9600 bauds)", s.wctl("control-text", "214"))
        self.assertNotIn("Connexion fermée", s.log_messages())
        self.assertIn("timeout", s.wctl("wait-window", "#32770", "0", check=False))

    def test_DoubleClickOnTheTray_TogglesTheWindowOnce(self):
        s = self.session
        s.start_monitor()
        s.wait_log(READY, 120)
        s.wait_monitor_window()
        wait_until(lambda: not visible(s), 30, what="the hidden window")

        # A radio button click posted after the tray messages marks the moment they have all been handled.
        for marker, shown in ((RB_CLIPBOARD, True), (RB_KEYBOARD, False)):
            s.wctl("tray-events", "down", "up", "dblclk", "up")
            s.wctl("click-button", str(marker))
            wait_until(lambda: checked(s, marker), 30, what=f"the marker {marker} handled")
            self.assertEqual(visible(s), shown)
            self.assertEqual(visible(s, "TApplication"), shown)

    def open_menu(self) -> None:
        self.session.open_tray_menu()

    def connected_with_sink_in_front(self):
        """The monitor connected to a device on COM5, the sink in front; needs xdotool for the menu."""
        if not shutil.which("xdotool"):
            self.skipTest("no xdotool")
        s = self.session
        device = s.emulator("COM5")
        sink = s.sink()
        s.start_monitor()
        s.wait_log(CONNECTED, 120)
        sink.foreground()
        return device, sink

    def keys(self, *keys: str) -> None:
        # The foreground window (the monitor's, during its menu) gets the keys.
        self.session.xdotool("key", *keys)

    def test_TrayMenuFromTheKeyboard_DisableShowQuit(self):
        if not shutil.which("xdotool"):
            self.skipTest("no xdotool")
        s = self.session
        s.start_monitor()
        s.wait_log(READY, 120)
        s.wait_monitor_window()

        # Escape closes the menu and runs nothing.
        self.open_menu()
        self.keys("Escape")
        wait_until(lambda: "visible=1" not in s.wctl("window-info", "#32768", check=False), 30,
                   what="the menu closed")
        self.assertEqual(s.log_messages()[-1], READY)

        # First entry: "Désactiver".
        self.open_menu()
        self.keys("Down", "Return")
        s.wait_log("VOR-TIKA Monitor désactivé", 30)
        wait_until(lambda: "VOR-TIKA Monitor - Désactivé" in s.wctl("tray-tips"), 30, what="the disabled tip")

        # Past the separator: "Afficher".
        self.open_menu()
        self.keys("Down", "Down", "Return")
        wait_until(lambda: visible(s), 30, what="the window shown by Afficher")

        # The last entry: "Quitter".
        self.open_menu()
        self.keys("Up", "Return")
        s.wctl("wait-gone", "TForm1", "60", timeout=90)
        s.monitor.wait(60)
        s.monitor = None
        self.assertEqual(s.log_messages()[-1], "Surveillance des périphériques désactivée")
        self.assertEqual(s.read_settings()["Settings"]["Enabled"], "0")

    def test_TrayMenuOpen_BurstEndingInEnter_RunsNoEntry_ForegroundComesBackAfterEscape(self):
        s = self.session
        device, sink = self.connected_with_sink_in_front()
        self.open_menu()
        self.keys("Up")  # "Quitter" highlighted: an Enter typed into the menu would run it
        device.send(r"A\r\n")
        s.wait_log(NOT_FOR_US, 30)
        self.assertIn("visible=1", s.wctl("window-info", "#32768", check=False))
        self.assertNotIn("missing", s.wctl("window-info", "TForm1", check=False))

        self.keys("Escape")
        wait_until(lambda: "visible=1" not in s.wctl("window-info", "#32768", check=False), 30,
                   what="the menu closed")
        wait_until(lambda: s.wctl("foreground-class", check=False).strip() == "VorTikaSink", 30,
                   what="the sink in front again")
        device.send(r"B\r\n")
        wait_until(lambda: sink.chars().startswith("B"), 60, what="the next burst in the sink")
        self.assertNotIn("Surveillance des périphériques désactivée", s.log_messages())

    def test_TrayMenuDisableThenEnable_ForegroundBackToTheSink_NextBurstReachesIt(self):
        s = self.session
        device, sink = self.connected_with_sink_in_front()
        for done in ("VOR-TIKA Monitor désactivé", "VOR-TIKA Monitor activé"):
            # The first entry, "Désactiver" and then "Activer", chosen in the menu itself.
            self.open_menu()
            self.keys("Down", "Return")
            s.wait_log(done, 30)
            wait_until(lambda: s.wctl("foreground-class", check=False).strip() == "VorTikaSink", 30, interval=0.3,
                       what=f"the sink in front after {done!r}")
        s.wctl("click-button", str(BTN_CONNECT))
        s.wait_log(CONNECTED, 120, count=2)
        device.send(r"B\r\n")
        wait_until(lambda: sink.chars() == "B\r\r\r", 60, what="the burst in the sink")
        self.assertNotIn(NOT_FOR_US, s.log_messages())

    def test_WindowInFront_TabsAndEnterFromTheDevice_ClickNoButton(self):
        s = self.session
        device = s.emulator("COM5")
        s.start_monitor()
        s.wait_log(CONNECTED, 120)
        s.wctl("menu", str(MENU_AFFICHER))
        wait_until(lambda: s.wctl("foreground-class", check=False).strip() == "TForm1", 30, interval=0.3,
                   what="the window in front")
        # Tab would make "Déconnecter" the default button, and Enter would click it.
        device.send(r"\t\t\t\t\t\t\r")
        s.wait_log(NOT_FOR_US, 30)
        passed = s.log_messages().count("Debug: Test de connexion réussi")
        s.wait_log("Debug: Test de connexion réussi", 30, count=passed + 1)
        self.assertNotIn("Connexion fermée", s.log_messages())


    def test_AnotherProgramsMenuInFront_BurstWaitsForItToClose_OrIsRefusedAfter10s(self):
        s = self.session
        device = s.emulator("COM5")
        sink = s.sink()
        s.start_monitor()
        s.wait_log(CONNECTED, 120)
        sink.foreground()

        def open_sinks_menu(opened: int) -> None:
            s.wctl("post", "VorTikaSink", str(SINK_MENU), "0", "0")
            wait_until(lambda: sink.text().count("menu open") == opened, 30, what="the sink's menu loop")
            wait_until(lambda: "visible=1" in s.wctl("window-info", "#32768", check=False), 30,
                       what="the sink's menu")

        # "S" would choose "Supprimer" and Enter would run it.
        open_sinks_menu(1)
        device.send("S")
        s.wait_log("Reçu: S", 30)
        passed = s.log_messages().count("Debug: Test de connexion réussi")
        s.wait_log("Debug: Test de connexion réussi", 30, count=passed + 1)
        self.assertEqual(sink.chars(), "")
        self.assertNotIn("menu closed", sink.text())
        s.wctl("post", "VorTikaSink", str(SINK_END_MENU), "0", "0")
        wait_until(lambda: sink.chars() == "S\r", 60, what="the burst in the sink once the menu closed")
        self.assertIn("menu closed 0", sink.text())

        open_sinks_menu(2)
        device.send("T")
        s.wait_log(MENU_FOR_10S, 60)
        self.assertEqual(sink.text().count("menu closed"), 1, "the menu ran nothing and is still open")
        s.wctl("post", "VorTikaSink", str(SINK_END_MENU), "0", "0")
        wait_until(lambda: sink.text().count("menu closed 0") == 2, 30, what="the second menu closed")
        self.assertEqual(sink.chars(), "S\r")


if __name__ == "__main__":
    import unittest
    unittest.main()
