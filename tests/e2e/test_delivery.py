"""Delivery of the device's text to the application in front: typed keys or a clipboard paste, with
the scan codes remote desktops forward, to a busy target and past a key the operator holds."""

from wine_env import MonitorTestCase, wait_until

VK_BACK, VK_TAB, VK_RETURN, VK_CONTROL, VK_ESCAPE, VK_V = 0x08, 0x09, 0x0D, 0x11, 0x1B, 0x56
VK_SHIFT, VK_CAPITAL, VK_OEM_1, VK_OEM_MINUS, VK_PACKET = 0x10, 0x14, 0xBA, 0xBD, 0xE7
# The scan codes of the keys on a PC keyboard (set 1).
SCAN = {VK_BACK: 0x0E, VK_TAB: 0x0F, VK_RETURN: 0x1C, VK_CONTROL: 0x1D, VK_ESCAPE: 0x01, VK_V: 0x2F}
MODIFIER_HELD = "Données non transmises: touche Maj, Ctrl, Alt ou Windows enfoncée depuis 10 s"
CLIPBOARD = {"Settings": {"ClipboardMode": "1", "KeyboardMode": "0"}}


class DeliveryTest(MonitorTestCase):
    def connect(self, port: str = "COM5", busy_after_enter_ms: int = 0, refuse_pastes: int = 0):
        s = self.session
        device = s.emulator(port)
        sink = s.sink(busy_after_enter_ms=busy_after_enter_ms, refuse_pastes=refuse_pastes)
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

    def test_KeyboardMode_TabBackspaceEscapeAndEnterArriveWithTheirScanCodes(self):
        device, sink = self.connect()
        device.send(r"A\tB\x08\x1B")
        wait_until(lambda: (VK_RETURN, SCAN[VK_RETURN]) in sink.keydowns(), 60, what="the Enter key in the sink")
        keys = [k for k in sink.keydowns() if k[0] in SCAN]
        self.assertEqual(keys, [(vk, SCAN[vk]) for vk in (VK_TAB, VK_BACK, VK_ESCAPE, VK_RETURN)])

    def test_ClipboardMode_PastesTheBurstAndLeavesItOnTheClipboard(self):
        s = self.session
        s.write_settings({"Settings": {"ClipboardMode": "1", "KeyboardMode": "0"}})
        device, sink = self.connect()
        device.send(r"Lot 42-\xE9t\xE9")
        wait_until(lambda: sink.pastes() == ["Lot 42-été"], 60, what="the paste in the sink")
        wait_until(lambda: sink.chars().endswith("\r"), 30, what="the Enter key after the paste")
        # The letters came by the paste, not typed one by one.
        self.assertNotIn("L", sink.chars())
        # Its Ctrl+V went with scan codes, as a keyboard sends it.
        self.assertEqual([k for k in sink.keydowns() if k[0] in (VK_CONTROL, VK_V)],
                         [(VK_CONTROL, SCAN[VK_CONTROL]), (VK_V, SCAN[VK_V])])
        self.assertEqual(s.wctl("clipboard").rstrip("\n"), "Lot 42-été")
        # Kept out of the clipboard history and the cloud clipboard.
        formats = s.wctl("clipboard-formats").split()
        self.assertIn("CanIncludeInClipboardHistory=0", formats)
        self.assertIn("CanUploadToCloudClipboard=0", formats)
        s.wait_log("Reçu: Lot 42-été", 30)

    def test_ClipboardMode_BusyTarget_GetsEachBurstOnceInOrder(self):
        s = self.session
        s.write_settings(CLIPBOARD)
        # An application that works 1.5 s after each Enter (saving the entry) before reading its queue.
        device, sink = self.connect(busy_after_enter_ms=1500)
        start = device.mark()
        for command in ("send AAA-1", "sleep 400", "send BBB-2", "sleep 400", "send CCC-3"):
            device.command(command)
        sent = wait_until(lambda: (lambda lines: lines if len(lines) == 3 else None)(
            [line for line in device.lines[start:] if line.startswith("sent ")]), 60, what="the three bursts sent")
        wait_until(lambda: len(sink.pastes()) == 3 and sink.chars().count("\r") == 3, 60,
                   what="three pastes and three Enter keys in the sink")
        self.assertEqual(sink.pastes(), ["AAA-1", "BBB-2", "CCC-3"])
        self.assertEqual(sink.chars(), "\x16\r" * 3)
        # The third burst came while the target had not read the second yet: it had to wait its turn.
        second_read = [t for t, e, _ in sink.events() if e == "paste"][1]
        self.assertLess(float(sent[2].split()[3]), second_read)
        messages = s.log_messages()
        self.assertEqual([m for m in messages if m.startswith("Données copiées et collées automatiquement: ")],
                         [f"Données copiées et collées automatiquement: {t}" for t in ("AAA-1", "BBB-2", "CCC-3")])
        self.assertEqual([m for m in messages if m.startswith("Données peut-être non collées")], [])

    def test_RestoreClipboard_UnreadPasteThenReadOne_TheOperatorsCopyComesBack(self):
        s = self.session
        s.write_settings({"Settings": {**CLIPBOARD["Settings"], "RestoreClipboard": "1"}})
        s.wctl("set-clipboard", "copie de l'opérateur")
        # The first Ctrl+V finds no edit field: nobody reads that paste.
        device, sink = self.connect(refuse_pastes=1)
        device.send("UNREAD-1")
        wait_until(lambda: any(e == "refused" for _, e, _ in sink.events()), 60, what="the first paste refused")
        # Clipboard managers are asked to leave the waiting paste alone.
        self.assertIn("Clipboard Viewer Ignore=0", s.wctl("clipboard-formats").splitlines())
        s.wait_log("Données peut-être non collées (Presse-papiers non lu après 5 s): UNREAD-1", 30)
        device.send("READ-2")
        wait_until(lambda: sink.pastes() == ["READ-2"], 60, what="the second paste in the sink")
        wait_until(lambda: s.wctl("clipboard").rstrip("\n") == "copie de l'opérateur", 30,
                   what="the operator's copy back on the clipboard")

    def test_HeldCtrl_BurstWaits_RefusedAfter10s_NextOneTypedPlainOnceReleased(self):
        s = self.session
        device, sink = self.connect()
        # The operator's Ctrl, pressed on the X keyboard: Wine's key state has it down.
        s.xdotool("keydown", "Control_L")
        self.addCleanup(s.xdotool, "keyup", "Control_L")
        wait_until(lambda: any(vk == VK_CONTROL for vk, _ in sink.keydowns()), 30, what="Ctrl down in the sink")

        device.send(r"M1\r\n")
        s.wait_log(MODIFIER_HELD, 60)
        self.assertEqual(sink.chars(), "")

        device.send(r"M2\r\n")
        s.wait_log("Reçu: M2\r\n", 30)
        self.assertEqual(sink.chars(), "")
        s.xdotool("keyup", "Control_L")
        # Letters and Enter keys, not Ctrl+M, Ctrl+2 and Ctrl+Enter.
        wait_until(lambda: sink.chars() == "M2\r\r\r", 60, what="M2 and three Enter keys in the sink")
        messages = s.log_messages()
        self.assertEqual(messages.count(MODIFIER_HELD), 1)
        self.assertInOrder(messages, ["Reçu: M1\r\n", MODIFIER_HELD, "Reçu: M2\r\n"])
        self.assertEqual([m for m in messages if m.startswith("Données non transmises")], [MODIFIER_HELD])

    def test_LayoutKeys_TypesTheLayoutsKeysWithScanCodesAndShift_ACharacterOfNoKeyStillArrives_CapsLockKeepsTheCase(self):
        s = self.session
        s.write_settings({"Settings": {"LayoutKeys": "1"}})
        device, sink = self.connect()
        device.send("Ab1;-")
        wait_until(lambda: sink.chars() == "Ab1;-\r", 60, what="Ab1;- and one Enter key in the sink")
        s.wait_log("Reçu: Ab1;-", 30)
        # The US layout's keys with their scan codes (set 1), Shift around the capital only.
        self.assertEqual(sink.keydowns(), [(VK_SHIFT, 0x2A), (ord("A"), 0x1E), (ord("B"), 0x30), (ord("1"), 0x02),
                                           (VK_OEM_1, 0x27), (VK_OEM_MINUS, 0x0C), (VK_RETURN, SCAN[VK_RETURN])])
        before = len(sink.keydowns())
        # No key of the layout gives é: it goes as a Unicode character, as without the option.
        device.send(r"caf\xE9")
        wait_until(lambda: sink.chars() == "Ab1;-\rcafé\r", 60, what="café and one Enter key in the sink")
        self.assertEqual([k for k in sink.keydowns()[before:] if k[0] != VK_PACKET],
                         [(ord("C"), 0x2E), (ord("A"), 0x1E), (ord("F"), 0x21), (VK_RETURN, SCAN[VK_RETURN])])
        # CapsLock on (pressed on the X keyboard): the letters still come in the case sent, Shift now
        # around the small one.
        s.xdotool("key", "Caps_Lock")
        self.addCleanup(s.xdotool, "key", "Caps_Lock")
        wait_until(lambda: (VK_CAPITAL, 0x3A) in sink.keydowns(), 30, what="CapsLock in the sink")
        before = len(sink.keydowns())
        device.send("Ab")
        wait_until(lambda: sink.chars() == "Ab1;-\rcafé\rAb\r", 60, what="Ab and one Enter key in the sink")
        self.assertEqual(sink.keydowns()[before:], [(ord("A"), 0x1E), (VK_SHIFT, 0x2A), (ord("B"), 0x30),
                                                    (VK_RETURN, SCAN[VK_RETURN])])


if __name__ == "__main__":
    import unittest
    unittest.main()
