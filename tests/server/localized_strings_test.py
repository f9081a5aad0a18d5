#!/usr/bin/env python3
"""quillary-service end to end: an INF's texts in the client's interface
language. A package whose INF has [Strings], [Strings.0411] and
[Strings.0407]; queries that name their language in the client element's
`uilang` attribute get the description, title and provider of that
language's section as Windows would pick it; queries without it the
neutral (English) ones.

usage: localized_strings_test.py QUILLARY_SERVICE
"""

import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET
import zipfile
import zlib

SERVICE = None

DEVICE_ID = "PCI\\VEN_1E0B&DEV_4A77&SUBSYS_4A771E0B&REV_01"
HARDWARE_ID = "PCI\\VEN_1E0B&DEV_4A77&SUBSYS_4A771E0B"

# UTF-16 with its mark, as Windows' own international INF files are written,
# so that the Japanese and German texts need no code page.
INF = """[Version]
Signature = "$Windows NT$"
Class = Net
ClassGuid = {4d36e972-e325-11ce-bfc1-08002be10318}
Provider = %Mfg%
DriverVer = 05/14/2013, 2.4.0.7
CatalogFile = nvkintl.cat

[Manufacturer]
%Mfg% = Norvik, NTamd64.6.1

[Norvik.NTamd64.6.1]
%Adapter.Desc% = Install, """ + HARDWARE_ID + """

[Install.NTamd64]
FeatureScore = F8

[Strings]
Mfg = "Norvik Networks"
Adapter.Desc = "Norvik Gigabit Adapter"

[Strings.0411]
Mfg = "ノルヴィク"
Adapter.Desc = "ノルヴィク ギガビット アダプター"

[Strings.0407]
Mfg = "Norvik Netzwerke"
Adapter.Desc = "Norvik Gigabit-Netzwerkkarte"
"""

ENGLISH = ("Norvik Gigabit Adapter", "Norvik Networks")
JAPANESE = ("ノルヴィク ギガビット アダプター", "ノルヴィク")
GERMAN = ("Norvik Gigabit-Netzwerkkarte", "Norvik Netzwerke")


class service_process:
    """One quillary-service process on an ephemeral port."""

    def __init__(self, catalogue):
        self.process = subprocess.Popen([SERVICE, "--catalogue", catalogue, "--listen", "127.0.0.1:0"],
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        line = self.process.stdout.readline()
        match = re.fullmatch(r"quillary-service: listening on (http://127\.0\.0\.1:\d+/)\n", line)
        if not match:
            self.process.kill()
            raise AssertionError(f"no ready line, got {line!r}; stderr: {self.process.stderr.read()}")
        self.base = match.group(1)

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.process.stdout.close()
        self.process.stderr.close()


def request_document(ui_language=None, lang=65001):
    """The request as the client prints it; `uilang` only when given."""
    ui_attribute = f' uilang="{ui_language}"' if ui_language is not None else ""
    return ('<?xml version="1.0" encoding="UTF-8" ?>\n<driversm>\n\t<action>ACTION_UPDATE_DRIVER</action>\n'
            f'\t<client version="" os="WIN764" lang="{lang}" model="Demo PC" build="7601"{ui_attribute} />\n'
            '\t<hardwares>\n\t\t<hardware>\n'
            f'\t\t\t<id><![CDATA[{DEVICE_ID}]]></id>\n\t\t\t<matchid><![CDATA[]]></matchid>\n'
            f'\t\t\t<hardids><![CDATA[{DEVICE_ID}\n{HARDWARE_ID}]]></hardids>\n'
            '\t\t</hardware>\n\t</hardwares>\n</driversm>\n').encode("ascii")


class LocalizedStrings(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="quillary-localized-test-")
        catalogue = os.path.join(cls.folder, "catalogue")
        os.mkdir(catalogue)
        with zipfile.ZipFile(os.path.join(catalogue, "norvik_intl_2.4.0.7.zip"), "w") as package:
            package.writestr("nvkintl.inf", b"\xff\xfe" + INF.replace("\n", "\r\n").encode("utf-16-le"))
            package.writestr("nvkintl.cat", b"catalog")
        cls.service = service_process(catalogue)

    @classmethod
    def tearDownClass(cls):
        cls.service.stop()
        shutil.rmtree(cls.folder, ignore_errors=True)

    def offer(self, document):
        """The one item of the reply: (desc, title, manu)."""
        path = os.path.join(self.folder, "request.z")
        with open(path, "wb") as f:
            f.write(zlib.compress(document))
        result = subprocess.run(["curl", "-s", "--max-time", "20", "-w", "\n%{http_code}", "-F",
                                 f"driversm=<{path}", self.service.base], stdout=subprocess.PIPE)
        self.assertEqual(result.returncode, 0)
        body, _, status = result.stdout.rpartition(b"\n")
        self.assertEqual(int(status), 200, body)
        self.assertTrue(body.startswith(b'<?xml version="1.0" encoding="UTF-8"?>'), body[:60])
        items = ET.fromstring(body).find("hardwares").find("hardware").findall("item")
        self.assertEqual(len(items), 1, body)
        values = {child.tag: child.text or "" for child in items[0]}
        return values["desc"], values["title"], values["manu"]

    def assert_language(self, got, texts):
        description, provider = texts
        self.assertEqual(got, (description, f"{description} ({provider} 2.4.0.7)", provider))

    def test_japanese_client_gets_the_japanese_section(self):
        self.assert_language(self.offer(request_document("0411")), JAPANESE)

    def test_german_clients_get_the_german_section(self):
        self.assert_language(self.offer(request_document("0407")), GERMAN)
        # Swiss German: no [Strings.0807], the German section by its primary language.
        self.assert_language(self.offer(request_document("0807")), GERMAN)

    def test_clients_without_a_section_of_their_language_get_the_neutral_one(self):
        self.assert_language(self.offer(request_document()), ENGLISH)  # an older client names none
        self.assert_language(self.offer(request_document("0409")), ENGLISH)
        self.assert_language(self.offer(request_document("0C0A")), ENGLISH)
        self.assert_language(self.offer(request_document("041")), ENGLISH)  # not four digits: none


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    SERVICE = sys.argv[1]
    unittest.main(argv=sys.argv[:1], verbosity=2)
