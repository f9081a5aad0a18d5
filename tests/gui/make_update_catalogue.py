#!/usr/bin/env python3
"""A catalogue that makes exactly N devices of a device fixture out of date.

    make_update_catalogue.py FIXTURE.json DIR [N]

For the first N devices of the fixture that have a driver from another
provider than Microsoft, writes DIR/<n>.zip: one driver package whose INF
names the device's first hardware ID for 64-bit Windows, dated after any
installed driver, signed (it has a catalogue file), with a feature score of 0.
Display adapters are passed over: Wine keeps its own. The service then offers each a
package that is better by every rule the program applies, also where the
system reports no driver rank (Wine), so the device counts as out of date.
"""
import json
import os
import sys
import zipfile

INF = """[Version]
Signature   = "$Windows NT$"
Class       = {cls}
Provider    = %Vendor%
DriverVer   = 01/15/2030,9.9.9.{n}
CatalogFile = update{n}.cat

[Manufacturer]
%Vendor% = Models,NTamd64

[Models.NTamd64]
%Device% = Install, {hardware_id}

[Install.NT]
FeatureScore = 0x00

[Strings]
Vendor = "Test Updates {n}"
Device = "Updated driver {n}"
"""


def main():
    fixture, folder = sys.argv[1], sys.argv[2]
    wanted = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    devices = json.load(open(fixture, encoding="utf-8"))["devices"]
    # Wine keeps its own display adapter: the fixture's is not listed there.
    chosen = [d for d in devices
              if d.get("driver") and d["driver"].get("ProviderName") != "Microsoft"
              and d["properties"].get("HardwareID") and d["properties"].get("Class") != "Display"][:wanted]
    if len(chosen) < wanted:
        sys.exit(f"make_update_catalogue: only {len(chosen)} devices with drivers of other providers")
    os.makedirs(folder, exist_ok=True)
    for n, device in enumerate(chosen, start=1):
        text = INF.format(cls=device["properties"].get("Class", "System"), n=n,
                          hardware_id=device["properties"]["HardwareID"][0])
        with zipfile.ZipFile(os.path.join(folder, f"update{n}.zip"), "w") as z:
            z.writestr(f"update{n}/update{n}.inf", text.replace("\n", "\r\n"))
            z.writestr(f"update{n}/update{n}.cat", f"signed catalogue {n}")


if __name__ == "__main__":
    main()
