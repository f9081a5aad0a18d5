#!/usr/bin/env python3
"""The zip helpers against archives and tools that are not ours.

Our unzip (quillary-cli unzip) extracts archives written by Info-ZIP zip,
Python's zipfile (zip64 entries too) and 7-Zip (when installed): names,
contents and times. Archives our zip writes pass `unzip -t` and
zipfile.testzip() and keep names, times and contents.

usage: zip_interop_test.py QUILLARY_CLI
Set QUILLARY_ZIP64_BIG=1 to also archive a sparse file of 4 GiB and more
(needs about 4.5 GiB of free disk for the extraction; about a minute).
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

CLI = None
# A zone with summer time, so that "local time" is tested for real.
os.environ["TZ"] = "CET-1CEST,M3.5.0,M10.5.0/3"
time.tzset()

SUMMER = (2021, 7, 4, 5, 6, 8)
WINTER = (2021, 1, 15, 12, 0, 0)


def local_seconds(fields):
    return int(time.mktime(fields + (0, 0, -1)))


def make_tree(root):
    """A small driver package: nested folders, text and binary, two times."""
    files = {
        "setup.inf": b"[Version]\r\nSignature=\"$Windows NT$\"\r\n" * 40,
        "Win7/x64/net.sys": bytes(range(256)) * 300,
        "Win7/x64/net.cat": os.urandom(5000),
        "Win7/x86/deep/er/readme.txt": b"nested without folder entries\n",
        "empty.dat": b"",
    }
    for index, (name, data) in enumerate(sorted(files.items())):
        path = os.path.join(root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        stamp = local_seconds(SUMMER if index % 2 else WINTER)
        os.utime(path, (stamp, stamp))
    return files


def run_cli(*args):
    return subprocess.run([CLI, *args], capture_output=True, text=True)


def our_unzip(archive, folder, expect_complete=True):
    """What our unzip reports; it fails (exit 1) exactly when the archive did
    not come out whole."""
    done = run_cli("unzip", archive, folder)
    if done.returncode != (0 if expect_complete else 1):
        raise AssertionError(f"unzip exited {done.returncode}: {done.stderr}")
    report = json.loads(done.stdout)
    if report.pop("complete") != expect_complete:
        raise AssertionError(f"unzip reported complete={not expect_complete}")
    return report


class temp_case(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="quillary-zip-interop-")
        self.source = os.path.join(self.work, "source")
        os.mkdir(self.source)
        self.files = make_tree(self.source)

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)

    def assert_extracted(self, folder, archive, source_times=True):
        """Every file of the tree with its contents and the time its entry
        gives, read as local time; that is the source's time (to the two
        seconds the format holds) unless the tool wrote another."""
        found = set()
        for dirpath, _, names in os.walk(folder):
            for name in names:
                found.add(os.path.relpath(os.path.join(dirpath, name), folder).replace(os.sep, "/"))
        self.assertEqual(found, set(self.files))
        with zipfile.ZipFile(archive) as z:
            entry_times = {i.filename: local_seconds(i.date_time) for i in z.infolist()}
        for name, data in self.files.items():
            path = os.path.join(folder, name)
            with open(path, "rb") as f:
                self.assertEqual(f.read(), data, name)
            self.assertEqual(int(os.stat(path).st_mtime), entry_times[name], name)
            if source_times:
                self.assertEqual(entry_times[name], int(os.stat(os.path.join(self.source, name)).st_mtime), name)


class archives_of_other_tools(temp_case):
    def test_info_zip_without_folder_entries(self):
        archive = os.path.join(self.work, "infozip.zip")
        subprocess.run(["zip", "-q", "-r", "-D", "-X", archive, "."], cwd=self.source, check=True)
        out = os.path.join(self.work, "out")
        self.assertEqual(our_unzip(archive, out), {"extracted": len(self.files), "skipped_unsafe": 0, "result": 0})
        self.assert_extracted(out, archive)

    def test_info_zip_forced_zip64(self):
        # The central directory gives 0xFFFFFFFF for the size and the real
        # one in a zip64 extra field, which minizip 1.1 does not read on
        # 64-bit Linux; the extraction checks the checksum itself there.
        archive = os.path.join(self.work, "infozip64.zip")
        subprocess.run(["zip", "-q", "-r", "-fz", archive, "."], cwd=self.source, check=True)
        out = os.path.join(self.work, "out")
        self.assertEqual(our_unzip(archive, out)["extracted"], len(self.files))
        self.assert_extracted(out, archive)

    def write_with_zipfile(self, archive, force_zip64):
        with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED, allowZip64=True) as z:
            for index, (name, data) in enumerate(sorted(self.files.items())):
                info = zipfile.ZipInfo(name, date_time=SUMMER if index % 2 else WINTER)
                info.compress_type = zipfile.ZIP_STORED if index == 0 else zipfile.ZIP_DEFLATED
                with z.open(info, "w", force_zip64=force_zip64) as entry:
                    entry.write(data)

    def test_python_zipfile(self):
        archive = os.path.join(self.work, "python.zip")
        self.write_with_zipfile(archive, force_zip64=False)
        out = os.path.join(self.work, "out")
        self.assertEqual(our_unzip(archive, out)["extracted"], len(self.files))
        self.assert_extracted(out, archive)

    def test_python_zipfile_forced_zip64(self):
        # Every local header carries a zip64 extra field and 0xFFFFFFFF for
        # both sizes; minizip takes the sizes from the central directory and
        # lets 0xFFFFFFFF in the local header pass its coherency check.
        archive = os.path.join(self.work, "python64.zip")
        self.write_with_zipfile(archive, force_zip64=True)
        with open(archive, "rb") as f:
            self.assertIn(b"\x01\x00\x10\x00", f.read(), "zip64 extra fields were written")
        out = os.path.join(self.work, "out")
        self.assertEqual(our_unzip(archive, out)["extracted"], len(self.files))
        self.assert_extracted(out, archive)

    @unittest.skipUnless(shutil.which("7z"), "7z is not installed (Debian package p7zip-full)")
    def test_7zip(self):
        archive = os.path.join(self.work, "7z.zip")
        names = sorted(self.files)
        subprocess.run(["7z", "a", "-tzip", "-bd", "-bso0", archive, *names], cwd=self.source, check=True)
        with zipfile.ZipFile(archive) as z:
            self.assertFalse(any(n.endswith("/") for n in z.namelist()), "no folder entries")
        out = os.path.join(self.work, "out")
        self.assertEqual(our_unzip(archive, out)["extracted"], len(self.files))
        # 7-Zip converts to local time with the offset in force when it
        # runs, as Windows does, so summer files archived in winter (or the
        # other way round) are an hour off in the entry itself.
        self.assert_extracted(out, archive, source_times=False)

    def test_traversal_entries_from_zipfile(self):
        archive = os.path.join(self.work, "evil.zip")
        with zipfile.ZipFile(archive, "w") as z:
            z.writestr("ok.txt", b"ok")
            for name in ["../up.txt", "a/../../up2.txt", "/abs.txt", "C:x.txt"]:
                info = zipfile.ZipInfo("x")
                info.filename = name  # as stored, without zipfile's cleaning
                z.writestr(info, b"evil")
        out = os.path.join(self.work, "nest", "out")
        self.assertEqual(our_unzip(archive, out, expect_complete=False),
                         {"extracted": 1, "skipped_unsafe": 4, "result": 0})
        self.assertEqual(os.listdir(os.path.join(self.work, "nest")), ["out"])
        self.assertEqual(os.listdir(out), ["ok.txt"])


    def test_an_entry_that_cannot_be_written_fails_the_unzip(self):
        archive = os.path.join(self.work, "refused.zip")
        with zipfile.ZipFile(archive, "w") as z:
            z.writestr("a.inf", b"inf")
            z.writestr("d/" + "n" * 300 + ".sys", b"no file system takes this name")
        out = os.path.join(self.work, "out")
        self.assertEqual(our_unzip(archive, out, expect_complete=False)["extracted"], 1)

    def test_a_long_name_is_extracted_whole(self):
        archive = os.path.join(self.work, "long.zip")
        folders = "".join(f"folder{i:02}/" for i in range(30))  # 270 bytes
        with zipfile.ZipFile(archive, "w") as z:
            z.writestr(folders + "driver.inf.bak", b"the backup copy")
        out = os.path.join(self.work, "out")
        self.assertEqual(our_unzip(archive, out)["extracted"], 1)
        with open(os.path.join(out, folders, "driver.inf.bak"), "rb") as f:
            self.assertEqual(f.read(), b"the backup copy")
        self.assertFalse(os.path.exists(os.path.join(out, folders, "driver.inf")))


class archives_we_write(temp_case):
    def setUp(self):
        super().setUp()
        # quillary-cli zip stores each file under its file name part.
        self.files = {os.path.basename(n): d for n, d in self.files.items()}
        self.paths = [os.path.join(self.source, n) for n in sorted(make_tree(self.source))]
        self.archive = os.path.join(self.work, "ours.zip")
        done = run_cli("zip", self.archive, *self.paths)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stdout + done.stderr, "")

    def test_info_zip_tests_and_extracts_them(self):
        tested = subprocess.run(["unzip", "-t", self.archive], capture_output=True, text=True)
        self.assertEqual(tested.returncode, 0, tested.stdout)
        self.assertIn("No errors detected", tested.stdout)
        out = os.path.join(self.work, "out")
        subprocess.run(["unzip", "-q", self.archive, "-d", out], check=True)
        for path in self.paths:
            extracted = os.path.join(out, os.path.basename(path))
            self.assertEqual(int(os.stat(extracted).st_mtime), int(os.stat(path).st_mtime), path)

    def test_zipfile_reads_names_times_and_contents(self):
        with zipfile.ZipFile(self.archive) as z:
            self.assertIsNone(z.testzip())
            self.assertEqual([i.filename for i in z.infolist()], [os.path.basename(p) for p in self.paths])
            for info, path in zip(z.infolist(), self.paths):
                with open(path, "rb") as f:
                    self.assertEqual(z.read(info), f.read())
                self.assertEqual(info.date_time, time.localtime(os.stat(path).st_mtime)[:6])
                self.assertEqual(info.compress_type, zipfile.ZIP_DEFLATED)

    def test_round_trip_through_our_unzip(self):
        out = os.path.join(self.work, "out")
        self.assertEqual(our_unzip(self.archive, out)["extracted"], len(self.paths))
        for path in self.paths:
            extracted = os.path.join(out, os.path.basename(path))
            with open(extracted, "rb") as mine, open(path, "rb") as source:
                self.assertEqual(mine.read(), source.read())
            self.assertEqual(int(os.stat(extracted).st_mtime), int(os.stat(path).st_mtime))


@unittest.skipUnless(os.environ.get("QUILLARY_ZIP64_BIG") == "1", "set QUILLARY_ZIP64_BIG=1 for the 4 GiB test")
class zip64_for_real(unittest.TestCase):
    SIZE = 4 * 2**30 + 12345

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="quillary-zip64-")
        big = os.path.join(self.work, "big.bin")
        with open(big, "wb") as f:
            f.seek(self.SIZE - 5)  # sparse up to there
            f.write(b"tail!")
        self.archive = os.path.join(self.work, "big.zip")
        done = run_cli("zip", self.archive, big)
        self.assertEqual(done.returncode, 0, done.stderr)
        os.remove(big)

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)

    def test_a_file_of_4_gib_and_more_is_a_zip64_entry(self):
        with zipfile.ZipFile(self.archive) as z:
            info = z.getinfo("big.bin")
            self.assertEqual(info.file_size, self.SIZE)
            self.assertEqual(info.extract_version, 45, "written in the 64-bit format")
        tested = subprocess.run(["unzip", "-t", self.archive], capture_output=True, text=True)
        self.assertIn("No errors detected", tested.stdout)

    # minizip 1.1 on 64-bit Linux does not read the size from the zip64
    # extra field (see copy_entry in download/zip_archive.cpp): the native
    # extraction stops at 0xFFFFFFFF bytes, finds the checksum wrong and
    # counts no file. The Windows build extracts it.
    @unittest.expectedFailure
    def test_our_unzip_extracts_it(self):
        out = os.path.join(self.work, "out")
        self.assertEqual(our_unzip(self.archive, out), {"extracted": 1, "skipped_unsafe": 0, "result": 0})
        extracted = os.path.join(out, "big.bin")
        self.assertEqual(os.path.getsize(extracted), self.SIZE)


if __name__ == "__main__":
    CLI = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
