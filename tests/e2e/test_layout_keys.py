"""LayoutKeys on a French AZERTY keyboard: the X server's keymap is French and Wine's locale is a
Latin-9 French one, so that Wine's layout is AZERTY and é, ç, à map to their keys. Under Wine the
plain and Shift levels type; AltGr and dead keys give no character (Wine's own limit)."""

import shutil
import subprocess
import unittest

import wine_env
from wine_env import MonitorTestCase, WineSession, wait_until

VK_SHIFT, VK_RETURN, VK_PACKET, VK_OEM_6, VK_OEM_PERIOD = 0x10, 0x0D, 0xE7, 0xDD, 0xBE


class FrenchXvfb(wine_env.Xvfb):
    """Xvfb that keeps the French keymap: without -noreset it resets the keymap when setxkbmap, its
    only client then, leaves."""

    extra_args = ("-noreset",)

    def start(self) -> str:
        display = super().start()
        subprocess.run(["setxkbmap", "-display", display, "fr"], check=True, timeout=60)
        return display


class LayoutKeysFrenchTest(MonitorTestCase):
    @classmethod
    def setUpClass(cls) -> None:
        if not (shutil.which("setxkbmap") and shutil.which("localedef")):
            raise unittest.SkipTest("setxkbmap and localedef are needed for a French keyboard")
        session = WineSession()
        session.xvfb = FrenchXvfb()
        cls.session = session.start()
        # The locale is built in the session's own folder: the machine's locales stay as they are.
        locales = session.tmp / "locales"
        locales.mkdir()
        subprocess.run(["localedef", "-i", "fr_FR@euro", "-f", "ISO-8859-15", str(locales / "fr_FR@euro")],
                       check=True, timeout=120, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        session.env.update(LC_ALL="fr_FR@euro", LANG="fr_FR@euro", LOCPATH=str(locales))
        session.reset()

    def test_FrenchKeymap_AzertyKeysWithTheirScanCodes_AltGrCharactersStillArriveAsText(self):
        s = self.session
        s.write_settings({"Settings": {"LayoutKeys": "1"}})
        device = s.emulator("COM5")
        sink = s.sink()
        s.start_monitor()
        s.wait_log("VOR-TIKA détecté et connecté sur COM5", 120)
        sink.foreground()

        def typed(text: str, expected: str) -> list[tuple[int, int]]:
            before_keys, before_chars = len(sink.keydowns()), len(sink.chars())
            device.send(text)
            wait_until(lambda: sink.chars()[before_chars:].endswith("\r"), 60, what=f"{text} and Enter in the sink")
            if expected:
                self.assertEqual(sink.chars()[before_chars:], expected + "\r")
            return [k for k in sink.keydowns()[before_keys:] if k != (VK_RETURN, 0x1C)]

        # A and Q change places; the digits need Shift; ; and - are keys of their own.
        self.assertEqual(typed("Ab1;-", "Ab1;-"),
                         [(VK_SHIFT, 0x2A), (ord("A"), 0x10), (ord("B"), 0x30), (VK_SHIFT, 0x2A), (ord("1"), 0x02),
                          (VK_OEM_PERIOD, 0x33), (ord("6"), 0x07)])
        # é, ç and à are the 2, 9 and 0 keys.
        self.assertEqual(typed(r"\xE9\xE7\xE0", "éçà"), [(ord("2"), 0x03), (ord("9"), 0x0A), (ord("0"), 0x0B)])
        # ê: the dead circumflex, then E (the dead key itself gives no character under Wine).
        self.assertEqual(typed(r"\xEA", ""), [(VK_OEM_6, 0x1A), (ord("E"), 0x12)])
        # AltGr gives no character under Wine, and no key is offered: @, # and € go as text.
        self.assertEqual(typed(r"@#\x80", "@#€"), [(VK_PACKET, 0x40), (VK_PACKET, 0x23), (VK_PACKET, 0xAC)])


if __name__ == "__main__":
    unittest.main()
