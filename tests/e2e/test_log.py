"""The activity log while other programs hold the day's file (Wine enforces share modes between its
processes, as Windows does), and files or folders another user put in its place (Wine shows a Unix
symbolic link to a folder as a reparse point, and a Unix hard link's count of names; it keeps no
access list or owner)."""

import os

from wine_env import LOG_LINE, MENU_ACTIVER, WCTL_EXE, MonitorTestCase, to_wine_path, wait_until

ERROR, MSG_ERROR = 1, 1004


class LogTest(MonitorTestCase):
    def hold(self, mode: str, ms: int, name: str):
        """Holds the day's log from another process; returns a function that reads its output."""
        s = self.session
        s.spawn([str(WCTL_EXE), "hold-file", to_wine_path(s.today_log()), str(ms), mode], name)
        out = s.tmp / name
        said = lambda: out.read_text(errors="replace") if out.exists() else ""
        wait_until(lambda: "held" in said(), 60, what=f"the log held ({mode})")
        return said

    def stamps(self, message: str) -> list[str]:
        return [m.group(1) for m in map(LOG_LINE.match, self.session.log_text().split("\r\n"))
                if m and m.group(2) == message]

    def test_ReaderHoldsTheLog_BurstsGoOnAndTheirLinesFollowInOrderWithTheirOwnStamps(self):
        s = self.session
        device = s.emulator("COM5")
        sink = s.sink()
        s.start_monitor()
        s.wait_log("VOR-TIKA détecté et connecté sur COM5", 120)
        sink.foreground()

        # Another writer that shares writing (the other session's monitor): the line goes in at once.
        said = self.hold("append", 6000, "hold-append.out")
        device.send(r"Un\r\n")
        s.wait_log("Reçu: Un\r\n", 30)
        self.assertNotIn("released", said(), "the line had to wait for the other writer")
        wait_until(lambda: "released" in said(), 60, what="the other writer gone")

        # A reader that shares reading only (a spreadsheet): every append is refused meanwhile.
        said = self.hold("read", 10000, "hold-read.out")
        device.send(r"Deux\r\n")
        wait_until(lambda: "Deux" in sink.chars(), 60, what="Deux typed")
        device.send(r"Trois\r\n")
        wait_until(lambda: "Trois" in sink.chars(), 60, what="Trois typed")
        self.assertNotIn("released", said(), "the reader let go too early for this test")
        self.assertNotIn("Reçu: Deux", s.log_text(), "the reader did not refuse the append")
        wait_until(lambda: "released" in said(), 60, what="the reader gone")

        device.send(r"Quatre\r\n")
        s.wait_log("Reçu: Quatre\r\n", 30)
        received = [m for m in s.log_messages() if m.startswith("Reçu: ")]
        self.assertEqual(received, ["Reçu: Un\r\n", "Reçu: Deux\r\n", "Reçu: Trois\r\n", "Reçu: Quatre\r\n"])
        # Each kept line has the stamp of its own moment, before the reader let go.
        deux, quatre = self.stamps("Reçu: Deux"), self.stamps("Reçu: Quatre")
        self.assertEqual(len(deux), 1)
        self.assertLess(deux[0], quatre[0])


    def test_DataFolderThatIsALink_NothingReadOrWrittenThroughIt_OneEvent_TheMonitorRuns(self):
        s = self.session
        elsewhere = s.tmp / "elsewhere"
        elsewhere.mkdir()
        (elsewhere / "VORTikaMonitor.ini").write_bytes(b"[Settings]\r\nEnabled=0\r\n")
        s.data_dir().symlink_to(elsewhere, target_is_directory=True)
        self.addCleanup(lambda: s.data_dir().unlink(missing_ok=True))
        reports = self.session.start_monitor_with_events()
        refused = (ERROR, MSG_ERROR, [r"Dossier de données non utilisé: C:\ProgramData\VORTIKA est un lien"])
        wait_until(lambda: refused in reports(), 60, what="the refused data folder's event")
        s.wait_monitor_window()
        # A toggle and the shutdown each save: neither reaches the folder.
        s.wctl("menu", str(MENU_ACTIVER))
        self.assertTrue(s.ping_monitor())
        s.quit_monitor()
        self.assertEqual(sorted(p.name for p in elsewhere.iterdir()), ["VORTikaMonitor.ini"])
        self.assertEqual((elsewhere / "VORTikaMonitor.ini").read_bytes(), b"[Settings]\r\nEnabled=0\r\n")
        self.assertEqual(reports(), [refused])

    def test_DaysFileThatIsASecondNameOfAnotherFile_NotWritten_OneEvent_LinesGoInOnceItIsGone(self):
        s = self.session
        (s.data_dir() / "logs").mkdir(parents=True)
        victim = s.tmp / "victim.txt"
        victim.write_bytes(b"not the monitor's\r\n")
        os.link(victim, s.today_log())
        reports = self.session.start_monitor_with_events()
        name = "C:\\ProgramData\\VORTIKA\\logs\\" + s.today_log().name
        refused = (ERROR, MSG_ERROR, [f"Journal non écrit: {name} a plusieurs noms (lien physique)"])
        wait_until(lambda: refused in reports(), 60, what="the refused log file's event")
        s.wait_monitor_window()
        s.wctl("menu", str(MENU_ACTIVER))  # one more line
        self.assertTrue(s.ping_monitor())
        self.assertEqual(victim.read_bytes(), b"not the monitor's\r\n")

        s.today_log().unlink()  # an administrator removed it: the kept lines go in at the next tick
        s.wait_log("VOR-TIKA Monitor démarré - Version 1.0", 30)
        s.wait_log("VOR-TIKA Monitor désactivé", 30)
        self.assertEqual(victim.read_bytes(), b"not the monitor's\r\n")
        self.assertEqual(reports(), [refused])


if __name__ == "__main__":
    import unittest
    unittest.main()
