"""The Windows Installer package under Wine's msiexec, silent as deployment tools run it: it installs
what the setup program installs, upgrades an older package while a monitor runs (the monitor ends and
starts the new program), refuses a downgrade, uninstalls, and refuses to install over the setup
program's installation, which refuses in turn to install over the package's. Exit codes are read
through cmd (bash sees them modulo 256). Wine puts a per-machine shortcut in the user's Start menu,
and elevation and sessions do not exist there. The release is built by the e2e_release fixture;
the older package is built here from the same program file with a lower version."""

import re
import shutil
import subprocess

from wine_env import (EVENT_SOURCE_KEY, INSTALL_DIR, MSI_INSTALL_DIR, MSI_REFUSED_DIR, RELEASE_DIR, RUN_KEY, RUN_VALUE, SOURCE_DIR,
                      UNINSTALL_KEY, MonitorTestCase, to_wine_path, wait_until)
import test_install

CONNECTED = test_install.CONNECTED
STARTED = test_install.STARTED
SHUTDOWN = test_install.SHUTDOWN
PACKAGE_KEY = r"HKLM\Software\VOR-TIKA Monitor"
SUCCESS, FAILURE, UNKNOWN_PRODUCT = 0, 1603, 1605


def product_code(package) -> str:
    properties = subprocess.run(["msiinfo", "export", str(package), "Property"], check=True, timeout=60,
                                capture_output=True, text=True).stdout
    return re.search(r"^ProductCode\t(\{[0-9A-F-]{36}\})$", properties, re.M)[1]


def older(version: str) -> str:
    """A lower version: the last part above zero one less, the ones after it zero."""
    parts = [int(p) for p in version.split(".")]
    at = max(i for i, p in enumerate(parts) if p > 0)
    parts[at] -= 1
    return ".".join(str(p) for p in parts[:at + 1] + [0] * (len(parts) - at - 1))


class MsiTest(MonitorTestCase):
    @classmethod
    def setUpClass(cls) -> None:
        cls.version = test_install.project_version()
        cls.package = RELEASE_DIR / f"VORTikaMonitor-{cls.version}-x64.msi"
        cls.setup_exe = RELEASE_DIR / f"VORTikaMonitor-{cls.version}-setup.exe"
        for path in (cls.package, cls.setup_exe):
            if not path.exists():
                raise RuntimeError(f"missing {path}: run scripts/release first")
        super().setUpClass()
        cls.older_version = older(cls.version)
        cls.older_package = cls.session.tmp / f"VORTikaMonitor-{cls.older_version}-x64.msi"
        subprocess.run(["bash", str(SOURCE_DIR / "scripts" / "build-msi"), str(RELEASE_DIR / "stage" / "VORTikaMonitor.exe"),
                        cls.older_version, str(cls.older_package)], check=True, timeout=300,
                       stdout=subprocess.DEVNULL)

    # ---- helpers --------------------------------------------------------------------------------

    def msiexec(self, *args: str) -> int:
        """msiexec /qn with a verbose log; its exit code, whole."""
        s = self.session
        self.runs = getattr(self, "runs", 0) + 1
        log = s.tmp / f"msiexec-{self.runs}.log"
        line = " ".join(["msiexec", *args, "/qn", "/l*v", to_wine_path(log)])
        result = s.run(["cmd", "/c", f"{line} & echo %ERRORLEVEL%"], timeout=300)
        return int(result.stdout.decode("ascii", "replace").split()[-1])

    def values(self, key: str) -> dict[str, tuple[str, str]]:
        return self.session.reg_values(key)

    def entries(self) -> list[dict[str, tuple[str, str]]]:
        """The entries in Programs and Features: the package's (under its product code), then the
        setup program's."""
        keys = self.session.package_entries() + ([UNINSTALL_KEY] if self.values(UNINSTALL_KEY) else [])
        return [self.values(key) for key in keys]

    def exe(self, folder: str = INSTALL_DIR) -> str:
        return folder + r"\VORTikaMonitor.exe"

    def monitors(self) -> list[int]:
        return self.session.windows_processes("VORTikaMonitor.exe")

    def assertInstalled(self, version: str, folder: str = INSTALL_DIR, autostart: bool = True) -> None:
        s = self.session
        self.assertEqual(sorted(p.name for p in s.unix_path(folder).iterdir()), ["VORTikaMonitor.exe"])
        self.assertEqual(s.unix_path(self.exe(folder)).read_bytes(),
                         (RELEASE_DIR / "stage" / "VORTikaMonitor.exe").read_bytes())
        self.assertEqual(self.values(RUN_KEY).get(RUN_VALUE), ("REG_SZ", f'"{self.exe(folder)}"') if autostart else None)
        entries = self.entries()
        self.assertEqual(len(entries), 1, entries)
        self.assertEqual(entries[0].get("DisplayVersion"), ("REG_SZ", version))
        self.assertEqual(entries[0].get("Publisher"), ("REG_SZ", "VORTIKA"))
        self.assertEqual(entries[0].get("InstallLocation"), ("REG_SZ", folder + "\\"))
        source = self.values(EVENT_SOURCE_KEY)
        self.assertEqual(source.get("EventMessageFile"), ("REG_EXPAND_SZ", self.exe(folder)))
        self.assertEqual(source.get("TypesSupported"), ("REG_DWORD", "0x7"))
        self.assertTrue((s.data_dir() / "logs").is_dir())

    def assertRemoved(self, folder: str = INSTALL_DIR) -> None:
        s = self.session
        self.assertFalse(s.unix_path(folder).exists())
        self.assertEqual(self.entries(), [])
        self.assertNotIn(RUN_VALUE, self.values(RUN_KEY))
        self.assertEqual(self.values(EVENT_SOURCE_KEY), {})
        self.assertEqual(self.values(PACKAGE_KEY), {})
        self.assertEqual(s.shortcuts(), [])

    # ---- tests ----------------------------------------------------------------------------------

    def test_InstallWithAutostartAndWithout_OtherFolderRemembered_UninstallKeepsTheData_UnsecurableDataFolderRollsBack(self):
        s = self.session
        self.assertEqual(self.msiexec("/i", to_wine_path(self.package)), SUCCESS)
        self.assertInstalled(self.version)
        self.assertEqual(len(s.shortcuts()), 1)
        self.assertIn(self.exe().encode("ascii"), s.shortcuts()[0].read_bytes())
        self.assertEqual(self.msiexec("/x", to_wine_path(self.package)), SUCCESS)
        self.assertRemoved()
        self.assertTrue((s.data_dir() / "logs").is_dir(), "the data folder stays")
        self.assertEqual(self.msiexec("/x", product_code(self.package)), UNKNOWN_PRODUCT)

        # Outside Program Files: refused, nothing installed.
        self.assertEqual(self.msiexec("/i", to_wine_path(self.package), f"INSTALLFOLDER={MSI_REFUSED_DIR}\\"),
                         FAILURE)
        self.assertRemoved(MSI_REFUSED_DIR)

        # Elsewhere in Program Files and without start at logon; the removal finds the folder again.
        # Wine's msiexec puts a \ before a quoted property's value, and the folder has a space: it
        # comes as an upgrade finds it, from the value the package keeps.
        s.reg("add", PACKAGE_KEY, "/v", "InstallFolder", "/t", "REG_SZ", "/d", MSI_INSTALL_DIR + "\\", "/f")
        self.assertEqual(self.msiexec("/i", to_wine_path(self.package), "AUTOSTART=0"), SUCCESS)
        self.assertInstalled(self.version, MSI_INSTALL_DIR, autostart=False)
        self.assertFalse(s.unix_path(INSTALL_DIR).exists())
        self.assertEqual(self.msiexec("/x", to_wine_path(self.package)), SUCCESS)
        self.assertRemoved(MSI_INSTALL_DIR)

        # An empty data folder nothing can be changed in (immutable): its logs\ cannot be made, the
        # program's helper finds no folder to secure and refuses, the install fails and is rolled
        # back. Windows reports 1603; Wine's msiexec reports the failed custom action as 1627.
        shutil.rmtree(s.data_dir())
        s.data_dir().mkdir()
        subprocess.run(["chattr", "+i", str(s.data_dir())], check=True, timeout=30)
        self.addCleanup(subprocess.run, ["chattr", "-i", str(s.data_dir())], timeout=30)
        self.assertIn(self.msiexec("/i", to_wine_path(self.package)), (FAILURE, 1627))
        self.assertRemoved()

    def test_UpgradeOverRunningMonitor_OneEntryNewProgramRuns_DowngradeRefused1603(self):
        s = self.session
        self.assertEqual(self.msiexec("/i", to_wine_path(self.older_package)), SUCCESS)
        self.assertInstalled(self.older_version)
        s.emulator("COM3")
        old = s.spawn([self.exe()], "installed.out")
        s.wait_log(CONNECTED, 120)
        (first,) = self.monitors()

        self.assertEqual(self.msiexec("/i", to_wine_path(self.package)), SUCCESS)
        self.assertEqual(old.wait(60), 0)
        self.assertInstalled(self.version)
        s.wait_log(CONNECTED, 120, count=2)
        self.assertInOrder(s.log_messages(), [STARTED, CONNECTED, *SHUTDOWN, STARTED, CONNECTED])
        running = wait_until(lambda: self.monitors() if len(self.monitors()) == 1 else None, 30, what="one monitor")
        self.assertNotEqual(running, [first])
        self.assertEqual(self.values(r"HKLM\Software\VORTIKA\VORTikaMonitor"), {}, "no request left")

        self.assertEqual(self.msiexec("/i", to_wine_path(self.older_package)), FAILURE)
        self.assertInstalled(self.version)
        self.assertEqual(self.monitors(), running)

        # The removal ends the monitor, which finds no program to start again.
        self.assertEqual(self.msiexec("/x", to_wine_path(self.package)), SUCCESS)
        wait_until(lambda: not self.monitors(), 30, what="no monitor left")
        self.assertEqual(s.log_messages()[-2:], SHUTDOWN)
        self.assertRemoved()

    def test_PackageAndSetup_EachRefusesWhileTheOthersInstallationIsThere(self):
        s = self.session
        self.assertEqual(s.run([str(self.setup_exe), "/S"], timeout=180).returncode, 0)
        self.assertEqual(self.msiexec("/i", to_wine_path(self.package)), FAILURE)
        self.assertEqual(self.entries()[0].get("UninstallString"), ("REG_SZ", f'"{INSTALL_DIR}\\uninstall.exe"'))
        self.assertEqual(len(self.entries()), 1)
        self.assertEqual(self.values(PACKAGE_KEY), {})
        uninstaller = s.run([INSTALL_DIR + r"\uninstall.exe", "/S", *test_install.unquoted(f"_?={INSTALL_DIR}")],
                            timeout=120)
        self.assertEqual(uninstaller.returncode, 0)
        self.assertEqual(self.entries(), [])
        # Run in place, the uninstaller leaves itself until the next restart.
        s.unix_path(INSTALL_DIR + r"\uninstall.exe").unlink()

        self.assertEqual(self.msiexec("/i", to_wine_path(self.package)), SUCCESS)
        self.assertEqual(s.run([str(self.setup_exe), "/S"], timeout=180).returncode, 2)
        self.assertInstalled(self.version)
        self.assertNotIn("UninstallString", self.values(UNINSTALL_KEY))


if __name__ == "__main__":
    import unittest
    unittest.main()
