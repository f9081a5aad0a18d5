#!/usr/bin/env python3
"""scripts/serve-catalogue end to end: nginx in front of two services over
the sample catalogue. Packages come from nginx (ranges, only the folder's
zip files), queries from the services (links to nginx); a package added
while queries keep coming is offered after --reload, and no query fails
meanwhile; the logs say what happened.

usage: deployment_test.py SERVE_CATALOGUE QUILLARY_SERVICE MAKE_SAMPLE_CATALOGUE
"""

import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import zlib

SERVE = SERVICE = MAKE_CATALOGUE = None


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


def query(port, device_id, hardware_id):
    document = (f'<?xml version="1.0" encoding="UTF-8" ?>\n<driversm><client version="" os="WIN764" lang="437"/>'
                f"<hardwares><hardware><id><![CDATA[{device_id}]]></id>"
                f"<hardids><![CDATA[{hardware_id}]]></hardids></hardware></hardwares></driversm>").encode()
    body = (b"--q\r\nContent-Disposition: form-data; name=\"driversm\"\r\n\r\n" + zlib.compress(document) +
            b"\r\n--q--\r\n")
    return http(port, f"POST / HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\nContent-Type: multipart/form-data; "
                      f"boundary=q\r\nContent-Length: {len(body)}\r\n\r\n".encode() + body)


class Deployment(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="quillary-deployment-")
        os.chmod(cls.folder, 0o755)  # nginx's workers may run as another user
        cls.catalogue = os.path.join(cls.folder, "catalogue")
        subprocess.run([MAKE_CATALOGUE, cls.catalogue], check=True, stdout=subprocess.DEVNULL)
        cls.state = os.path.join(cls.folder, "state")
        cls.port = free_port()
        cls.process = subprocess.Popen([SERVE, cls.catalogue, "--listen", f"127.0.0.1:{cls.port}", "--state",
                                        cls.state, "--service", SERVICE, "--foreground"],
                                       stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        cls.started = cls.process.stdout.readline() + cls.process.stdout.readline()
        if "queries and packages" not in cls.started:
            raise AssertionError(cls.started)

    @classmethod
    def tearDownClass(cls):
        cls.process.terminate()
        cls.process.wait(timeout=20)
        cls.process.stdout.close()
        shutil.rmtree(cls.folder, ignore_errors=True)

    def test_packages_come_from_nginx_and_only_the_folders_zip_files(self):
        name = "veltrix_display_9.17.10.2932.zip"
        with open(os.path.join(self.catalogue, name), "rb") as f:
            data = f.read()
        status, head, body = http(self.port, f"GET /packages/{name} HTTP/1.1\r\nHost: x\r\nRange: bytes=100-\r\n"
                                             "Connection: close\r\n\r\n".encode())
        self.assertEqual(status, 206)
        self.assertEqual(body, data[100:])
        self.assertIn("Server: nginx", head)
        for path in ("/packages/catalogue.json", "/packages/../state/packages.index", "/packages/", "/anything"):
            self.assertEqual(http(self.port, f"GET {path} HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n".encode())[0],
                             404, path)

    def test_a_package_added_is_offered_after_reload_and_no_query_fails_meanwhile(self):
        device = "PCI\\VEN_1F4A&DEV_2140&SUBSYS_00121F4A&REV_A1"
        hardware = "PCI\\VEN_1F4A&DEV_2140&SUBSYS_00121F4A"
        status, _, body = query(self.port, device, hardware)
        self.assertEqual(status, 200)
        self.assertIn(f"<link>http://127.0.0.1:{self.port}/packages/veltrix_display_9.17.10.2932.zip</link>".encode(),
                      body)
        self.assertIn(b"<sha256>", body)

        statuses = []
        running = True

        def keep_asking():
            while running:
                statuses.append(query(self.port, device, hardware)[0])
        threads = [threading.Thread(target=keep_asking) for _ in range(4)]
        for t in threads:
            t.start()
        added = "veltrix_display_9.99.0.0.zip"
        shutil.copy(os.path.join(self.catalogue, "veltrix_display_9.17.10.2932.zip"),
                    os.path.join(self.catalogue, added))
        os.chmod(os.path.join(self.catalogue, added), 0o644)
        time.sleep(0.5)
        reload = subprocess.run([SERVE, self.catalogue, "--state", self.state, "--service", SERVICE, "--reload"],
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        time.sleep(1)
        running = False
        for t in threads:
            t.join()
        self.assertEqual(reload.returncode, 0, reload.stdout)
        self.assertGreater(len(statuses), 20)
        self.assertEqual(set(statuses), {200}, "no query failed while everything reloaded")
        self.assertIn(added.encode(), query(self.port, device, hardware)[2])

        time.sleep(2.5)  # nginx writes its access log every two seconds
        with open(os.path.join(self.state, "access.log")) as f:
            access = f.read()
        self.assertRegex(access, r'"POST / HTTP/1\.1" 200 \d+ [\d.]+ 127\.0\.0\.1:\d+ [\d.]+')
        services = ""
        for number in (1, 2):
            with open(os.path.join(self.state, f"service-{number}.log")) as f:
                services += f.read()
        packages = len([name for name in os.listdir(self.catalogue) if name.endswith(".zip")])
        self.assertEqual(services.count(f"catalogue read again: {packages} packages"), 2, services[-2000:])
        self.assertRegex(services, r'"POST /" 200 \d+ \(WIN764, 1 devices, 1 with offers, \d items\)')


if __name__ == "__main__":
    SERVE, SERVICE, MAKE_CATALOGUE = sys.argv[1:4]
    unittest.main(argv=[sys.argv[0], "-v"])
