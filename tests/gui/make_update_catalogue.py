#!/usr/bin/env python3
"""A catalogue that makes exactly N devices of a device fixture out of date.

    make_update_catalogue.py FIXTURE.json DIR [N] [--shared] [--decoration D]

For the first N devices of the fixture that have a driver from another
provider than Microsoft, writes DIR/<n>.zip: one driver package whose INF
names the device's first hardware ID for 64-bit Windows, dated after any
installed driver, signed (it has a catalogue file), with a feature score of 0.
Display adapters are passed over: Wine keeps its own. The service then offers each a
package that is better by every rule the program applies, also where the
system reports no driver rank (Wine), so the device counts as out of date.
With --shared, the first package is for the first two devices (its INF names
both), so N devices get N - 1 packages. --decoration names the models
section's decoration (default NTamd64, any 64-bit Windows); NTamd64.6.1, the
system Wine reports, makes the packages beat ones for other systems.
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
%Vendor% = Models,{decoration}

[Models.{decoration}]
{models}

[Install.NT]
FeatureScore = 0x00

[Strings]
Vendor = "Test Updates {n}"
Device = "Updated driver {n}"
"""


def main():
    args = sys.argv[1:]
    shared = "--shared" in args
    decoration = "NTamd64"
    if "--decoration" in args:
        at = args.index("--decoration")
        decoration = args[at + 1]
        del args[at:at + 2]
    args = [a for a in args if a != "--shared"]
    fixture, folder = args[0], args[1]
    wanted = int(args[2]) if len(args) > 2 else 3
    devices = json.load(open(fixture, encoding="utf-8"))["devices"]
    # Wine keeps its own display adapter: the fixture's is not listed there.
    chosen = [d for d in devices
              if d.get("driver") and d["driver"].get("ProviderName") != "Microsoft"
              and d["properties"].get("HardwareID") and d["properties"].get("Class") != "Display"][:wanted]
    if len(chosen) < wanted:
        sys.exit(f"make_update_catalogue: only {len(chosen)} devices with drivers of other providers")
    groups = [[d] for d in chosen]
    if shared and len(groups) >= 2:
        groups[0:2] = [groups[0] + groups[1]]
    os.makedirs(folder, exist_ok=True)
    for n, group in enumerate(groups, start=1):
        models = "\n".join(f"%Device% = Install, {d['properties']['HardwareID'][0]}" for d in group)
        text = INF.format(cls=group[0]["properties"].get("Class", "System"), n=n, models=models,
                          decoration=decoration)
        with zipfile.ZipFile(os.path.join(folder, f"update{n}.zip"), "w") as z:
            z.writestr(f"update{n}/update{n}.inf", text.replace("\n", "\r\n"))
            z.writestr(f"update{n}/update{n}.cat", f"signed catalogue {n}")


if __name__ == "__main__":
    main()
