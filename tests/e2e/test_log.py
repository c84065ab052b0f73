"""The activity log while other programs hold the day's file (Wine enforces share modes between its
processes, as Windows does)."""

from wine_env import LOG_LINE, WCTL_EXE, MonitorTestCase, to_wine_path, wait_until


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


if __name__ == "__main__":
    import unittest
    unittest.main()
