"""The search for the device over pseudo-terminal COM ports, and the Disconnect button."""

import datetime
import time

from wine_env import BTN_CONNECT, BTN_DISCONNECT, LBL_STATUS, MonitorTestCase, wait_until

QUERY = b"$VOR-TIKA?\r"


def stamp(log_text: str, message: str) -> datetime.datetime:
    for line in log_text.split("\r\n"):
        if line[22:] == message:
            return datetime.datetime.strptime(line[:19], "%Y-%m-%d %H:%M:%S")
    raise AssertionError(f"{message!r} not in the log")


class DetectionTest(MonitorTestCase):
    def test_TwoSilentPortsTimeOut_DeviceOnTheThirdIsConnected_DisconnectClosesIt(self):
        s = self.session
        silent5 = s.emulator("COM5", "--silent")
        silent6 = s.emulator("COM6", "--silent")
        device = s.emulator("COM7")
        s.start_monitor()

        log_text = s.wait_log("VOR-TIKA détecté et connecté sur COM7", 120)
        self.assertInOrder(s.log_messages(), [
            "Démarrage de la détection automatique du VOR-TIKA",
            "Test du port COM5",
            "Commande de test envoyée: $VOR-TIKA?",
            "Timeout de détection sur COM5",
            "Test du port COM6",
            "Commande de test envoyée: $VOR-TIKA?",
            "Timeout de détection sur COM6",
            "Test du port COM7",
            "Commande de test envoyée: $VOR-TIKA?",
            "VOR-TIKA détecté et connecté sur COM7",
        ])
        # The per-port wait is 5 s; time stamps have whole seconds, and a loaded machine can only
        # make the wait longer.
        for port in ("COM5", "COM6"):
            waited = (stamp(log_text, f"Timeout de détection sur {port}")
                      - stamp(log_text, f"Test du port {port}")).total_seconds()
            self.assertGreaterEqual(waited, 4, port)
            self.assertLessEqual(waited, 30, port)

        for emulator in (silent5, silent6, device):
            self.assertTrue(emulator.received().startswith(QUERY), (emulator.port, emulator.received()))
        for emulator in (silent5, silent6):
            self.assertEqual(emulator.received(), QUERY, emulator.port)
            self.assertEqual(emulator.status()["openers"], "0", f"{emulator.port} left open")
        self.assertNotEqual(device.status()["openers"], "0")
        wait_until(lambda: "VOR-TIKA détecté sur COM7 (9600 bauds)" in s.wctl("control-text", str(LBL_STATUS)),
                   30, what="the connected status line")

        s.wctl("click-button", str(BTN_DISCONNECT))
        s.wait_log("Connexion fermée", 60)
        wait_until(lambda: device.status()["openers"] == "0", 30, interval=0.5, what="the port closed")
        self.assertEqual(s.wctl("control-text", str(LBL_STATUS)).strip(), "Etat: Déconnecté")
        self.assertEqual(s.log_messages()[-1], "Connexion fermée")

    def test_ReplySplitOverTwoReads_IsNotRecognisedAndThePortTimesOut(self):
        s = self.session
        device = s.emulator("COM5", "--split", "--split-gap", "400")
        s.start_monitor()
        s.wait_log("Aucun VOR-TIKA détecté sur les ports disponibles", 120)
        messages = s.log_messages()
        self.assertIn("Timeout de détection sur COM5", messages)
        self.assertIn("Données ignorées en mode détection: #VOR-", messages)
        self.assertIn("Données ignorées en mode détection: TIKA!", messages)
        self.assertNotIn("VOR-TIKA détecté et connecté sur COM5", messages)
        self.assertEqual(device.received(), QUERY)

    def test_ReplyWithNoiseAroundIt_IsRecognised(self):
        s = self.session
        s.emulator("COM5", "--noise")
        s.start_monitor()
        s.wait_log("VOR-TIKA détecté et connecté sur COM5", 120)
        self.assertIn("Mode détection - Buffer actuel: xx?#VOR-TIKA!\r\n", s.log_messages())
        # The connected port is saved as the last step of the connection.
        wait_until(lambda: s.read_settings().get("Connection", {}).get("Port") == "COM5", 30,
                   what="COM5 saved in the settings file")

    def test_PortWhoseFirstUseBlocks8s_TheWindowKeepsAnswering_DeviceFoundAfterIt(self):
        s = self.session
        slow = s.emulator("COM3", "--silent")
        s.emulator("COM5")
        marks = s.tmp / "slow-tty.marks"

        def stall() -> dict[str, float]:
            lines = marks.read_text().splitlines() if marks.exists() else []
            return {what: float(ms) for what, ms in (line.split() for line in lines)}

        s.start_monitor(s.slow_port_env(slow.pty, 8000, marks))
        wait_until(lambda: "begin" in stall(), 120, interval=0.05, what="the first use of COM3")
        pings = []  # (sent, answered or given up, in wall-clock ms; answered in time)
        end = time.monotonic() + 60
        while "end" not in stall():
            self.assertLess(time.monotonic(), end, "COM3 never got past its first use")
            sent = time.time() * 1000
            answered = s.ping_monitor(1500)
            pings.append((sent, time.time() * 1000, answered))
        begin, finished = stall()["begin"], stall()["end"]
        self.assertGreaterEqual(finished - begin, 7900)
        self.assertTrue(all(answered for _, _, answered in pings), pings)
        self.assertGreaterEqual(len([p for p in pings if begin <= p[0] and p[1] <= finished]), 2, (begin, pings))

        s.wait_log("VOR-TIKA détecté et connecté sur COM5", 120)
        self.assertInOrder(s.log_messages(), [
            "Test du port COM3",
            "Impossible d'ouvrir le port COM3",
            "Test du port COM5",
            "VOR-TIKA détecté et connecté sur COM5",
        ])
        # The handle that came back late was closed at once, before a word was written on it.
        wait_until(lambda: slow.status()["openers"] == "0", 30, interval=0.5, what="COM3 closed")
        self.assertEqual(slow.received(), b"")

    def test_TwoPortsBlocking8sBeforeTheDevice_ConnecterStillFindsTheDevice(self):
        # Two Bluetooth ports out of reach listed first: each open blocks 8 s, past its 5 s bound. The
        # device's open must neither wait behind them nor have its bound eaten by that wait.
        s = self.session
        slow = [s.emulator("COM3", "--silent"), s.emulator("COM4", "--silent")]
        s.emulator("COM5")
        marks = s.tmp / "slow-tty.marks"
        s.write_settings({"Settings": {"AutoConnect": "0"}})
        s.start_monitor(s.slow_port_env([port.pty for port in slow], 8000, marks))
        s.wait_log("Surveillance des périphériques activée (mode timer)", 120)
        s.wait_monitor_window()
        s.wctl("click-button", str(BTN_CONNECT))

        s.wait_log("VOR-TIKA détecté et connecté sur COM5", 120)
        self.assertInOrder(s.log_messages(), [
            "Test du port COM3",
            "Impossible d'ouvrir le port COM3",
            "Test du port COM4",
            "Impossible d'ouvrir le port COM4",
            "Test du port COM5",
            "VOR-TIKA détecté et connecté sur COM5",
        ])
        self.assertNotIn("Impossible d'ouvrir le port COM5", s.log_messages())
        # Both stalls happened, and each handle that came back late was closed untouched.
        wait_until(lambda: marks.read_text().split().count("end") == 2, 60, interval=0.5, what="both stalls over")
        for port in slow:
            wait_until(lambda: port.status()["openers"] == "0", 30, interval=0.5, what=f"{port.port} closed")
            self.assertEqual(port.received(), b"")


if __name__ == "__main__":
    import unittest
    unittest.main()
