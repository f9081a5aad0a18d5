#!/usr/bin/env python3
"""quillary-service with cabinet packages: the sample catalogue with most of
its packages repacked as cabinets by gcab (a tool not of ours), signed with
scripts/sign-packages, and a damaged cabinet beside them. The demo PC gets
exactly the documented offers, each naming the package as it now is (link
and size) and the INF where the client extracts it (infpath); the cabinets
download whole and in ranges, with their signatures; and the native
quillary-cli downloads one against its SHA-256 and extracts it.

usage: service_cab_test.py QUILLARY_SERVICE QUILLARY_CLI MAKE_SAMPLE_CATALOGUE SIGN_PACKAGES
"""

import base64
import hashlib
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET
import zipfile
import zlib

import service_end_to_end_test as e2e

CLI = MAKE_CATALOGUE = SIGN_PACKAGES = None
# Stay zip archives, so that both readers serve one catalogue.
KEPT_AS_ZIP = {"auralis_hdaudio_5.10.0.5512.zip", "orvane_pj4200_1.2.0.0.zip"}


def repack_as_cabinet(zip_path, cab_path, scratch):
    """The zip archive's files, folders kept, in a cabinet made by gcab."""
    shutil.rmtree(scratch, ignore_errors=True)
    os.makedirs(scratch)
    with zipfile.ZipFile(zip_path) as archive:
        names = [n for n in archive.namelist() if not n.endswith("/")]
        archive.extractall(scratch)
    subprocess.run(["gcab", "-c", "-z", cab_path, *names], cwd=scratch, check=True)
    return names


class CabinetCatalogue(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="quillary-cab-test-")
        cls.catalogue = os.path.join(cls.folder, "catalogue")
        subprocess.run([MAKE_CATALOGUE, cls.catalogue], check=True, stdout=subprocess.DEVNULL)
        with open(os.path.join(cls.catalogue, "catalogue.json"), encoding="utf-8") as f:
            cls.description = json.load(f)
        cls.renamed = {}  # the documented file name -> the one in the catalogue now
        cls.files = {}    # the cabinets' files, as zip names
        for package in cls.description["packages"]:
            name = package["file"]
            if name in KEPT_AS_ZIP:
                cls.renamed[name] = name
                continue
            cab = name[:-4] + ".cab"
            cls.files[cab] = repack_as_cabinet(os.path.join(cls.catalogue, name), os.path.join(cls.catalogue, cab),
                                               os.path.join(cls.folder, "scratch"))
            os.remove(os.path.join(cls.catalogue, name))
            cls.renamed[name] = cab
        # A damaged cabinet beside the good ones is skipped, not fatal.
        with open(os.path.join(cls.catalogue, "zz_broken.cab"), "wb") as f:
            f.write(b"MSCF" + bytes(32) + b"not a cabinet's directory")
        signed = subprocess.run([SIGN_PACKAGES, cls.catalogue, "--sample"], stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True)
        assert signed.returncode == 0, signed.stderr
        cls.signing_output = signed.stdout
        cls.service = e2e.service_process(cls.catalogue)

    @classmethod
    def tearDownClass(cls):
        cls.service.stop()
        shutil.rmtree(cls.folder, ignore_errors=True)

    def query(self, system="WIN764"):
        """Each device's items (their values by name) for the demo PC."""
        path = os.path.join(self.folder, "request.z")
        with open(path, "wb") as f:
            f.write(zlib.compress(e2e.request_document(system, self.description["demo_pc"]["devices"])))
        code, out = e2e.curl("-w", "\n%{http_code}", "-F", f"driversm=<{path}", self.service.base)
        body, _, status = out.rpartition(b"\n")
        self.assertEqual((code, status), (0, b"200"))
        return {hardware.find("id").text: [{child.tag: child.text or "" for child in item}
                                           for item in hardware.findall("item")]
                for hardware in ET.fromstring(body).find("hardwares").findall("hardware")}

    def test_cabinets_are_signed_like_zip_archives(self):
        for documented, name in self.renamed.items():
            self.assertIn(f"signed {name}\n", self.signing_output)
            self.assertTrue(os.path.exists(os.path.join(self.catalogue, name + ".minisig")), name)

    def test_the_demo_pc_gets_the_documented_offers_from_cabinets(self):
        offers = self.query()
        cabinets = 0
        for device in self.description["demo_pc"]["devices"]:
            items = offers[device["device_id"]]
            got = [(i["link"].rsplit("/", 1)[1], i["infpath"], i["hardid"], int(i["cp"]), int(i["targetos"]))
                   for i in items]
            # The INF's path keeps the package's name without its extension:
            # the same for a cabinet as for the zip archive it was.
            want = [(self.renamed[o["package"]], o["infpath"], o["hardid"], o["cp"], o["targetos"])
                    for o in device["expected_offers_win764"]]
            self.assertEqual(got, want, device["key"])
            for item in items:
                name = item["link"].rsplit("/", 1)[1]
                path = os.path.join(self.catalogue, name)
                self.assertEqual(int(item["size"]), os.path.getsize(path), name)
                with open(path, "rb") as f:
                    data = f.read()
                self.assertEqual(item["sha256"], hashlib.sha256(data).hexdigest(), name)
                with open(path + ".minisig", "rb") as f:
                    self.assertEqual(base64.b64decode(item["minisig"]), f.read(), name)
                if name.endswith(".cab"):
                    cabinets += 1
                    self.assertTrue(data.startswith(b"MSCF"), name)
                    # infpath names a file the cabinet holds, where the client puts it.
                    inside = item["infpath"].split("/", 1)[1]
                    self.assertIn(inside, self.files[name], name)
        self.assertGreater(cabinets, 10)

    def test_each_system_gets_its_documented_offers(self):
        devices = self.description["demo_pc"]["devices"]
        for system in devices[0]["expected_offers"]:
            offers = self.query(system)
            for device in devices:
                got = [(i["link"].rsplit("/", 1)[1], i["infpath"]) for i in offers.get(device["device_id"], [])]
                want = [(self.renamed[o["package"]], o["infpath"]) for o in device["expected_offers"][system]]
                self.assertEqual(got, want, f"{system} {device['key']}")

    def test_a_cabinet_downloads_whole_and_in_ranges_with_its_signature(self):
        name = "norvik_lan_7.52.0.2012.cab"
        link = self.service.base + "packages/" + name
        with open(os.path.join(self.catalogue, name), "rb") as f:
            data = f.read()
        code, out = e2e.curl(link)
        self.assertEqual((code, out), (0, data))
        code, out = e2e.curl("-i", "-r", "100-", link)
        head, _, body = out.partition(b"\r\n\r\n")
        self.assertTrue(head.startswith(b"HTTP/1.1 206"), head)
        self.assertIn(f"Content-Range: bytes 100-{len(data) - 1}/{len(data)}".encode(), head)
        self.assertIn(b"Content-Type: application/vnd.ms-cab-compressed", head)
        self.assertEqual(body, data[100:])
        code, out = e2e.curl("-i", "-r", f"{len(data)}-", link)
        self.assertTrue(out.startswith(b"HTTP/1.1 416"), out[:40])
        code, out = e2e.curl(link + ".minisig")
        with open(os.path.join(self.catalogue, name + ".minisig"), "rb") as f:
            self.assertEqual(out, f.read())
        code, out = e2e.curl("-w", "%{http_code}", "-o", "/dev/null", self.service.base + "packages/zz_broken.cab")
        self.assertEqual(out, b"404", "a cabinet that cannot be read is not served")

    def test_a_damaged_cabinet_is_reported_and_skipped(self):
        service = e2e.service_process(self.catalogue)
        _, _, stderr = service.stop()
        self.assertIn("zz_broken.cab: damaged cabinet directory", stderr)

    def test_the_command_line_downloads_and_extracts_a_cabinet(self):
        offers = self.query()
        network = next(d for d in self.description["demo_pc"]["devices"] if d["key"] == "network")
        item = offers[network["device_id"]][0]
        self.assertTrue(item["link"].endswith(".cab"))
        downloads = os.path.join(self.folder, "downloads")
        got = subprocess.run([CLI, "download", item["link"], "--size", item["size"], "--sha256", item["sha256"],
                              "--dir", downloads, "--retry-pause", "0"], stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, text=True)
        self.assertEqual(got.returncode, 0, got.stderr)
        final = json.loads(got.stdout)["final_path"]
        out = os.path.join(self.folder, "extracted")
        unpacked = subprocess.run([CLI, "unzip", final, out], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                  text=True)
        self.assertEqual(unpacked.returncode, 0, unpacked.stderr)
        report = json.loads(unpacked.stdout)
        name = item["link"].rsplit("/", 1)[1]
        self.assertEqual(report["extracted"], len(self.files[name]))
        self.assertTrue(report["complete"])
        inf = item["infpath"].split("/", 1)[1]
        self.assertTrue(os.path.isfile(os.path.join(out, inf)), inf)


if __name__ == "__main__":
    arguments = sys.argv[1:]
    e2e.SERVICE, CLI, MAKE_CATALOGUE, SIGN_PACKAGES = arguments[:4]
    unittest.main(argv=[sys.argv[0]], verbosity=2)
