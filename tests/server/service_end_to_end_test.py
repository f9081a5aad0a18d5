#!/usr/bin/env python3
"""quillary-service end to end: the sample catalogue, real listeners on
127.0.0.1, and the curl command-line tool as the client.

usage: service_end_to_end_test.py QUILLARY_SERVICE MAKE_SAMPLE_CATALOGUE
"""

import hashlib
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
import xml.etree.ElementTree as ET
import zlib

SERVICE = None
MAKE_CATALOGUE = None
REPLY_LIMIT = 5242880


class service_process:
    """One quillary-service process on an ephemeral port."""

    def __init__(self, catalogue, *extra):
        self.process = subprocess.Popen([SERVICE, "--catalogue", catalogue, "--listen", "127.0.0.1:0", *extra],
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        line = self.process.stdout.readline()
        match = re.fullmatch(r"quillary-service: listening on (http://127\.0\.0\.1:(\d+)/)\n", line)
        if not match:
            self.process.kill()
            self.process.stdout.close()
            raise AssertionError(f"no ready line, got {line!r}; stderr: {self.process.stderr.read()}")
        self.base = match.group(1)
        self.port = int(match.group(2))

    def stop(self):
        """SIGTERM; returns (exit code, seconds it took, stderr)."""
        start = time.monotonic()
        self.process.send_signal(signal.SIGTERM)
        try:
            code = self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            code = None
        elapsed = time.monotonic() - start
        stderr = self.process.stderr.read()
        self.process.stdout.close()
        self.process.stderr.close()
        return code, elapsed, stderr


def curl(*args, data=None):
    """Runs curl; returns (exit code, stdout bytes)."""
    result = subprocess.run(["curl", "-s", "--max-time", "20", *args], input=data, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL)
    return result.returncode, result.stdout


def request_document(os_name, devices, lang=437, build=None):
    """The request document as the client prints it (CDATA lists, tabs)."""
    def cdata(text):
        return "<![CDATA[" + text + "]]>"
    build_attribute = f' build="{build}"' if build else ""
    parts = ['<?xml version="1.0" encoding="UTF-8" ?>\n<driversm>\n\t<action>ACTION_UPDATE_DRIVER</action>\n',
             f'\t<client version="" os="{os_name}" lang="{lang}" model="Demo PC"{build_attribute} />\n\t<hardwares>\n']
    for d in devices:
        parts.append("\t\t<hardware>\n\t\t\t<id>" + cdata(d["device_id"]) + "</id>\n")
        installed = d.get("installed_driver") or {}
        parts.append("\t\t\t<matchid>" + cdata(installed.get("matching_device_id", "")) + "</matchid>\n")
        if d["hardware_ids"]:
            parts.append("\t\t\t<hardids>" + cdata("\n".join(d["hardware_ids"])) + "</hardids>\n")
        if d["compatible_ids"]:
            parts.append("\t\t\t<compids>" + cdata("\n".join(d["compatible_ids"])) + "</compids>\n")
        parts.append("\t\t</hardware>\n")
    parts.append("\t</hardwares>\n</driversm>\n")
    return "".join(parts).encode("cp1252")


class EndToEnd(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="quillary-service-test-")
        cls.catalogue = os.path.join(cls.folder, "catalogue")
        subprocess.run([MAKE_CATALOGUE, cls.catalogue], check=True)
        with open(os.path.join(cls.catalogue, "catalogue.json"), encoding="utf-8") as f:
            cls.description = json.load(f)
        # A broken archive beside the good ones is skipped, not fatal.
        with open(os.path.join(cls.catalogue, "zz_broken.zip"), "wb") as f:
            f.write(b"PK\x03\x04 not really an archive")
        cls.service = service_process(cls.catalogue)

    @classmethod
    def tearDownClass(cls):
        cls.service.stop()
        shutil.rmtree(cls.folder, ignore_errors=True)

    def post_query(self, service, document):
        path = os.path.join(self.folder, "request.z")
        with open(path, "wb") as f:
            f.write(zlib.compress(document))
        code, out = curl("-w", "\n%{http_code}", "-F", f"driversm=<{path}", service.base)
        self.assertEqual(code, 0)
        body, _, status = out.rpartition(b"\n")
        return int(status), body

    def offers(self, body):
        root = ET.fromstring(body)
        result = {}
        for hardware in root.find("hardwares").findall("hardware"):
            items = []
            for item in hardware.findall("item"):
                values = {child.tag: child.text or "" for child in item}
                self.assertEqual(len(values), 16, values)  # the fifteen values and the package's sha256
                items.append(values)
            result[hardware.find("id").text] = items
        return result

    # --- The query ----------------------------------------------------------

    def test_demo_pc_gets_the_documented_offers(self):
        devices = self.description["demo_pc"]["devices"]
        status, body = self.post_query(self.service, request_document("WIN764", devices))
        self.assertEqual(status, 200)
        self.assertTrue(body.startswith(b'<?xml version="1.0" encoding="windows-1252"?>'))
        self.assertLess(len(body), REPLY_LIMIT)
        offers = self.offers(body)
        self.assertEqual(list(offers), [d["device_id"] for d in devices])
        sizes = {p["file"]: p["size"] for p in self.description["packages"]}
        for device in devices:
            got = [(item["link"].rsplit("/", 1)[1], item["infpath"], item["hardid"], int(item["cp"]),
                    int(item["sign"]), int(item["targetos"])) for item in offers[device["device_id"]]]
            want = [(o["package"], o["infpath"], o["hardid"], o["cp"], o["sign"], o["targetos"])
                    for o in device["expected_offers_win764"]]
            self.assertEqual(got, want, device["key"])
            for item in offers[device["device_id"]]:
                self.assertTrue(item["link"].startswith(self.service.base + "packages/"))
                self.assertEqual(int(item["size"]), sizes[item["link"].rsplit("/", 1)[1]])
                self.assertRegex(item["date"], r"^\d{4}-\d{2}-\d{2}$")

    def test_each_system_gets_its_documented_offers(self):
        # Windows 8.1, 10 and 11 and an ARM64 PC: each the sections and
        # packages made for it, Windows 11 its own package first, an ARM64
        # PC nothing of x86 or x64.
        devices = self.description["demo_pc"]["devices"]
        for system in devices[0]["expected_offers"]:
            status, body = self.post_query(self.service, request_document(system, devices))
            self.assertEqual(status, 200, system)
            offers = self.offers(body)
            for device in devices:
                got = [(item["link"].rsplit("/", 1)[1], item["infpath"], item["hardid"], int(item["cp"]),
                        int(item["sign"]), int(item["targetos"])) for item in offers.get(device["device_id"], [])]
                want = [(o["package"], o["infpath"], o["hardid"], o["cp"], o["sign"], o["targetos"])
                        for o in device["expected_offers"][system]]
                self.assertEqual(got, want, f"{system} {device['key']}")

    def test_the_build_a_client_reports_counts_within_its_name(self):
        display = [d for d in self.description["demo_pc"]["devices"] if d["key"] == "display"]
        first = lambda document: self.offers(self.post_query(self.service, document)[1])[display[0]["device_id"]][0]
        # A WIN10 client is never a Windows 11 build, whatever it reports.
        self.assertIn("20.19.15.4531", first(request_document("WIN1064", display, build=22631))["link"])
        self.assertIn("_win11", first(request_document("WIN1164", display, build=22631))["link"])

    def test_offered_links_download_their_announced_size(self):
        devices = self.description["demo_pc"]["devices"]
        _, body = self.post_query(self.service, request_document("WIN764", devices))
        items = [item for found in self.offers(body).values() for item in found]
        for link in sorted({item["link"] for item in items}):
            code, data = curl(link)
            self.assertEqual(code, 0, link)
            size = int(next(item["size"] for item in items if item["link"] == link))
            self.assertEqual(len(data), size, link)
            with open(os.path.join(self.catalogue, link.rsplit("/", 1)[1]), "rb") as f:
                self.assertEqual(data, f.read())
            digest = next(item["sha256"] for item in items if item["link"] == link)
            self.assertEqual(hashlib.sha256(data).hexdigest(), digest, link)

    def test_a_32_bit_windows_7_is_offered_x86_sections(self):
        audio = [d for d in self.description["demo_pc"]["devices"] if d["key"] == "audio"]
        status, body = self.post_query(self.service, request_document("WIN7", audio))
        self.assertEqual(status, 200)
        items = self.offers(body)[audio[0]["device_id"]]
        self.assertEqual([(i["link"].rsplit("/", 1)[1], i["targetos"]) for i in items],
                         [("auralis_hdaudio_6.0.1.6662.zip", "60"), ("auralis_hdaudio_6.0.1.6180.zip", "50"),
                          ("auralis_hdaudio_5.10.0.5512.zip", "50")])
        # The ANSI INF's Windows-1252 text arrives intact.
        self.assertEqual(items[0]["manu"], "Auralis Sound")

    def test_without_offers_the_first_device_is_still_listed(self):
        device = {"device_id": "USB\\VID_FFFF&PID_0001", "hardware_ids": ["USB\\VID_FFFF&PID_0001"],
                  "compatible_ids": ["USB\\Class_FF"]}
        status, body = self.post_query(self.service, request_document("WIN764", [device]))
        self.assertEqual(status, 200)
        self.assertEqual(self.offers(body), {"USB\\VID_FFFF&PID_0001": []})

    def test_a_large_body_with_expect_continue_gets_the_go_ahead(self):
        # An incompressible second form part makes curl ask before it sends
        # the body; without the interim answer it would wait a second.
        padding = os.path.join(self.folder, "padding.bin")
        with open(padding, "wb") as f:
            f.write(os.urandom(1_500_000))
        request = os.path.join(self.folder, "request.z")
        with open(request, "wb") as f:
            f.write(zlib.compress(request_document("WIN764", self.description["demo_pc"]["devices"])))
        result = subprocess.run(["curl", "-s", "-v", "--max-time", "20", "-F", f"driversm=<{request}", "-F",
                                 f"padding=<{padding}", self.service.base], stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE)
        self.assertEqual(result.returncode, 0)
        self.assertIn(b"> Expect: 100-continue", result.stderr)
        self.assertIn(b"< HTTP/1.1 100 Continue", result.stderr)
        self.assertIn(b"< HTTP/1.1 200 OK", result.stderr)
        self.assertIn(b"<item>", result.stdout)

    def test_malformed_queries_get_client_errors(self):
        code, out = curl("-w", "%{http_code}", "-o", "/dev/null", "--data-binary", "driversm=x", self.service.base)
        self.assertEqual(out, b"400")
        code, out = curl("-w", "%{http_code}", "-o", "/dev/null", "-F", "driversm=not zlib", self.service.base)
        self.assertEqual(out, b"400")
        big = os.path.join(self.folder, "big.bin")
        with open(big, "wb") as f:
            f.truncate(17 << 20)
        code, out = curl("-w", "%{http_code}", "-o", "/dev/null", "-F", f"driversm=<{big}", self.service.base)
        self.assertEqual(out, b"413")

    # --- Package files ------------------------------------------------------

    def package(self):
        name = "norvik_lan_7.52.0.2012.zip"
        with open(os.path.join(self.catalogue, name), "rb") as f:
            return self.service.base + "packages/" + name, f.read()

    def test_ranges(self):
        link, data = self.package()
        code, out = curl("-i", "-r", "1000-", link)
        head, _, body = out.partition(b"\r\n\r\n")
        self.assertTrue(head.startswith(b"HTTP/1.1 206"))
        self.assertIn(f"Content-Range: bytes 1000-{len(data) - 1}/{len(data)}".encode(), head)
        self.assertEqual(body, data[1000:])
        code, out = curl("-i", "-r", "10-19", link)
        self.assertEqual(out.partition(b"\r\n\r\n")[2], data[10:20])
        code, out = curl("-i", "-r", f"{len(data)}-", link)
        head = out.partition(b"\r\n\r\n")[0]
        self.assertTrue(head.startswith(b"HTTP/1.1 416"))
        self.assertIn(f"Content-Range: bytes */{len(data)}".encode(), head)
        code, out = curl("-w", "%{http_code}", "-o", "/dev/null", self.service.base + "packages/..%2Fcatalogue.json")
        self.assertEqual(out, b"404")
        code, out = curl("-w", "%{http_code}", "-o", "/dev/null", self.service.base + "packages/catalogue.json")
        self.assertEqual(out, b"404")

    # --- Fault modes, one process each ---------------------------------------

    def with_fault(self, mode):
        service = service_process(self.catalogue, "--fault", mode, "--quiet")
        self.addCleanup(service.stop)
        return service

    def test_fault_status(self):
        service = self.with_fault("status:503")
        code, out = curl("-w", "%{http_code}", "-o", "/dev/null", "-F", "driversm=x", service.base)
        self.assertEqual(out, b"503")
        code, out = curl("-w", "%{http_code}", service.base + "packages/norvik_lan_7.52.0.2012.zip")
        self.assertTrue(out.endswith(b"503"))
        self.assertIn(b"<html>", out)

    def test_fault_refuse(self):
        service = self.with_fault("refuse")
        code, _ = curl("-F", "driversm=x", service.base)
        self.assertEqual(code, 7)  # could not connect
        self.assertIsNone(service.process.poll())

    def test_fault_stall(self):
        service = self.with_fault("stall:1000")
        start = time.monotonic()
        code, out = curl("--max-time", "1.5", "-w", "\n%{size_download}", service.base + "packages/norvik_lan_7.52.0.2012.zip")
        self.assertEqual(code, 28)  # timed out
        self.assertTrue(out.endswith(b"\n1000"))
        self.assertGreaterEqual(time.monotonic() - start, 1.4)

    def test_fault_truncate(self):
        service = self.with_fault("truncate:1000")
        code, out = curl("-w", "\n%{size_download}", service.base + "packages/norvik_lan_7.52.0.2012.zip")
        self.assertEqual(code, 18)  # partial file
        self.assertTrue(out.endswith(b"\n1000"))

    def test_fault_extra(self):
        link, data = self.package()
        service = self.with_fault("extra:50")
        code, out = curl("-i", link.replace(self.service.base, service.base))
        head, _, body = out.partition(b"\r\n\r\n")
        self.assertEqual(code, 0)
        self.assertIn(f"Content-Length: {len(data) + 50}".encode(), head)
        self.assertEqual(body[:len(data)], data)
        self.assertEqual(len(body), len(data) + 50)

    def test_fault_ignore_range(self):
        link, data = self.package()
        service = self.with_fault("ignore-range")
        code, out = curl("-i", "-r", "1000-", link.replace(self.service.base, service.base))
        head, _, body = out.partition(b"\r\n\r\n")
        self.assertTrue(head.startswith(b"HTTP/1.1 200"))
        self.assertEqual(body, data)

    def test_fault_oversize(self):
        service = self.with_fault("oversize")
        status, body = self.post_query(service, request_document("WIN764", self.description["demo_pc"]["devices"]))
        self.assertEqual(status, 200)
        self.assertGreaterEqual(len(body), REPLY_LIMIT)
        self.assertEqual(len(self.offers(body)), 6)  # still a valid reply

    def test_fault_bad_xml(self):
        service = self.with_fault("bad-xml")
        status, body = self.post_query(service, request_document("WIN764", self.description["demo_pc"]["devices"]))
        self.assertEqual(status, 200)
        with self.assertRaises(ET.ParseError):
            ET.fromstring(body)

    def test_fault_rate(self):
        link, data = self.package()
        service = self.with_fault("rate:10000")
        start = time.monotonic()
        code, out = curl(link.replace(self.service.base, service.base))
        elapsed = time.monotonic() - start
        self.assertEqual(out, data)
        self.assertGreaterEqual(elapsed, len(data) / 10000 - 0.15)

    # --- The index file and reading the catalogue again -----------------------

    def package_links(self, service):
        devices = self.description["demo_pc"]["devices"]
        status, body = self.post_query(service, request_document("WIN764", devices))
        self.assertEqual(status, 200)
        return {item["link"].rsplit("/", 1)[1]: item["sha256"]
                for found in self.offers(body).values() for item in found}

    def test_an_index_file_is_what_services_offer_until_they_read_it_again(self):
        folder = os.path.join(self.folder, "indexed")
        shutil.copytree(self.catalogue, folder)
        index = os.path.join(self.folder, "packages.index")
        written = subprocess.run([SERVICE, "--catalogue", folder, "--write-index", index],
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.assertEqual(written.returncode, 0, written.stderr)
        # Every file, the broken one too: it is skipped on loading.
        files = len([name for name in os.listdir(folder) if name.endswith(".zip")])
        self.assertIn(f"{files} package files", written.stdout)
        service = service_process(folder, "--index", index, "--package-base", "https://cdn.example/drivers")
        try:
            offered = self.package_links(service)
            self.assertEqual(offered, self.package_links(self.service), "the same digests as hashing the folder")
            status, body = self.post_query(service, request_document("WIN764", self.description["demo_pc"]["devices"]))
            self.assertIn(b"<link>https://cdn.example/drivers/veltrix_display_9.17.10.2932.zip</link>", body)

            # A package added to the folder is offered only once the index has it
            # and the service has read it again; one changed in place is dropped,
            # for its recorded digest would no longer be its own.
            added = "veltrix_display_9.99.0.1.zip"
            shutil.copy(os.path.join(folder, "veltrix_display_9.17.10.2932.zip"), os.path.join(folder, added))
            with open(os.path.join(folder, "calder_sdhost_3.0.0.8.zip"), "ab") as f:
                f.write(b"appended")
            self.assertNotIn(added, self.package_links(service))
            written = subprocess.run([SERVICE, "--catalogue", folder, "--write-index", index],
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
            self.assertEqual(written.returncode, 0, written.stderr)
            service.process.send_signal(signal.SIGHUP)
            deadline = time.monotonic() + 10
            while added not in self.package_links(service) and time.monotonic() < deadline:
                time.sleep(0.1)
            offered = self.package_links(service)
            self.assertEqual(offered[added], offered["veltrix_display_9.17.10.2932.zip"])
            with open(os.path.join(folder, "calder_sdhost_3.0.0.8.zip"), "rb") as f:
                self.assertEqual(offered["calder_sdhost_3.0.0.8.zip"], hashlib.sha256(f.read()).hexdigest())
        finally:
            code, _, stderr = service.stop()
        self.assertEqual(code, 0)
        self.assertIn("catalogue read again", stderr)

        # Changed after the index was written: skipped, with a warning.
        with open(os.path.join(folder, "calder_sdhost_3.0.0.8.zip"), "ab") as f:
            f.write(b"again")
        service = service_process(folder, "--index", index)
        try:
            self.assertNotIn("calder_sdhost_3.0.0.8.zip", self.package_links(service))
        finally:
            code, _, stderr = service.stop()
        self.assertIn("calder_sdhost_3.0.0.8.zip: gone or changed since it was indexed", stderr)

    # --- Process behaviour --------------------------------------------------

    def test_process_start_and_stop(self):
        service = service_process(self.catalogue, "--listen", "127.0.0.1:0")
        # Two listeners: two ready lines, both serving.
        second = service.process.stdout.readline()
        match = re.fullmatch(r"quillary-service: listening on (http://127\.0\.0\.1:\d+/)\n", second)
        self.assertIsNotNone(match, second)
        code, out = curl(match.group(1))
        self.assertIn(f"{len(self.description['packages'])} packages".encode(), out)
        code, elapsed, stderr = service.stop()
        self.assertEqual(code, 0)
        self.assertLess(elapsed, 3)
        self.assertIn("skipped zz_broken.zip: not a readable zip archive", stderr)

        bad = subprocess.run([SERVICE, "--catalogue", self.catalogue, "--listen", "localhost:1"],
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.assertEqual(bad.returncode, 2)
        self.assertEqual(len(bad.stderr.splitlines()), 1)
        missing = subprocess.run([SERVICE, "--catalogue", os.path.join(self.folder, "nope"), "--listen", "127.0.0.1:0"],
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.assertEqual(missing.returncode, 1)
        usage = subprocess.run([SERVICE, "--help"], stdout=subprocess.PIPE, text=True)
        self.assertEqual(usage.returncode, 0)
        for mode in ("status:CODE", "refuse", "stall:N", "truncate:N", "oversize", "ignore-range", "extra:N",
                     "bad-xml", "rate:BPS"):
            self.assertIn(mode, usage.stdout)


if __name__ == "__main__":
    SERVICE, MAKE_CATALOGUE = sys.argv[1], sys.argv[2]
    unittest.main(argv=[sys.argv[0], "-v"])
