"""The device comes back by itself under Wine: a link broken and back at once under the same name,
the session leaving the console and coming back, and sleep."""

from wine_env import MonitorTestCase, wait_until

CONNECTED = "VOR-TIKA détecté et connecté sur COM5"
TRY = "Tentative de reconnexion au VOR-TIKA sur COM5"
WM_WTSSESSION_CHANGE, WTS_CONSOLE_CONNECT, WTS_CONSOLE_DISCONNECT = 0x02B1, 1, 2
WM_POWERBROADCAST, PBT_APMSUSPEND, PBT_APMRESUMESUSPEND, PBT_APMRESUMEAUTOMATIC = 0x0218, 4, 7, 0x12


class ReconnectTest(MonitorTestCase):
    def connect(self):
        s = self.session
        device = s.emulator("COM5")
        s.start_monitor()
        s.wait_log(CONNECTED, 120)
        return device

    def test_LinkBrokenAndBackUnderTheSameName_ConnectsAgainWithoutASearch(self):
        s = self.session
        device = self.connect()
        s.wait_log("Debug: Test de connexion réussi", 30)
        # The adapter drops off the bus and is given back under its name before the next tick.
        start = device.mark()
        for command in ("hangup", "unplug", "replug"):
            device.command(command)
        device.wait_line(r"^ready ", 30, start)
        s.wait_log(CONNECTED, 60, count=2)
        messages = s.log_messages()
        lost = messages.index("Test de connexion échoué - Port déconnecté")
        self.assertInOrder(messages[lost:], ["Connexion fermée", TRY, CONNECTED])
        self.assertNotIn("Démarrage de la détection automatique du VOR-TIKA", messages[lost:])

    def test_SessionLeavesTheConsole_PortFreed_TakenAgainOnReturn(self):
        s = self.session
        device = self.connect()
        s.wctl("post", "TForm1", str(WM_WTSSESSION_CHANGE), str(WTS_CONSOLE_DISCONNECT), "0")
        s.wait_log("Connexion fermée", 30)
        messages = s.log_messages()
        self.assertEqual(messages[messages.index("Connexion fermée") - 1],
                         "Session Windows quittée (changement d'utilisateur ou bureau à distance) - "
                         "Fermeture de la connexion")
        wait_until(lambda: device.status()["openers"] == "0", 30, interval=0.5, what="COM5 closed")

        s.wctl("post", "TForm1", str(WM_WTSSESSION_CHANGE), str(WTS_CONSOLE_CONNECT), "0")
        s.wait_log(CONNECTED, 60, count=2)
        self.assertInOrder(s.log_messages(), ["Connexion fermée", TRY, CONNECTED])

    def test_SleepLeavesTheOldLinkWritableButDead_ClosedBeforeSleep_NewLinkTakenAfterResume(self):
        s = self.session
        sink = s.sink()
        old = self.connect()
        s.wctl("post", "TForm1", str(WM_POWERBROADCAST), str(PBT_APMSUSPEND), "0")
        s.wait_log("Connexion fermée", 30)
        messages = s.log_messages()
        self.assertEqual(messages[messages.index("Connexion fermée") - 1],
                         "Mise en veille de Windows - Fermeture de la connexion")
        wait_until(lambda: old.status()["openers"] == "0", 30, interval=0.5, what="COM5 closed before sleep")
        heard_before_sleep = old.received()

        # The adapter comes back under the same name on a new line; the old one stays open, takes
        # every write and never answers again.
        start = old.mark()
        old.command("answer off")
        old.wait_line(r"^answer off", 30, start)
        new = s.emulator("COM5", record=s.tmp / "emulator-COM5-after-resume.rec")
        self.assertNotEqual(new.pty, old.pty)
        asleep = len(s.log_messages())
        s.wctl("post", "TForm1", str(WM_POWERBROADCAST), str(PBT_APMRESUMEAUTOMATIC), "0")
        s.wait_log(CONNECTED, 60, count=2)
        messages = s.log_messages()
        # Nothing was opened while the system slept.
        self.assertNotIn(TRY, messages[:asleep])
        self.assertInOrder(messages[asleep:], [TRY, CONNECTED])
        self.assertTrue(new.received().startswith(b"$VOR-TIKA?\r"), new.received())

        sink.foreground()
        new.send(r"ABC\r\n")
        wait_until(lambda: sink.chars() == "ABC\r\r\r", 60, what="the burst sent after resume in the sink")
        # The dead line heard nothing after the close before sleep.
        self.assertEqual(old.received(), heard_before_sleep)

    def test_ResumeBroughtOnlyAsTheUsersResume_TakesTheLinkAgain(self):
        # Modern Standby may announce a resume with PBT_APMRESUMESUSPEND alone.
        s = self.session
        self.connect()
        s.wctl("post", "TForm1", str(WM_POWERBROADCAST), str(PBT_APMSUSPEND), "0")
        s.wait_log("Connexion fermée", 30)
        s.wctl("post", "TForm1", str(WM_POWERBROADCAST), str(PBT_APMRESUMESUSPEND), "0")
        s.wait_log(CONNECTED, 60, count=2)
        messages = s.log_messages()
        self.assertInOrder(messages, ["Mise en veille de Windows - Fermeture de la connexion", TRY, CONNECTED])


if __name__ == "__main__":
    import unittest
    unittest.main()
