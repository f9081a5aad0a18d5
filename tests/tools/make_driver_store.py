#!/usr/bin/env python3
"""Builds a driver store in a Wine prefix for the devices of a fixture, as
Windows keeps one: one package folder per INF name under
System32\\DriverStore\\FileRepository, and a byte copy of each package's INF
in the INF folder.

usage: make_driver_store.py FIXTURE.json WINDOWS_FOLDER [--vendor-only]

--vendor-only leaves out the drivers that came with Windows (INF names not
beginning with "oem"): the store then has vendor packages only.
"""
import hashlib
import json
import os
import sys

fixture, windows = json.load(open(sys.argv[1])), sys.argv[2]
vendor_only = "--vendor-only" in sys.argv[3:]
store = os.path.join(windows, "system32", "DriverStore", "FileRepository")
infs = os.path.join(windows, "inf")
for inf in sorted({d["driver"]["InfPath"] for d in fixture["devices"] if d.get("driver", {}).get("InfPath")}):
    if vendor_only and not inf.lower().startswith("oem"):
        continue
    stem = os.path.splitext(inf)[0]
    existing = os.path.join(infs, inf)
    text = open(existing, "rb").read() if os.path.exists(existing) else \
        f"[Version]\r\nSignature=\"$WINDOWS NT$\"\r\n; the driver of {inf}\r\n".encode()
    folder = os.path.join(store, f"{inf}_amd64_{hashlib.md5(text).hexdigest()[:8]}")
    os.makedirs(os.path.join(folder, "x64"), exist_ok=True)
    open(os.path.join(folder, inf), "wb").write(text)
    open(os.path.join(folder, stem + ".cat"), "wb").write(b"catalog of " + inf.encode())
    open(os.path.join(folder, "x64", stem + ".sys"), "wb").write(os.urandom(4096))
    if not os.path.exists(existing):
        open(existing, "wb").write(text)
