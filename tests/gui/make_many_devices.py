#!/usr/bin/env python3
"""A raw device-scan fixture of N distinct present devices, each with a
driver of its own vendor, for tests that need many results.

    make_many_devices.py N > FIXTURE.json

The classes are the demo PC's; the devices take them in turn (never the
display class, which Wine keeps for its own adapter).
"""
import json
import sys

CLASSES = [
    ("{4d36e96c-e325-11ce-bfc1-08002be10318}", "MEDIA", "Sound, video and game controllers"),
    ("{4d36e972-e325-11ce-bfc1-08002be10318}", "Net", "Network adapters"),
    ("{6bdd1fc6-810f-11d0-bec7-08002be2092f}", "Image", "Imaging devices"),
    ("{4d36e979-e325-11ce-bfc1-08002be10318}", "Printer", "Printers"),
    ("{4d36e97d-e325-11ce-bfc1-08002be10318}", "System", "System devices"),
]


def main():
    count = int(sys.argv[1])
    devices = []
    for i in range(count):
        guid, name, _ = CLASSES[i % len(CLASSES)]
        hardware_id = f"PCI\\VEN_7E57&DEV_{i:04X}&SUBSYS_{i:04X}7E57&REV_01"
        devices.append({
            "instance_id": f"{hardware_id}\\4&{i:08X}&0&00E0",
            "present": True,
            "status_ok": True,
            "properties": {
                "DeviceDesc": f"Test device {i + 1}",
                "EnumeratorName": "PCI",
                "Class": name,
                "ClassGUID": guid,
                "HardwareID": [hardware_id, f"PCI\\VEN_7E57&DEV_{i:04X}"],
                "CompatibleIDs": ["PCI\\CC_0280"],
            },
            "driver": {
                "DriverVersion": f"1.0.0.{i}",
                "InfPath": f"oem{100 + i}.inf",
                "DriverDate": "1-1-2010",
                "DriverDesc": f"Test device {i + 1}",
                "MatchingDeviceId": hardware_id.lower(),
                "ProviderName": "Test Vendor",
            },
            "rank": 0xFF0000,
        })
    classes = [{"guid": g.upper(), "name": n, "description": d, "image_index": k}
               for k, (g, n, d) in enumerate(CLASSES)]
    json.dump({"format": "quillary raw device scan 1", "classes": classes, "devices": devices},
              sys.stdout, indent=1)


if __name__ == "__main__":
    main()
