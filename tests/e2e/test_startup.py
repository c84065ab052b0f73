"""Start-up and shutdown of the real program under Wine, on a machine without serial ports."""

import datetime
import re

from wine_env import CHK_LF, MENU_QUITTER, MonitorTestCase, wait_until

START_UP = [
    "VOR-TIKA Monitor démarré - Version 1.0",
    "Surveillance des périphériques activée (mode timer)",
    "Connexion automatique au démarrage activée",
    "Démarrage de la détection automatique du VOR-TIKA",
    "Aucun VOR-TIKA détecté sur les ports disponibles",
]


class StartupTest(MonitorTestCase):
    def test_FirstStartWithoutPorts_LogsStartUpStaysInTrayAndQuitsFromTheMenu(self):
        s = self.session
        s.start_monitor()
        s.wait_log(START_UP[-1], 120)
        self.assertEqual(s.log_messages()[:5], START_UP)

        # Only the tray icon remains: the main window exists but is hidden.
        s.wait_monitor_window()
        wait_until(lambda: "visible=0" in s.wctl("window-info", "TForm1"), 30, what="the hidden main window")
        self.assertIn("visible=0", s.wctl("window-info", "TForm1"))

        s.wctl("menu", str(MENU_QUITTER))
        s.wctl("wait-gone", "TForm1", "60", timeout=90)
        s.monitor.wait(60)
        s.monitor = None
        messages = s.log_messages()
        self.assertEqual(messages[-1], "Surveillance des périphériques désactivée")
        self.assertEqual(messages[:5], START_UP)

    def test_SessionEnd_ShutsDownAsQuitterDoes_PortClosedLinesLoggedSettingsSaved(self):
        s = self.session
        device = s.emulator("COM5")
        s.start_monitor()
        s.wait_log("VOR-TIKA détecté et connecté sur COM5", 120)
        # A change made in the window since the last save.
        s.wctl("set-check", str(CHK_LF), "1")

        s.run(["wineboot", "--end-session", "--shutdown"], timeout=120)
        s.wctl("wait-gone", "TForm1", "60", timeout=90)
        s.monitor.wait(60)
        s.monitor = None
        messages = s.log_messages()
        self.assertEqual(messages[-2:], ["Connexion fermée", "Surveillance des périphériques désactivée"])
        self.assertEqual(s.read_settings()["Settings"]["LF"], "1")
        wait_until(lambda: device.status()["openers"] == "0", 30, interval=0.5, what="COM5 closed")

    def test_LogFile_IsTodaysFileInCodePage1252WithCrLfAndTimeStamps(self):
        s = self.session
        s.start_monitor()
        s.wait_log(START_UP[-1], 120)
        s.quit_monitor()

        files = s.log_files()
        self.assertEqual(len(files), 1, files)
        today = datetime.date.today()
        self.assertIn(files[0].name, {f"VORTikaMonitor_{d:%Y-%m-%d}.log"
                                      for d in (today, today - datetime.timedelta(days=1))})
        raw = s.log_bytes()
        self.assertIn("démarré".encode("cp1252"), raw)
        self.assertNotIn("démarré".encode("utf-8"), raw)
        self.assertFalse(raw.startswith(b"\xef\xbb\xbf"))
        self.assertTrue(raw.endswith(b"\r\n"))
        lines = raw.split(b"\r\n")[:-1]
        self.assertGreaterEqual(len(lines), 6)
        for line in lines:
            self.assertNotIn(b"\n", line)
            self.assertRegex(line.decode("cp1252"), r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d - ")

    def test_Shutdown_WritesTheSettingsFile(self):
        s = self.session
        s.start_monitor()
        s.wait_log(START_UP[-1], 120)
        s.quit_monitor()
        settings = s.read_settings()
        self.assertEqual(settings.get("Connection"), {"Port": "", "BaudRate": "9600"})
        self.assertEqual(settings.get("Settings"), {"Enabled": "1", "KeyboardMode": "1", "ClipboardMode": "0",
                                                    "AutoConnect": "1", "CR": "1", "LF": "0"})
        self.assertTrue(re.match(rb"\[Connection\]\r\n", s.settings_path().read_bytes()))


if __name__ == "__main__":
    import unittest
    unittest.main()
