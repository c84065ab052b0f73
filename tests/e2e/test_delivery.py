"""Delivery of the device's text to the application in front: typed keys or a clipboard paste."""

from wine_env import MonitorTestCase, wait_until

VK_RETURN = 0x0D
# The scan code of Enter on a PC keyboard (set 1).
SCAN = {VK_RETURN: 0x1C}


class DeliveryTest(MonitorTestCase):
    def connect(self, port: str = "COM5"):
        s = self.session
        device = s.emulator(port)
        sink = s.sink()
        s.start_monitor()
        s.wait_log(f"VOR-TIKA détecté et connecté sur {port}", 120)
        sink.foreground()
        return device, sink

    def test_KeyboardMode_TypesTheLettersThenEnterForCrLfAndChkCR(self):
        s = self.session
        device, sink = self.connect()
        device.send(r"ABC\r\n")
        wait_until(lambda: sink.chars() == "ABC\r\r\r", 60, what=f"ABC and three Enter keys in the sink")
        # Nothing more follows the burst.
        s.wait_log("Reçu: ABC\r\n", 30)
        self.assertEqual(sink.chars(), "ABC\r\r\r")
        # Every Enter carries its scan code, which remote-desktop clients forward instead of the key.
        self.assertEqual([k for k in sink.keydowns() if k[0] == VK_RETURN], [(VK_RETURN, SCAN[VK_RETURN])] * 3)

        raw = s.log_bytes()
        self.assertIn(b" - Donn\xe9es ajout\xe9es au buffer: ABC\r\n\r\n", raw)
        self.assertIn(b" - Re\xe7u: ABC\r\n\r\n", raw)

    def test_KeyboardMode_Byte0xE9ArrivesAsEAcute(self):
        s = self.session
        device, sink = self.connect()
        device.send(r"caf\xE9")
        wait_until(lambda: sink.chars() == "café\r", 60, what="café and one Enter key in the sink")
        s.wait_log("Reçu: café", 30)
        self.assertIn("Reçu: café".encode("cp1252"), s.log_bytes())

    def test_ClipboardMode_PastesTheBurstAndLeavesItOnTheClipboard(self):
        s = self.session
        s.write_settings({"Settings": {"ClipboardMode": "1", "KeyboardMode": "0"}})
        device, sink = self.connect()
        device.send(r"Lot 42-\xE9t\xE9")
        wait_until(lambda: sink.pastes() == ["Lot 42-été"], 60, what="the paste in the sink")
        wait_until(lambda: sink.chars().endswith("\r"), 30, what="the Enter key after the paste")
        # The letters came by the paste, not typed one by one.
        self.assertNotIn("L", sink.chars())
        self.assertEqual(s.wctl("clipboard").rstrip("\n"), "Lot 42-été")
        # Kept out of the clipboard history and the cloud clipboard.
        formats = s.wctl("clipboard-formats").split()
        self.assertIn("CanIncludeInClipboardHistory=0", formats)
        self.assertIn("CanUploadToCloudClipboard=0", formats)
        s.wait_log("Reçu: Lot 42-été", 30)


if __name__ == "__main__":
    import unittest
    unittest.main()
