"""What a site's administrators see under Wine: settings set and locked by machine policy in the
registry (the controls disabled, the file's value overridden, a change applied after Windows says
policy changed), and the events reported to the Application log, read from Wine's eventlog debug
channel, where ReportEventW prints each event's strings."""

import re

from wine_env import MENU_ACTIVER, MENU_AFFICHER, MonitorTestCase, wait_until

POLICY_KEY = r"HKLM\SOFTWARE\Policies\VORTIKA\VORTikaMonitor"
CHK_AUTOCONNECT, CHK_CR, CHK_LF = 208, 210, 211
CONNECTED = "VOR-TIKA détecté et connecté sur COM5"
NOT_FOR_US = "Données non transmises: la fenêtre au premier plan est celle de VOR-TIKA Monitor"


INFORMATION, WARNING = 4, 2


class AdminTest(MonitorTestCase):
    def setUp(self) -> None:
        super().setUp()
        self.addCleanup(lambda: self.session.reg("delete", POLICY_KEY, "/f"))


    def policy(self, name: str, kind: str, data: str) -> None:
        self.session.reg("add", POLICY_KEY, "/v", name, "/t", kind, "/d", data, "/f")

    def state(self, control: int) -> str:
        """The control's enabled and checked states ("enabled=0 checked=1"); the window is hidden."""
        return re.sub(r" visible=\d", "", self.session.wctl("control-state", str(control)).strip())

    def test_Events_ConnectionRefusedBurstAndLoss_EachReportedWithItsStrings(self):
        s = self.session
        device = s.emulator("COM5")
        reports = self.session.start_monitor_with_events()
        s.wait_log(CONNECTED, 120)
        connected = (INFORMATION, 1000, ["COM5"])
        wait_until(lambda: connected in reports(), 30, what="the connection's event")

        s.wctl("menu", str(MENU_AFFICHER))
        wait_until(lambda: s.wctl("foreground-class", check=False).strip() == "TForm1", 30, interval=0.3,
                   what="the window in front")
        device.send("A")
        s.wait_log(NOT_FOR_US, 30)
        refused = (WARNING, 1002, [NOT_FOR_US])
        wait_until(lambda: refused in reports(), 30, what="the refused burst's event")

        device.command("unplug")
        device.wait_line(r"^unplugged", 30)
        s.wait_log("Connexion fermée", 60)
        lost = (WARNING, 1001, ["COM5"])
        wait_until(lambda: lost in reports(), 30, what="the loss's event")
        self.assertEqual(reports(), [connected, refused, lost])

    def test_Policy_LocksItsControlsOverTheFile_AndFollowsAChange(self):
        s = self.session
        s.write_settings({"Settings": {"AutoConnect": "0", "CR": "1", "LF": "0"}})
        self.policy("LF", "REG_DWORD", "1")
        self.policy("CR", "REG_SZ", "0")  # the wrong type: ignored, the file decides
        s.start_monitor()
        s.wait_log("Stratégie de groupe: paramètres imposés: LF", 60)
        self.assertInOrder(s.log_messages(), [
            "VOR-TIKA Monitor démarré - Version 1.0",
            "Stratégie de groupe: type de données incorrect pour 'CR' - valeur ignorée",
            "Stratégie de groupe: paramètres imposés: LF",
            "Surveillance des périphériques activée (mode timer)",
        ])
        s.wait_monitor_window()
        self.assertEqual(self.state(CHK_LF), "enabled=0 checked=1")
        self.assertEqual(self.state(CHK_CR), "enabled=1 checked=1")
        self.assertEqual(self.state(CHK_AUTOCONNECT), "enabled=1 checked=0")

        # The administrator changes the policy; Windows says so to every window.
        self.policy("CR", "REG_DWORD", "0")
        self.policy("Enabled", "REG_DWORD", "1")
        s.reg("delete", POLICY_KEY, "/v", "LF", "/f")
        s.wctl("setting-change", "Policy")
        s.wait_log("Stratégie de groupe: paramètres imposés: Enabled, CR", 30)
        self.assertEqual(self.state(CHK_CR), "enabled=0 checked=0")
        self.assertEqual(self.state(CHK_LF), "enabled=1 checked=1")

        # The tray menu's Désactiver is locked: its command does nothing.
        s.wctl("menu", str(MENU_ACTIVER))
        s.wctl("setting-change", "Policy")  # unchanged: nothing logged
        s.quit_monitor()
        messages = s.log_messages()
        self.assertNotIn("VOR-TIKA Monitor désactivé", messages)
        self.assertEqual(sum(m.startswith("Stratégie de groupe: paramètres") for m in messages), 2)


if __name__ == "__main__":
    import unittest
    unittest.main()
