#!/usr/bin/env python3
"""Signing a catalogue and serving its signatures, end to end: scripts/sign-packages
with minisign on a folder of packages (signing, re-signing only what changed,
its errors), then quillary-service and nginx (scripts/serve-catalogue) over
that folder: the reply's `minisig` of every signed package and of no other,
and the .minisig files downloaded from both.

usage: package_signing_test.py QUILLARY_SERVICE SIGN_PACKAGES MAKE_SAMPLE_CATALOGUE SERVE_CATALOGUE SAMPLE_PUBLIC_KEY
"""

import base64
import hashlib
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import xml.etree.ElementTree as ET
import zipfile
import zlib

SERVICE = SIGN = MAKE_CATALOGUE = SERVE = PUBLIC_KEY = None

DISPLAY = "veltrix_display_9.17.10.2932.zip"
AUDIO = "auralis_hdaudio_6.0.1.6662.zip"
NETWORK = "norvik_lan_7.4.1.2010.zip"
CAMERA = "lumora_uvc_generic_1.0.0.4.zip"  # stays unsigned

# One device per package above, with the ID its package's INF names.
DEVICES = [
    ("PCI\\VEN_1F4A&DEV_2140&SUBSYS_00121F4A&REV_A1", "PCI\\VEN_1F4A&DEV_2140&SUBSYS_00121F4A"),
    ("HDAUDIO\\FUNC_01&VEN_15A7&DEV_0262&SUBSYS_1F4A0012&REV_1002", "HDAUDIO\\FUNC_01&VEN_15A7&DEV_0262&SUBSYS_1F4A0012"),
    ("PCI\\VEN_1E0B&DEV_4A21&SUBSYS_4A211E0B&REV_06", "PCI\\VEN_1E0B&DEV_4A21"),
    ("USB\\VID_2A1E&PID_0C11&MI_00", "USB\\Class_0E&SubClass_03"),
]


def sha256_of(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def read(path):
    with open(path, "rb") as f:
        return f.read()


def sign(folder, *options, password=None, env=None):
    """Runs sign-packages; returns (exit code, stdout lines, stderr)."""
    result = subprocess.run([SIGN, folder, *options], input=password, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, text=True, env=env, timeout=120)
    return result.returncode, result.stdout.splitlines(), result.stderr


def verified_comment(package, public_key=None):
    """The trusted comment of PACKAGE.minisig as minisign verifies it (prehashed only), or None."""
    result = subprocess.run(["minisign", "-V", "-H", "-Q", "-p", public_key or PUBLIC_KEY, "-m", package],
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    return result.stdout.rstrip("\n") if result.returncode == 0 else None


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def http(port, request):
    """Sends a whole request; returns (status, head, body)."""
    with socket.create_connection(("127.0.0.1", port), timeout=20) as s:
        s.sendall(request)
        answer = b""
        while chunk := s.recv(65536):
            answer += chunk
    head, _, body = answer.partition(b"\r\n\r\n")
    return int(head[9:12]), head.decode("latin-1"), body


def get(port, path):
    return http(port, f"GET {path} HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n".encode())


def query(port):
    """The update query for the four devices; returns {package file name: [item elements]}."""
    hardware = "".join(f"<hardware><id><![CDATA[{device}]]></id><hardids><![CDATA[{hardware_id}]]></hardids>"
                       "</hardware>" for device, hardware_id in DEVICES)
    document = ('<?xml version="1.0" encoding="UTF-8" ?>\n<driversm><client version="" os="WIN764" lang="437"/>'
                f"<hardwares>{hardware}</hardwares></driversm>").encode()
    body = (b"--q\r\nContent-Disposition: form-data; name=\"driversm\"\r\n\r\n" + zlib.compress(document) +
            b"\r\n--q--\r\n")
    status, _, reply = http(port, f"POST / HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\nConnection: close\r\nContent-Type: "
                                  f"multipart/form-data; boundary=q\r\nContent-Length: {len(body)}\r\n\r\n".encode()
                            + body)
    assert status == 200, reply
    items = {}
    for item in ET.fromstring(reply).iter("item"):
        items.setdefault(item.find("link").text.rsplit("/", 1)[1], []).append(item)
    return items


class service_process:
    """quillary-service over the folder on a free port of 127.0.0.1."""

    def __init__(self, folder):
        self.process = subprocess.Popen([SERVICE, "--catalogue", folder, "--listen", "127.0.0.1:0", "--quiet"],
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        line = self.process.stdout.readline()
        match = re.fullmatch(r"quillary-service: listening on http://127\.0\.0\.1:(\d+)/\n", line)
        if not match:
            self.process.kill()
            raise AssertionError(f"no ready line: {line!r} {self.process.stderr.read()}")
        self.port = int(match.group(1))

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        self.process.wait(timeout=10)
        stderr = self.process.stderr.read()
        self.process.stdout.close()
        self.process.stderr.close()
        return stderr


class PackageSigning(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if shutil.which("minisign") is None:
            raise AssertionError("minisign is not installed (scripts/setup installs it)")
        cls.work = tempfile.mkdtemp(prefix="quillary-signing-")
        os.chmod(cls.work, 0o755)  # nginx's workers may run as another user
        cls.sample = os.path.join(cls.work, "sample")
        subprocess.run([MAKE_CATALOGUE, cls.sample], check=True, stdout=subprocess.DEVNULL)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def folder_of(self, name, *packages):
        folder = os.path.join(self.work, name)
        os.makedirs(folder)
        for package in packages:
            shutil.copy(os.path.join(self.sample, package), folder)
        return folder

    def assert_signed(self, folder, name, not_before):
        """PACKAGE.minisig: minisign's four lines, prehashed, verified by the
        sample public key, with exactly the trusted comment of the contract."""
        package = os.path.join(folder, name)
        lines = read(package + ".minisig").decode().split("\n")
        self.assertEqual(len(lines), 5, lines)  # four lines, each ended
        self.assertTrue(lines[0].startswith("untrusted comment: "))
        self.assertEqual(base64.b64decode(lines[1], validate=True)[:2], b"ED", "the prehashed format")
        comment = verified_comment(package)
        self.assertIsNotNone(comment, f"minisign -V refuses {name}")
        self.assertEqual(lines[2], "trusted comment: " + comment)
        match = re.fullmatch(r"timestamp:(\d+)\tfile:([^\t]+)\tsha256:([0-9a-f]{64})", comment)
        self.assertIsNotNone(match, comment)
        self.assertTrue(not_before <= int(match.group(1)) <= time.time() + 1, comment)
        self.assertEqual(match.group(2), name)
        self.assertEqual(match.group(3), sha256_of(package))

    # --- sign-packages ------------------------------------------------------

    def test_signs_every_package_then_only_those_added_or_changed(self):
        folder = self.folder_of("signing", DISPLAY, AUDIO)
        with open(os.path.join(folder, "catalogue.json"), "w") as f:
            f.write("{}")  # not a package: not signed
        start = int(time.time())
        code, lines, stderr = sign(folder, "--sample")
        self.assertEqual(code, 0, stderr)
        self.assertEqual(lines, [f"signed {AUDIO}", f"signed {DISPLAY}"])
        self.assertIn("SAMPLE key", stderr)
        for name in (AUDIO, DISPLAY):
            self.assert_signed(folder, name, start)
        self.assertFalse(os.path.exists(os.path.join(folder, "catalogue.json.minisig")))
        self.assertEqual(sorted(os.listdir(folder)), sorted([AUDIO, AUDIO + ".minisig", DISPLAY, DISPLAY + ".minisig",
                                                             "catalogue.json"]), "no temporary file left")

        code, lines, _ = sign(folder, "--sample")
        self.assertEqual((code, lines), (0, [f"kept {AUDIO}", f"kept {DISPLAY}"]))

        # A third package, and one replaced by a new build of itself.
        display_signature = read(os.path.join(folder, DISPLAY + ".minisig"))
        audio_signature = read(os.path.join(folder, AUDIO + ".minisig"))
        shutil.copy(os.path.join(self.sample, NETWORK), folder)
        with zipfile.ZipFile(os.path.join(folder, AUDIO), "a") as archive:
            archive.writestr("release-notes.txt", "rebuilt")
        self.assertIsNone(verified_comment(os.path.join(folder, AUDIO)), "the old signature no longer fits")
        code, lines, stderr = sign(folder, "--sample")
        self.assertEqual(code, 0, stderr)
        self.assertEqual(lines, [f"signed {AUDIO}", f"signed {NETWORK}", f"kept {DISPLAY}"])
        self.assertEqual(read(os.path.join(folder, DISPLAY + ".minisig")), display_signature, "kept as it was")
        self.assertNotEqual(read(os.path.join(folder, AUDIO + ".minisig")), audio_signature)
        for name in (AUDIO, DISPLAY, NETWORK):
            self.assert_signed(folder, name, start)

        # A signature that verifies but names another file (a copy of a
        # package under a new name, its signature copied with it), one
        # that is not a signature, and one of the legacy format, which the
        # program does not take: each is made again.
        copy = "veltrix_display_copy.zip"
        shutil.copy(os.path.join(folder, DISPLAY), os.path.join(folder, copy))
        shutil.copy(os.path.join(folder, DISPLAY + ".minisig"), os.path.join(folder, copy + ".minisig"))
        self.assertIsNotNone(verified_comment(os.path.join(folder, copy)))
        with open(os.path.join(folder, NETWORK + ".minisig"), "w") as f:
            f.write("not a signature\n")
        os.remove(os.path.join(folder, AUDIO + ".minisig"))
        legacy = subprocess.run(["minisign", "-S", "-l", "-W", "-s", PUBLIC_KEY[:-4] + ".key", "-m",
                                 os.path.join(folder, AUDIO), "-t",
                                 f"timestamp:1\tfile:{AUDIO}\tsha256:{sha256_of(os.path.join(folder, AUDIO))}"],
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        self.assertEqual(legacy.returncode, 0, legacy.stdout)
        code, lines, stderr = sign(folder, "--sample")
        self.assertEqual(code, 0, stderr)
        self.assertEqual(lines, [f"signed {AUDIO}", f"signed {NETWORK}", f"kept {DISPLAY}", f"signed {copy}"])
        for name in (AUDIO, DISPLAY, NETWORK, copy):
            self.assert_signed(folder, name, start)

    def test_a_password_protected_key_asks_once_and_a_wrong_password_signs_nothing(self):
        keys = os.path.join(self.work, "keys")
        os.makedirs(keys)
        secret, public = os.path.join(keys, "publisher.key"), os.path.join(keys, "publisher.pub")
        made = subprocess.run(["minisign", "-G", "-p", public, "-s", secret], input="s3cret pass\ns3cret pass\n",
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        self.assertEqual(made.returncode, 0, made.stdout)
        folder = self.folder_of("protected", DISPLAY, AUDIO)

        code, lines, stderr = sign(folder, "--key", secret, password="wrong\n")
        self.assertEqual(code, 1)
        self.assertIn("wrong password", stderr)
        self.assertEqual(lines, [])
        self.assertEqual(sorted(os.listdir(folder)), sorted([AUDIO, DISPLAY]))

        # The public key recreated from the secret one checks the result.
        start = int(time.time())
        code, lines, stderr = sign(folder, "--key", secret, password="s3cret pass\n")
        self.assertEqual(code, 0, stderr)
        self.assertEqual(lines, [f"signed {AUDIO}", f"signed {DISPLAY}"])
        for name in (AUDIO, DISPLAY):
            self.assertIsNotNone(verified_comment(os.path.join(folder, name), public))
            self.assertIsNone(verified_comment(os.path.join(folder, name)), "not the sample key's")
        # With the public key given, nothing to sign needs no password.
        code, lines, stderr = sign(folder, "--key", secret, "--pub", public, password="")
        self.assertEqual((code, lines), (0, [f"kept {AUDIO}", f"kept {DISPLAY}"]), stderr)
        # Signatures of another key are made again with this one.
        code, lines, stderr = sign(folder, "--sample")
        self.assertEqual((code, lines), (0, [f"signed {AUDIO}", f"signed {DISPLAY}"]), stderr)
        for name in (AUDIO, DISPLAY):
            self.assert_signed(folder, name, start)
        # A public key that is not the secret key's: the first signature
        # made does not verify, and the script stops before keeping it.
        os.remove(os.path.join(folder, DISPLAY + ".minisig"))
        code, lines, stderr = sign(folder, "--key", PUBLIC_KEY[:-4] + ".key", "--pub", public)
        self.assertEqual(code, 1)
        self.assertIn("does not verify", stderr)
        self.assertFalse(os.path.exists(os.path.join(folder, DISPLAY + ".minisig")))

    def test_errors_are_one_clear_line_and_not_zero(self):
        folder = self.folder_of("errors", DISPLAY)
        code, _, stderr = sign(folder)
        self.assertEqual(code, 2)
        self.assertIn("--key", stderr)
        code, _, stderr = sign(os.path.join(self.work, "no-such-folder"), "--sample")
        self.assertEqual(code, 1)
        self.assertIn("no folder", stderr)
        code, _, stderr = sign(folder, "--key", os.path.join(self.work, "no-such.key"))
        self.assertEqual(code, 1)
        self.assertIn("cannot read the secret key", stderr)
        not_a_key = os.path.join(self.work, "not-a.key")
        with open(not_a_key, "w") as f:
            f.write("untrusted comment: x\nbm90IGEga2V5\n")
        code, _, stderr = sign(folder, "--key", not_a_key)
        self.assertEqual(code, 1)
        self.assertIn("not a minisign secret key", stderr)
        # Every tool the script needs but minisign.
        tools = os.path.join(self.work, "tools")
        os.makedirs(tools)
        for tool in ("bash", "dirname", "basename", "head", "sed", "base64", "od", "tr", "mktemp", "rm", "sha256sum",
                     "cut", "stat", "date", "mv"):
            os.symlink(shutil.which(tool), os.path.join(tools, tool))
        code, _, stderr = sign(folder, "--sample", env={"PATH": tools})
        self.assertEqual(code, 1)
        self.assertIn("minisign is not installed", stderr)
        self.assertEqual(os.listdir(folder), [DISPLAY])

    # --- Serving the signatures ---------------------------------------------

    def test_the_service_and_nginx_carry_the_signatures_of_signed_packages_only(self):
        folder = self.folder_of("served", DISPLAY, AUDIO, NETWORK)
        code, _, stderr = sign(folder, "--sample")
        self.assertEqual(code, 0, stderr)
        shutil.copy(os.path.join(self.sample, CAMERA), folder)  # added after signing: unsigned
        signatures = {name: read(os.path.join(folder, name + ".minisig")) for name in (DISPLAY, AUDIO, NETWORK)}

        def check_reply(items, signatures):
            self.assertEqual(set(items), {DISPLAY, AUDIO, NETWORK, CAMERA})
            for name, offers in items.items():
                for item in offers:
                    minisig = item.findall("minisig")
                    if name not in signatures:
                        self.assertEqual(minisig, [], name)
                        continue
                    self.assertEqual(len(minisig), 1, name)
                    self.assertEqual(minisig[0].text, base64.b64encode(signatures[name]).decode(), name)
                    self.assertEqual(base64.b64decode(minisig[0].text, validate=True), signatures[name])
                    self.assertEqual([child.tag for child in item][-2:], ["sha256", "minisig"])

        service = service_process(folder)
        try:
            check_reply(query(service.port), signatures)
            for name, signature in signatures.items():
                status, head, body = get(service.port, f"/packages/{name}.minisig")
                self.assertEqual((status, body), (200, signature), name)
                self.assertIn("Content-Type: text/plain", head)
            self.assertEqual(get(service.port, f"/packages/{CAMERA}.minisig")[0], 404)

            # Signed again (a new timestamp) and read again on SIGHUP: the
            # new signature, though the package is the same.
            os.remove(os.path.join(folder, DISPLAY + ".minisig"))
            time.sleep(1.1)
            code, lines, stderr = sign(folder, "--sample")
            self.assertEqual(code, 0, stderr)
            self.assertIn(f"signed {DISPLAY}", lines)
            self.assertIn(f"signed {CAMERA}", lines)
            fresh = {name: read(os.path.join(folder, name + ".minisig")) for name in (DISPLAY, AUDIO, NETWORK, CAMERA)}
            self.assertNotEqual(fresh[DISPLAY], signatures[DISPLAY])
            service.process.send_signal(signal.SIGHUP)
            deadline = time.time() + 10
            while time.time() < deadline and get(service.port, f"/packages/{CAMERA}.minisig")[0] != 200:
                time.sleep(0.1)
            check_reply(query(service.port), fresh)
            self.assertEqual(get(service.port, f"/packages/{DISPLAY}.minisig")[2], fresh[DISPLAY])
        finally:
            service.stop()

        # Behind nginx: the services answer from an index of the folder, nginx
        # serves the signature files beside the packages.
        os.remove(os.path.join(folder, CAMERA + ".minisig"))
        del fresh[CAMERA]
        port = free_port()
        state = os.path.join(self.work, "served-state")
        process = subprocess.Popen([SERVE, folder, "--listen", f"127.0.0.1:{port}", "--state", state, "--service",
                                    SERVICE, "--instances", "1", "--foreground"],
                                   stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        try:
            started = process.stdout.readline() + process.stdout.readline()
            self.assertIn("queries and packages", started)
            self.assertIn("(3 signed)", started)
            check_reply(query(port), fresh)
            for name, signature in fresh.items():
                status, head, body = get(port, f"/packages/{name}.minisig")
                self.assertEqual((status, body), (200, signature), name)
                self.assertIn("Server: nginx", head)
                self.assertIn("Content-Type: text/plain", head)
                status, _, body = get(port, f"/packages/{name}")
                self.assertEqual((status, body), (200, read(os.path.join(folder, name))))
            self.assertEqual(get(port, f"/packages/{CAMERA}.minisig")[0], 404)
            self.assertEqual(get(port, f"/packages/{CAMERA}.minisig.new")[0], 404)
        finally:
            process.terminate()
            process.wait(timeout=20)
            process.stdout.close()


if __name__ == "__main__":
    SERVICE, SIGN, MAKE_CATALOGUE, SERVE, PUBLIC_KEY = sys.argv[1:6]
    unittest.main(argv=[sys.argv[0], "-v"])
