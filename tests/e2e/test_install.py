"""The release under Wine: the setup program installs silently, the installed monitor runs once per
session and ends cleanly with /quit, an upgrade ends the running monitor (also one the setup cannot
see) and the monitor starts the new one, the uninstaller removes everything but the data folder, and
what stands in the data folder's place, or a second name in it for a file elsewhere, is moved aside.
What the setup refuses leaves the machine as it was: a /D= folder it does not trust (also an empty one
it did not make), a data folder it cannot move aside, a new program file it cannot write. Wine enforces no rights and its icacls is a stub: the rights themselves are left to the unit
tests of their rules. The release is built by the e2e_release fixture (scripts/release)."""

import os
import re
import shutil
import subprocess

from wine_env import (INSTALL_DIR, MONITOR_EXE, OTHER_INSTALL_DIR, RELEASE_DIR, RUN_KEY, RUN_VALUE, SHORTCUT,
                      SOURCE_DIR, UNINSTALL_KEY, WCTL_EXE, MonitorTestCase, to_wine_path, wait_until)
# The module, not the name: its test class would run here too.
import test_startup

START_UP = test_startup.START_UP
CONNECTED = "VOR-TIKA détecté et connecté sur COM3"
STARTED = START_UP[0]
LIVENESS = "Debug: Timer surveillance - Test de connexion active"
LIVENESS_PASSED = "Debug: Test de connexion réussi"
SHUTDOWN = ["Connexion fermée", "Surveillance des périphériques désactivée"]
REQUEST_KEY = r"HKLM\Software\VORTIKA"


def without_liveness(messages: list[str]) -> list[str]:
    return [m for m in messages if m not in (LIVENESS, LIVENESS_PASSED)]


def project_version() -> str:
    return re.search(r"project\(VORTikaMonitor VERSION (\d+\.\d+\.\d+)", (SOURCE_DIR / "CMakeLists.txt").read_text())[1]


def unquoted(option: str) -> list[str]:
    """NSIS takes /D= and _?= only unquoted, while Wine quotes an argument holding a blank: given as
    words, they reach the command line as one unquoted option."""
    return option.split(" ")


class InstallTest(MonitorTestCase):
    @classmethod
    def setUpClass(cls) -> None:
        cls.version = project_version()
        cls.setup_exe = RELEASE_DIR / f"VORTikaMonitor-{cls.version}-setup.exe"
        if not cls.setup_exe.exists():
            raise RuntimeError(f"missing {cls.setup_exe}: run scripts/release first")
        super().setUpClass()

    # ---- helpers --------------------------------------------------------------------------------

    def install(self, *options: str, expected: int = 0) -> None:
        result = self.session.run([str(self.setup_exe), "/S", *options], timeout=180)
        self.assertEqual(result.returncode, expected)

    def values(self, key: str) -> dict[str, tuple[str, str]]:
        return self.session.reg_values(key)

    def exe(self, folder: str = INSTALL_DIR) -> str:
        return folder + r"\VORTikaMonitor.exe"

    def start_installed(self):
        s = self.session
        s.monitor = s.spawn([self.exe()], "installed.out")
        return s.monitor

    def monitors(self) -> list[int]:
        return self.session.windows_processes("VORTikaMonitor.exe")

    def quit_installed(self, folder: str = INSTALL_DIR) -> None:
        """VORTikaMonitor.exe /quit: returns once the running monitor has ended."""
        result = self.session.run([self.exe(folder), "/quit"], timeout=60)
        self.assertEqual(result.returncode, 0)
        self.assertIn("missing", self.session.wctl("window-info", "TForm1", check=False))

    # ---- tests ----------------------------------------------------------------------------------

    def test_SilentInstall_WritesFilesShortcutRunValueUninstallEntryAndDataFolders(self):
        s = self.session
        self.install()

        folder = s.unix_path(INSTALL_DIR)
        self.assertEqual(sorted(p.name for p in folder.iterdir()), ["VORTikaMonitor.exe", "uninstall.exe"])
        self.assertEqual((folder / "VORTikaMonitor.exe").read_bytes(),
                         (RELEASE_DIR / "stage" / "VORTikaMonitor.exe").read_bytes())
        self.assertIn(self.exe().encode("ascii"), s.unix_path(SHORTCUT).read_bytes())
        self.assertEqual(self.values(RUN_KEY).get(RUN_VALUE), ("REG_SZ", f'"{self.exe()}"'))

        entry = self.values(UNINSTALL_KEY)
        uninstaller = f'"{INSTALL_DIR}\\uninstall.exe"'
        for name, expected in {"DisplayName": ("REG_SZ", "VOR-TIKA Monitor"),
                               "DisplayVersion": ("REG_SZ", self.version),
                               "Publisher": ("REG_SZ", "VORTIKA"),
                               "DisplayIcon": ("REG_SZ", f'"{self.exe()}",0'),
                               "UninstallString": ("REG_SZ", uninstaller),
                               "QuietUninstallString": ("REG_SZ", f"{uninstaller} /S _?={INSTALL_DIR}"),
                               "NoModify": ("REG_DWORD", "0x1"),
                               "NoRepair": ("REG_DWORD", "0x1")}.items():
            self.assertEqual(entry.get(name), expected, name)
        kind, size = entry["EstimatedSize"]
        self.assertEqual(kind, "REG_DWORD")
        self.assertGreater(int(size, 16), (folder / "VORTikaMonitor.exe").stat().st_size // 1024)

        self.assertTrue((s.data_dir() / "logs").is_dir())

    def test_InstalledMonitor_StartsOnce_SecondStartShowsIt_QuitEndsItConnectedWithItsShutdown(self):
        s = self.session
        self.install()
        s.emulator("COM3")
        first = self.start_installed()
        s.wait_log(CONNECTED, 120)
        self.assertEqual(s.log_messages()[:2], START_UP[:2])
        s.wait_monitor_window()
        self.assertIn("visible=0", s.wctl("window-info", "TForm1"))

        # A second start (with an argument it ignores) shows the running monitor and ends.
        before = s.log_messages()
        second = s.spawn([self.exe(), "/minimized"], "second.out")
        self.assertEqual(second.wait(60), 0)
        wait_until(lambda: "visible=1" in s.wctl("window-info", "TForm1"), 30, what="the shown main window")
        wait_until(lambda: s.wctl("foreground-class", check=False).strip() == "TForm1", 30, interval=0.3,
                   what="the main window in front")
        self.assertIsNone(first.poll())
        # Nothing logged by the second start (the connected port's periodic check may come between).
        self.assertEqual(without_liveness(s.log_messages()), without_liveness(before))

        self.quit_installed()
        self.assertEqual(first.wait(30), 0)
        s.monitor = None
        messages = s.log_messages()
        self.assertEqual(messages[-2:], SHUTDOWN)
        self.assertEqual(messages.count(STARTED), 1)
        self.assertEqual(s.read_settings()["Connection"]["Port"], "COM3")

        # /quit with no monitor running starts none.
        self.quit_installed()
        self.assertEqual(s.log_messages(), messages)

    def test_UpgradeOverRunningMonitor_EndsItCleanlyAndStartsTheNew_UninstallEndsItAndKeepsTheData(self):
        s = self.session
        self.install()
        exe = s.unix_path(self.exe())
        # Marks the installed program, so that the upgrade is seen replacing it.
        exe.write_bytes(exe.read_bytes() + b"previous version")
        s.emulator("COM3")
        old = self.start_installed()
        s.wait_log(CONNECTED, 120)

        self.install()
        self.assertEqual(old.wait(30), 0)
        s.monitor = None
        self.assertEqual(exe.read_bytes(), (RELEASE_DIR / "stage" / "VORTikaMonitor.exe").read_bytes())
        s.wait_log(CONNECTED, 120, count=2)
        self.assertInOrder(s.log_messages(), [STARTED, CONNECTED, *SHUTDOWN, STARTED, CONNECTED])
        s.wait_monitor_window()

        # The uninstaller as a deployment tool runs it: it returns when its work is done. Run in place,
        # it leaves only itself, deleted at the next restart.
        _, quiet = self.values(UNINSTALL_KEY)["QuietUninstallString"]
        command = re.fullmatch(r'"([^"]+)" (/S) (_\?=.+)', quiet)
        self.assertEqual(s.run([command[1], command[2], *unquoted(command[3])], timeout=60).returncode, 0)
        folder = s.unix_path(INSTALL_DIR)
        self.assertEqual([p.name for p in folder.iterdir()], ["uninstall.exe"])
        self.assertEqual(self.values(UNINSTALL_KEY), {})
        self.assertEqual(s.log_messages().count(SHUTDOWN[-1]), 2, "the new monitor ended before the return")
        self.assertEqual(s.log_messages()[-2:], SHUTDOWN)
        self.assertIn("missing", s.wctl("window-info", "TForm1", check=False))
        self.assertFalse(s.unix_path(SHORTCUT).exists())
        self.assertNotIn(RUN_VALUE, self.values(RUN_KEY))
        self.assertEqual(self.values(UNINSTALL_KEY), {})
        self.assertTrue(s.settings_path().is_file())
        self.assertTrue(s.log_files())

    def test_UpgradeAndUninstall_ReachAMonitorOnAnotherDesktop_TheUpgradedOneStartsAgainThere(self):
        s = self.session
        self.install()
        exe = s.unix_path(self.exe())
        exe.write_bytes(exe.read_bytes() + b"previous version")
        s.emulator("COM3")
        # A desktop of its own: the setup's FindWindow does not see it, as from session 0 on Windows.
        s.spawn(["explorer", "/desktop=autre,800x600", self.exe()], "autre.out")
        s.wait_log(CONNECTED, 120)
        self.assertIn("missing", s.wctl("window-info", "TForm1", check=False))

        self.install()
        self.assertEqual(exe.read_bytes(), (RELEASE_DIR / "stage" / "VORTikaMonitor.exe").read_bytes())
        s.wait_log(CONNECTED, 120, count=2)
        self.assertInOrder(s.log_messages(), [STARTED, CONNECTED, *SHUTDOWN, STARTED, CONNECTED])
        wait_until(lambda: len(self.monitors()) == 1, 30, what="one monitor")
        folder = s.unix_path(INSTALL_DIR)
        wait_until(lambda: sorted(p.name for p in folder.iterdir()) == ["VORTikaMonitor.exe", "uninstall.exe"], 30,
                   what="the old program file deleted")

        self.assertEqual(s.run([INSTALL_DIR + r"\uninstall.exe", "/S"], timeout=60).returncode, 0)
        wait_until(lambda: not folder.exists(), 60, what="the program folder removed")
        wait_until(lambda: not self.monitors(), 30, what="no monitor left")
        messages = s.log_messages()
        self.assertEqual(messages[-2:], SHUTDOWN)
        self.assertEqual(messages.count(STARTED), 2)

    def test_DataFolderThatIsNoFolder_IsMovedAsideAndANewOneMade(self):
        # What stands at the data folder's path is judged by its own attributes. A link (Wine shows a
        # Unix symbolic link as one) cannot be moved aside here: Wine's MoveFileExW moves its target.
        s = self.session
        s.data_dir().parent.mkdir(parents=True, exist_ok=True)
        s.data_dir().write_bytes(b"no folder")
        self.install()
        self.assertTrue((s.data_dir() / "logs").is_dir())
        aside = [p for p in s.data_dir().parent.iterdir() if p.name.startswith("VORTIKA.")]
        self.assertEqual([p.read_bytes() for p in aside], [b"no folder"])

    def test_OtherFolder_RunValueFollowsIt_UpgradeWithAutostartOffDeletesIt_UninstallWaitsWithItsFolder(self):
        s = self.session
        self.install(*unquoted(f"/D={OTHER_INSTALL_DIR}"))
        self.assertTrue(s.unix_path(self.exe(OTHER_INSTALL_DIR)).is_file())
        self.assertFalse(s.unix_path(INSTALL_DIR).exists())
        self.assertEqual(self.values(RUN_KEY).get(RUN_VALUE), ("REG_SZ", f'"{self.exe(OTHER_INSTALL_DIR)}"'))

        # An upgrade goes to the installed folder; unchecked, start at logon is removed.
        self.install("/AUTOSTART=0")
        self.assertFalse(s.unix_path(INSTALL_DIR).exists())
        self.assertNotIn(RUN_VALUE, self.values(RUN_KEY))
        self.assertEqual(self.values(UNINSTALL_KEY)["InstallLocation"], ("REG_SZ", OTHER_INSTALL_DIR))

        # Run from the install folder, the uninstaller waits but cannot remove itself.
        uninstaller = OTHER_INSTALL_DIR + r"\uninstall.exe"
        result = s.run([uninstaller, "/S", *unquoted(f"_?={OTHER_INSTALL_DIR}")], timeout=60)
        self.assertEqual(result.returncode, 0)
        self.assertEqual([p.name for p in s.unix_path(OTHER_INSTALL_DIR).iterdir()], ["uninstall.exe"])
        self.assertEqual(self.values(UNINSTALL_KEY), {})
        self.assertFalse(s.unix_path(SHORTCUT).exists())
        self.assertTrue((s.data_dir() / "logs").is_dir())

    def assertNothingInstalled(self) -> None:
        s = self.session
        self.assertFalse(s.unix_path(INSTALL_DIR).exists())
        self.assertEqual(self.values(UNINSTALL_KEY), {})
        self.assertNotIn(RUN_VALUE, self.values(RUN_KEY))
        self.assertFalse(s.unix_path(SHORTCUT).exists())
        self.assertEqual(self.values(REQUEST_KEY), {}, "the request is withdrawn")

    def test_DFolderItRefuses_InstallsNothing_ErrorLevel2(self):
        # A folder already holding files, and a folder under a link (Wine shows a Unix symbolic link as
        # one): the setup cannot tell who put them there. Rights and owners Wine does not enforce.
        s = self.session
        planted = s.unix_path(r"C:\Existant")
        elsewhere = s.unix_path(r"C:\Ailleurs")
        link = s.unix_path(r"C:\Lien")
        self.addCleanup(lambda: (link.unlink(missing_ok=True), shutil.rmtree(planted, ignore_errors=True),
                                 shutil.rmtree(elsewhere, ignore_errors=True)))
        planted.mkdir(parents=True)
        (planted / "version.dll").write_bytes(b"planted")
        elsewhere.mkdir()
        link.symlink_to(elsewhere)
        for folder in (r"C:\Existant", r"C:\Lien\VOR-TIKA"):
            self.install(*unquoted(f"/D={folder}"), expected=2)
            self.assertNothingInstalled()
        self.assertEqual([p.name for p in planted.iterdir()], ["version.dll"])
        self.assertEqual(list(elsewhere.iterdir()), [])

    def test_ExistingEmptyDFolderNotMadeByTheSetup_IsRefused_InstallsNothing_ErrorLevel2(self):
        # An empty folder made before the setup, as a user could (and keep open to change its rights):
        # not the installed version's own. Its owner and rights Wine does not enforce.
        s = self.session
        folder = s.unix_path(r"C:\Vide")
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        folder.mkdir()
        self.install(*unquoted(r"/D=C:\Vide"), expected=2)
        self.assertNothingInstalled()
        self.assertEqual(list(folder.iterdir()), [])

    def test_HardLinkInTheDataFolder_IsMovedAsideNotRePermissioned(self):
        # A second name in the data folder for a file elsewhere: moved aside under its own name, the
        # file it names left as it was; what the monitors write there stays.
        s = self.session
        s.data_dir().mkdir(parents=True)
        target = s.unix_path(r"C:\Cible.txt")
        self.addCleanup(target.unlink, missing_ok=True)
        target.write_bytes(b"elsewhere")
        os.link(target, s.settings_path())
        (s.data_dir() / "logs").mkdir()
        log = s.data_dir() / "logs" / "VORTikaMonitor_2026-01-01.log"
        log.write_bytes(b"kept")
        self.install()
        self.assertFalse(s.settings_path().exists())
        aside = [p for p in s.data_dir().iterdir() if p.name.startswith("VORTikaMonitor.ini.")]
        self.assertEqual([p.name.endswith(".ecarte") for p in aside], [True])
        self.assertTrue(aside[0].samefile(target))
        self.assertEqual(target.read_bytes(), b"elsewhere")
        self.assertEqual(log.read_bytes(), b"kept")

    def test_DataFolderThatCannotBeMovedAside_StopsTheSetup_ErrorLevel2(self):
        # A file in the data folder's place, held open without sharing deletion: it cannot be renamed.
        s = self.session
        s.data_dir().parent.mkdir(parents=True, exist_ok=True)
        s.data_dir().write_bytes(b"held")
        out = s.tmp / "hold-data.out"
        s.spawn([str(WCTL_EXE), "hold-file", to_wine_path(s.data_dir()), "600000", "read"], out.name)
        wait_until(lambda: out.exists() and "held" in out.read_text(errors="replace"), 60, what="the file held")
        self.install(expected=2)
        self.assertNothingInstalled()
        self.assertEqual(s.data_dir().read_bytes(), b"held")

    def test_DataFolderWhoseRightsCannotBeSet_StopsTheSetup_ErrorLevel2(self):
        # A data folder nothing can be changed in (immutable): the program's helper refuses to secure
        # it, and the setup does not go on without its rights.
        s = self.session
        s.data_dir().mkdir(parents=True)
        subprocess.run(["chattr", "+i", str(s.data_dir())], check=True, timeout=30)
        self.addCleanup(subprocess.run, ["chattr", "-i", str(s.data_dir())], timeout=30)
        self.install(expected=2)
        self.assertNothingInstalled()

    def test_UnknownOrMalformedSetupMode_EndsWithAnErrorAndStartsNothing(self):
        s = self.session
        for argv in (["/setup-unknown"], ["/setup-launch"], ["/SETUP-CAN-LAUNCH"], ["/minimized", "/setup-can-launch"]):
            self.assertEqual(s.run([str(MONITOR_EXE), *argv], timeout=60).returncode, 2, argv)
        self.assertIn("missing", s.wctl("window-info", "TForm1", check=False))
        self.assertFalse(s.data_dir().exists(), "no monitor ran: nothing logged")

    def test_UpgradeWhoseWriteFails_KeepsTheOldProgram_ItsMonitorStartsItAgain(self):
        s = self.session
        self.install()
        exe = s.unix_path(self.exe())
        old = exe.read_bytes() + b"previous version"
        exe.write_bytes(old)
        s.emulator("COM3")
        first = self.start_installed()
        s.wait_log(CONNECTED, 120)
        # The new file cannot be written where the setup puts it first.
        (s.unix_path(INSTALL_DIR) / "VORTikaMonitor.exe.new").mkdir()

        self.install(expected=2)
        self.assertEqual(first.wait(30), 0)
        s.monitor = None
        self.assertEqual(exe.read_bytes(), old)
        s.wait_log(CONNECTED, 120, count=2)
        self.assertInOrder(s.log_messages(), [STARTED, CONNECTED, *SHUTDOWN, STARTED, CONNECTED])
        wait_until(lambda: len(self.monitors()) == 1, 30, what="the old program running again")
        self.assertEqual(self.values(REQUEST_KEY), {})


if __name__ == "__main__":
    import unittest
    unittest.main()
