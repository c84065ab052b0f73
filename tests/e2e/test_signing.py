"""The signed release: with a throwaway authority's code-signing certificate, scripts/release signs the
program it packs, the uninstaller the setup writes, the setup and the MSI when there is one, and the
sums are of the signed files. Each is checked with osslsigncode against that authority; a copy with a
byte changed fails. The uninstaller is the one the signed setup writes under Wine. Wine's
WinVerifyTrust does not judge a root's trust, so the check of trust is osslsigncode's. Time-stamping
needs a time-stamp server and stays untested here."""

import os
import shutil
import subprocess
import tempfile
import unittest
import zipfile
from pathlib import Path

from wine_env import INSTALL_DIR, SOURCE_DIR, WCTL_EXE, MonitorTestCase

PASSWORD = "mot de passe"


def openssl(*args: str, cwd: Path) -> None:
    subprocess.run(["openssl", *args], cwd=cwd, check=True, capture_output=True)


def make_authority(folder: Path) -> None:
    """ca.pem, and sign.p12: a code-signing certificate it issued with its key, valid for two days."""
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem", "-days", "2",
            "-subj", "/CN=Throwaway test authority", "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign", cwd=folder)
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", "sign.key", "-out", "sign.csr",
            "-subj", "/CN=Throwaway test signer", cwd=folder)
    (folder / "ext.cnf").write_text("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n"
                                    "extendedKeyUsage=codeSigning\n")
    openssl("x509", "-req", "-in", "sign.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
            "-days", "2", "-extfile", "ext.cnf", "-out", "sign.pem", cwd=folder)
    openssl("pkcs12", "-export", "-inkey", "sign.key", "-in", "sign.pem", "-certfile", "ca.pem",
            "-out", "sign.p12", "-passout", f"pass:{PASSWORD}", cwd=folder)


class SigningTest(MonitorTestCase):
    def verify(self, path: Path, ca: Path) -> subprocess.CompletedProcess:
        return subprocess.run(["osslsigncode", "verify", "-CAfile", str(ca), "-in", str(path)],
                              capture_output=True, text=True)

    def assertSignedBy(self, path: Path, ca: Path) -> None:
        result = self.verify(path, ca)
        self.assertEqual(result.returncode, 0, f"{path.name}:\n{result.stdout}{result.stderr}")
        self.assertIn("Text description: VOR-TIKA Monitor", result.stdout)
        changed = path.with_name("changed-" + path.name)
        data = bytearray(path.read_bytes())
        data[len(data) // 3] ^= 0x01
        changed.write_bytes(data)
        self.assertNotEqual(self.verify(changed, ca).returncode, 0, f"{path.name} with a byte changed")

    def release(self, out: Path, **sign: str) -> subprocess.CompletedProcess:
        env = {k: v for k, v in os.environ.items() if not k.startswith("VORTIKA_SIGN_")}
        env.update(sign, VORTIKA_RELEASE_DIR=str(out))
        return subprocess.run(["bash", "scripts/release"], cwd=SOURCE_DIR, env=env, capture_output=True, text=True,
                              timeout=900)

    def test_SignedRelease_ProgramUninstallerSetupVerifyAgainstTheAuthority_SumsOfTheSignedFiles(self):
        work = Path(tempfile.mkdtemp(prefix="vortika-signing-", dir=self.session.tmp))
        make_authority(work)
        ca, p12 = work / "ca.pem", work / "sign.p12"
        out = work / "release"

        result = self.release(out, VORTIKA_SIGN_PKCS12=str(p12), VORTIKA_SIGN_PASSWORD=PASSWORD)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertNotIn("release: unsigned", result.stdout)

        setup = next(out.glob("VORTikaMonitor-*-setup.exe"))
        archive = next(out.glob("VORTikaMonitor-*-win64.zip"))
        program = work / "VORTikaMonitor.exe"
        program.write_bytes(zipfile.ZipFile(archive).read("VORTikaMonitor.exe"))
        self.assertEqual(program.read_bytes(), (out / "stage" / "VORTikaMonitor.exe").read_bytes())
        self.assertSignedBy(program, ca)
        self.assertSignedBy(setup, ca)
        for msi in out.glob("VORTikaMonitor-*-x64.msi"):
            self.assertSignedBy(msi, ca)
        subprocess.run(["sha256sum", "--check", "--strict", "SHA256SUMS"], cwd=out, check=True, capture_output=True)

        # The uninstaller, as the signed setup writes it; the setup still runs once signed.
        self.assertEqual(self.session.run([str(setup), "/S"], timeout=180).returncode, 0)
        installed = self.session.unix_path(INSTALL_DIR)
        self.assertEqual((installed / "VORTikaMonitor.exe").read_bytes(), program.read_bytes())
        uninstaller = work / "uninstall.exe"
        uninstaller.write_bytes((installed / "uninstall.exe").read_bytes())
        self.assertSignedBy(uninstaller, ca)


class UnusableCertificateTest(unittest.TestCase):
    def test_CertificateGivenButUnusable_FailsAndLeavesTheFileAsItWas(self):
        work = Path(tempfile.mkdtemp(prefix="vortika-signing-"))
        self.addCleanup(shutil.rmtree, work)
        make_authority(work)
        target = work / "target.exe"
        original = WCTL_EXE.read_bytes()
        target.write_bytes(original)
        env = {k: v for k, v in os.environ.items() if not k.startswith("VORTIKA_SIGN_")}
        for name, sign, message in [
                ("wrong password", {"VORTIKA_SIGN_PKCS12": str(work / "sign.p12"), "VORTIKA_SIGN_PASSWORD": "faux"},
                 "release: signing "),
                ("missing file", {"VORTIKA_SIGN_PKCS12": str(work / "absent.p12"), "VORTIKA_SIGN_PASSWORD": PASSWORD},
                 "release: VORTIKA_SIGN_PKCS12 names no readable file: ")]:
            with self.subTest(name):
                result = subprocess.run(["bash", "scripts/release", "--sign", str(target)], cwd=SOURCE_DIR,
                                        env={**env, **sign}, capture_output=True, text=True, timeout=60)
                self.assertEqual(result.returncode, 1, result.stdout + result.stderr)
                self.assertIn(message, result.stderr)
                self.assertEqual(target.read_bytes(), original)
                self.assertEqual(sorted(p.name for p in work.iterdir() if p.name.startswith(".")), [])
