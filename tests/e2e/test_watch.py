"""The port watch under Wine: the liveness carriage return, a connected port leaving the list, a
hang-up, and a new port that starts a search by itself."""

import os

from wine_env import LBL_STATUS, MonitorTestCase, wait_until


def cr_times(emulator) -> list[float]:
    """Monotonic ms of every write that was a lone carriage return."""
    times = []
    if emulator.record.exists():
        for line in emulator.record.read_text().splitlines():
            fields = line.split("|", 1)[0].split()
            if fields[2:] == ["0D"] or fields[2:] == ["0d"]:
                times.append(float(fields[0]))
    return times


class WatchTest(MonitorTestCase):
    def test_Connected_CrEvery3s_PortLeavesTheListWhileItsLineWorks_ClosedWithRemovalLines(self):
        s = self.session
        device = s.emulator("COM5")
        s.start_monitor()
        s.wait_log("VOR-TIKA détecté et connecté sur COM5", 120)

        times = wait_until(lambda: (lambda t: t if len(t) >= 4 else None)(cr_times(device)), 60,
                           what="four liveness carriage returns")
        gaps = [(b - a) / 1000 for a, b in zip(times, times[1:])]
        for gap in gaps:
            self.assertGreaterEqual(gap, 2.5, gaps)
            self.assertLessEqual(gap, 3.6, gaps)
        self.assertIn("Debug: Test de connexion réussi", s.log_messages())

        device.command("unplug")
        device.wait_line(r"^unplugged", 30)
        s.wait_log("Connexion fermée", 60)
        self.assertInOrder(s.log_messages(), [
            "VOR-TIKA détecté et connecté sur COM5",
            "Changement de périphériques détecté par surveillance",
            "Ports supprimés détectés (Ancien: 1, Nouveau: 0)",
            "Debug HandleDeviceRemoval:",
            "  IsConnected: True",
            "  Port connecté: COM5",
            "Debug: Port COM5 non trouvé dans la liste des ports",
            "  Port encore disponible: False",
            "Debug: Port COM5 non trouvé dans la liste des ports",
            "Port COM connecté (COM5) déconnecté - Fermeture automatique",
            "Connexion fermée",
        ])
        wait_until(lambda: device.status()["openers"] == "0", 30, interval=0.5, what="COM5 closed")
        wait_until(lambda: s.wctl("control-text", str(LBL_STATUS)).strip() == "Etat: Déconnecté", 30,
                   what="the disconnected status line")
        # The window is hidden, so a balloon tells the user: no message box waits for a click.
        self.assertIn("timeout", s.wctl("wait-window", "#32770", "2", check=False))

    def test_HangUp_CaughtByTheLivenessTest_NewPortStartsASearchAndConnects(self):
        s = self.session
        first = s.emulator("COM5")
        s.start_monitor()
        s.wait_log("VOR-TIKA détecté et connecté sur COM5", 120)
        s.wait_log("Debug: Test de connexion réussi", 30)

        first.command("hangup")
        first.wait_line(r"^hungup", 30)
        s.wait_log("Test de connexion échoué - Port déconnecté", 60)
        messages = s.log_messages()
        connected = messages.index("VOR-TIKA détecté et connecté sur COM5")
        failed = messages.index("Test de connexion échoué - Port déconnecté")
        self.assertEqual(messages[failed - 1], "Debug: GetCommState échoué (Code: 21)")
        self.assertEqual(messages[failed - 2], "Debug: Timer surveillance - Test de connexion active")
        self.assertNotIn("Changement de périphériques détecté par surveillance", messages[connected:failed])
        s.wait_log("Connexion fermée", 30)
        self.assertIn("Connexion fermée", s.log_messages()[failed:])

        # The emulator names its registry value after its pty's number, which the kernel hands out again
        # once freed: hold the freed number here so that COM6 is listed beside COM5, not in its place.
        held = os.openpty()
        self.addCleanup(lambda: [os.close(fd) for fd in held])
        second = s.emulator("COM6")
        s.wait_log("VOR-TIKA détecté et connecté sur COM6", 120)
        messages = s.log_messages()
        after = messages[failed:]
        self.assertInOrder(after, [
            "Changement de périphériques détecté par surveillance",
            "Nouveaux ports détectés (Ancien: 1, Nouveau: 2)",
            "Debug HandleDeviceArrival:",
            "  IsConnected: False",
            "  IsDetecting: False",
            "  IsEnabled: True",
            "  AutoConnect checked: True",
            "Nouveau(x) port(s) COM détecté(s) - Démarrage de la détection automatique",
            "Test du port COM6",
            "VOR-TIKA détecté et connecté sur COM6",
        ])
        start = after.index("Nouveau(x) port(s) COM détecté(s) - Démarrage de la détection automatique")
        found = [m for m in after[start:] if m.startswith("Nouveau port détecté: COM6 à l'index ")]
        self.assertEqual(len(found), 1, after[start:])
        # The search begins at the new port: the dead COM5 is not tried first.
        self.assertNotIn("Test du port COM5", after[start:after.index("VOR-TIKA détecté et connecté sur COM6")])
        self.assertTrue(second.received().startswith(b"$VOR-TIKA?\r"), second.received())
        wait_until(lambda: "VOR-TIKA détecté sur COM6 (9600 bauds)" in s.wctl("control-text", str(LBL_STATUS)), 30,
                   what="the connected status line")
        # The dead port got nothing more after the hang-up, the new one gets the liveness test.
        wait_until(lambda: cr_times(second), 30, what="a liveness carriage return on COM6")

    def test_DevicePluggedBelowThePortUnderTest_IsSearchedWhenTheSearchEndsEmpty(self):
        s = self.session
        s.emulator("COM4", "--silent")
        s.emulator("COM5", "--silent")
        s.start_monitor()
        s.wait_log("Timer de détection démarré pour COM4", 120)
        # Listed before COM4, where the running search never goes back.
        s.emulator("COM2")
        s.wait_log("VOR-TIKA détecté et connecté sur COM2", 120)
        self.assertInOrder(s.log_messages(), [
            "Nouveau(x) port(s) COM détecté(s) - Conditions non remplies pour démarrage automatique",
            "Aucun VOR-TIKA détecté sur les ports disponibles",
            "Nouveau port détecté: COM2 à l'index 0 - Commencer par celui-ci",
            "Démarrage de la détection automatique du VOR-TIKA (nouveau périphérique)",
            "Test du port COM2",
            "VOR-TIKA détecté et connecté sur COM2",
        ])


if __name__ == "__main__":
    import unittest
    unittest.main()
