"""The settings file under Wine: a prepared file is loaded at start-up, and the file written at
shutdown holds the controls' values in the ANSI code page, keeping the lines the program does not use."""

from wine_env import LBL_STATUS, MonitorTestCase, wait_until

CMB_PORTS, CMB_BAUD = 203, 204
RB_KEYBOARD, RB_CLIPBOARD, CHK_AUTO, CHK_CR, CHK_LF = 205, 207, 208, 210, 211

PREPARED = (
    "; réglages préparés à la main\r\n"
    "[Connection]\r\n"
    "Port=COM6\r\n"
    "BaudRate=19200\r\n"
    "Commentaire=à garder\r\n"
    "[Settings]\r\n"
    "Enabled=1\r\n"
    "KeyboardMode=0\r\n"
    "ClipboardMode=1\r\n"
    "AutoConnect=0\r\n"
    "CR=0\r\n"
    "LF=1\r\n"
    "Inconnu=été\r\n"
    "[Autre]\r\n"
    "Clé=valeur\r\n"
)


class SettingsTest(MonitorTestCase):
    def checked(self, cid: int) -> bool:
        return "checked=1" in self.session.wctl("control-state", str(cid))

    def text(self, cid: int) -> str:
        return self.session.wctl("control-text", str(cid)).rstrip("\r\n")

    def test_AutoConnectOff_NoPortOpened_ControlsLoaded_ShutdownWritesThemBackKeepingOtherLines(self):
        s = self.session
        com5 = s.emulator("COM5")
        com6 = s.emulator("COM6")
        s.data_dir().mkdir(parents=True, exist_ok=True)
        s.settings_path().write_bytes(PREPARED.encode("cp1252"))

        s.start_monitor()
        s.wait_monitor_window()
        s.wait_log("Surveillance des périphériques activée (mode timer)", 120)
        wait_until(lambda: self.text(CMB_PORTS) == "COM6", 30, what="COM6 selected")
        self.assertEqual(self.text(LBL_STATUS), "Etat: Déconnecté")
        self.assertEqual(self.text(CMB_BAUD), "19200")
        self.assertFalse(self.checked(RB_KEYBOARD))
        self.assertTrue(self.checked(RB_CLIPBOARD))
        self.assertFalse(self.checked(CHK_AUTO))
        self.assertFalse(self.checked(CHK_CR))
        self.assertTrue(self.checked(CHK_LF))

        s.quit_monitor()
        messages = s.log_messages()
        self.assertFalse([m for m in messages if m.startswith("Test du port ")], messages)
        self.assertNotIn("Connexion automatique au démarrage activée", messages)
        self.assertNotIn("Démarrage de la détection automatique du VOR-TIKA", messages)
        self.assertEqual(com5.received(), b"")
        self.assertEqual(com6.received(), b"")
        self.assertEqual(com5.status()["openers"], "0")
        self.assertEqual(com6.status()["openers"], "0")

        raw = s.settings_path().read_bytes()
        self.assertFalse(raw.startswith(b"\xef\xbb\xbf") or raw.startswith(b"\xff\xfe"), raw[:4])
        self.assertTrue(raw.endswith(b"\r\n"))
        self.assertNotIn(b"\n", raw.replace(b"\r\n", b""))
        self.assertNotIn(b"\x00", raw)
        text = raw.decode("cp1252")
        settings = s.read_settings()
        self.assertEqual(settings["Connection"], {"Port": "COM6", "BaudRate": "19200", "Commentaire": "à garder"})
        self.assertEqual(settings["Settings"], {"Enabled": "1", "KeyboardMode": "0", "ClipboardMode": "1",
                                                "AutoConnect": "0", "CR": "0", "LF": "1", "Inconnu": "été"})
        self.assertEqual(settings["Autre"], {"Clé": "valeur"})
        self.assertTrue(text.startswith("; réglages préparés à la main\r\n"), text)
        self.assertIn("Clé=valeur\r\n".encode("cp1252"), raw)
        self.assertNotIn("é".encode("utf-8"), raw)

    def test_OnlyAutoConnectOff_MissingKeysAreAddedWithTheirDefaults(self):
        s = self.session
        com5 = s.emulator("COM5")
        s.write_settings({"Settings": {"AutoConnect": "0"}})
        s.start_monitor()
        s.wait_monitor_window()
        s.wait_log("Surveillance des périphériques activée (mode timer)", 120)
        wait_until(lambda: self.text(CMB_PORTS) == "COM5", 30, what="COM5 selected")
        self.assertEqual(self.text(LBL_STATUS), "Etat: Déconnecté")
        s.quit_monitor()
        self.assertEqual(com5.received(), b"")
        self.assertFalse([m for m in s.log_messages() if m.startswith("Test du port ")])
        raw = s.settings_path().read_bytes()
        # The section that was there is kept where it was; the other is appended after it.
        self.assertEqual(raw, b"[Settings]\r\nAutoConnect=0\r\nEnabled=1\r\nKeyboardMode=1\r\nClipboardMode=0\r\n"
                              b"CR=1\r\nLF=0\r\n[Connection]\r\nPort=COM5\r\nBaudRate=9600\r\n")


if __name__ == "__main__":
    import unittest
    unittest.main()
