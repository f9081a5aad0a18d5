#!/usr/bin/env python3
"""The update service at the size of a large driver library.

Generates a catalogue of N INF files from templates (a network adapter, a
USB composite device, a storage controller and a display adapter, each with
decorated models sections, install sections and a [Strings] section; every
INF file gets IDs of its own), 20 INF files to a package. Then measures, in
one run:
  - --write-index over the folder: INF files a second (the service indexes
    on one thread), and the index file's size;
  - start with --index: seconds until the listening line, and the resident
    memory then (VmRSS) and at its peak (VmHWM);
  - 200-device queries, one after the other on a kept-alive connection:
    latency percentiles 50, 90 and 99;
  - a second instance on the same index: how much of its memory is the
    shared mapping (Shared_Clean of /proc/PID/smaps_rollup);
  - with --folder-start, the start from the folder without an index too.
"""
import http.client
import os
import random
import re
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import zipfile
import zlib

INFS_PER_PACKAGE = 20

NET = """; {name}.inf: network adapter driver
; Copyright (c) Bench Networks. All rights reserved.

[Version]
Signature   = "$WINDOWS NT$"
Class       = Net
ClassGUID   = {{4d36e972-e325-11ce-bfc1-08002be10318}}
Provider    = %Vendor%
CatalogFile = {name}.cat
DriverVer   = {month:02d}/{day:02d}/{year},{major}.{minor}.{build}.{rev}
PnpLockdown = 1

[Manufacturer]
%Vendor% = Bench, NTamd64.10.0...16299, NTx86.10.0...16299, NTarm64.10.0...16299

[Bench.NTamd64.10.0...16299]
{models_amd64}
[Bench.NTx86.10.0...16299]
{models_x86}
[Bench.NTarm64.10.0...16299]
{models_arm64}
[ControlFlags]
ExcludeFromSelect = *

[Install.NT]
Characteristics = 0x84 ; NCF_HAS_UI | NCF_PHYSICAL
BusType         = 5
*IfType         = 6
*MediaType      = 0
*PhysicalMediaType = 14
AddReg          = Common.AddReg, Speed.AddReg, Offload.AddReg
CopyFiles       = Driver.CopyFiles
FeatureScore    = FE

[Install.NT.Services]
AddService = {name}, 2, Service.AddService, EventLog.AddService

[Service.AddService]
DisplayName    = %ServiceName%
ServiceType    = 1 ; SERVICE_KERNEL_DRIVER
StartType      = 3 ; SERVICE_DEMAND_START
ErrorControl   = 1 ; SERVICE_ERROR_NORMAL
ServiceBinary  = %13%\\{name}.sys
LoadOrderGroup = NDIS

[EventLog.AddService]
AddReg = EventLog.AddReg

[EventLog.AddReg]
HKR,,EventMessageFile,0x00020000,"%%SystemRoot%%\\System32\\netevent.dll;%13%\\{name}.sys"
HKR,,TypesSupported,0x00010001,7

[Common.AddReg]
HKR, Ndi,            Service,    0, "{name}"
HKR, Ndi\\Interfaces, UpperRange, 0, "ndis5"
HKR, Ndi\\Interfaces, LowerRange, 0, "ethernet"

[Speed.AddReg]
HKR, Ndi\\Params\\*SpeedDuplex,       ParamDesc,  0, %SpeedDuplex%
HKR, Ndi\\Params\\*SpeedDuplex,       default,    0, "0"
HKR, Ndi\\Params\\*SpeedDuplex,       type,       0, "enum"
HKR, Ndi\\Params\\*SpeedDuplex\\enum,  "0",        0, %AutoDetect%
HKR, Ndi\\Params\\*SpeedDuplex\\enum,  "4",        0, %100Mb%
HKR, Ndi\\Params\\*SpeedDuplex\\enum,  "6",        0, %1000Mb%

[Offload.AddReg]
HKR, Ndi\\Params\\*IPChecksumOffloadIPv4, ParamDesc, 0, %IPChksumOffv4%
HKR, Ndi\\Params\\*IPChecksumOffloadIPv4, default,   0, "3"
HKR, Ndi\\Params\\*IPChecksumOffloadIPv4, type,      0, "enum"
HKR, Ndi\\Params\\*TCPChecksumOffloadIPv4, ParamDesc, 0, %TCPChksumOffv4%
HKR, Ndi\\Params\\*TCPChecksumOffloadIPv4, default,   0, "3"
HKR, Ndi\\Params\\*LsoV2IPv4,              ParamDesc, 0, %LsoV2IPv4%
HKR, Ndi\\Params\\*LsoV2IPv4,              default,   0, "1"

[Driver.CopyFiles]
{name}.sys,,,2

[SourceDisksNames]
1 = %DiskName%,,,""

[SourceDisksFiles]
{name}.sys = 1,,

[DestinationDirs]
Driver.CopyFiles = 13

[Strings]
Vendor        = "Bench Networks"
DiskName      = "Bench Networks Driver Disk"
ServiceName   = "Bench Networks Ethernet Adapter Service"
SpeedDuplex   = "Speed & Duplex"
AutoDetect    = "Auto Negotiation"
100Mb         = "100 Mbps Full Duplex"
1000Mb        = "1.0 Gbps Full Duplex"
IPChksumOffv4 = "IPv4 Checksum Offload"
TCPChksumOffv4 = "TCP Checksum Offload (IPv4)"
LsoV2IPv4     = "Large Send Offload V2 (IPv4)"
{strings}"""

USB = """; {name}.inf: composite USB device

[Version]
Signature   = "$Windows NT$"
Class       = USB
ClassGuid   = {{36FC9E60-C465-11CF-8056-444553540000}}
Provider    = %Vendor%
DriverVer   = {month:02d}/{day:02d}/{year},{major}.{minor}.{build}.{rev}
CatalogFile = {name}.cat

[Manufacturer]
%Vendor% = Devices, NTamd64, NTx86

[Devices.NTamd64]
{models_amd64}
[Devices.NTx86]
{models_x86}
[Device_Install.NT]
Include    = winusb.inf
Needs      = WINUSB.NT
CopyFiles  = Device_CopyFiles

[Device_Install.NT.HW]
AddReg = Device_AddReg

[Device_AddReg]
HKR,,DeviceInterfaceGUIDs,0x10000,"{{5B7C7A2C-8D0E-4E5B-9E6B-2F4A0C3D9A11}}"
HKR,,SelectiveSuspendEnabled,0x00010001,1

[Device_Install.NT.Services]
Include    = winusb.inf
AddService = WinUSB,0x00000002,WinUSB_ServiceInstall

[WinUSB_ServiceInstall]
DisplayName   = %WinUSB_SvcDesc%
ServiceType   = 1
StartType     = 3
ErrorControl  = 1
ServiceBinary = %12%\\WinUSB.sys

[Device_CopyFiles]
{name}_co.dll

[SourceDisksNames]
1 = %DiskName%

[SourceDisksFiles]
{name}_co.dll = 1

[DestinationDirs]
DefaultDestDir = 11

[Strings]
Vendor         = "Bench Devices"
DiskName       = "Bench Devices Installation Disk"
WinUSB_SvcDesc = "WinUSB Driver"
{strings}"""

STORAGE = """;
; {name}.inf - storage controller
;

[Version]
Signature="$Windows NT$"
Class=SCSIAdapter
ClassGUID={{4D36E97B-E325-11CE-BFC1-08002BE10318}}
Provider=%VENDOR%
DriverVer={month:02d}/{day:02d}/{year},{major}.{minor}.{build}.{rev}
CatalogFile={name}.cat

[DestinationDirs]
DefaultDestDir = 12

[Manufacturer]
%VENDOR%=STORAGE,NTamd64.6.1,NTamd64.10.0

[STORAGE.NTamd64.6.1]
{models_amd64}
[STORAGE.NTamd64.10.0]
{models_x86}
[SourceDisksNames]
1 = %DiskId1%,,,""

[SourceDisksFiles]
{name}.sys = 1,,

[{name}_Inst]
CopyFiles=@{name}.sys
FeatureScore=80

[{name}_Inst.Services]
AddService = {name}, 0x00000002 , {name}_Service_Inst, {name}_EventLog_Inst

[{name}_Service_Inst]
ServiceType    = 1      ; SERVICE_KERNEL_DRIVER
StartType      = 0      ; SERVICE_BOOT_START
ErrorControl   = 1      ; SERVICE_ERROR_NORMAL
ServiceBinary  = %12%\\{name}.sys
LoadOrderGroup = SCSI miniport
AddReg         = pnpsafe_pci_addreg

[{name}_EventLog_Inst]
AddReg = {name}_EventLog_AddReg

[{name}_EventLog_AddReg]
HKR,,EventMessageFile,0x00020000,"%%SystemRoot%%\\System32\\IoLogMsg.dll"
HKR,,TypesSupported,0x00010001,7

[pnpsafe_pci_addreg]
HKR, "Parameters\\PnpInterface", "5", 0x00010001, 0x00000001
HKR, "Parameters", "BusType", 0x00010001, 0x0000000B

[Strings]
VENDOR="Bench Storage"
DiskId1="Bench Storage Installation Disk #1"
{strings}"""

DISPLAY = """[Version]
Signature = "$Windows NT$"
Provider = %Vendor%
Class = Display
ClassGUID = {{4d36e968-e325-11ce-bfc1-08002be10318}}
DriverVer = {month:02d}/{day:02d}/{year},{major}.{minor}.{build}.{rev}
CatalogFile = {name}.cat

[Manufacturer]
%Vendor% = Display, NTamd64.10.0...17763

[Display.NTamd64.10.0...17763]
{models_amd64}
[Display_Install]
FeatureScore = F8
CopyFiles = Display.Miniport, Display.UserMode
AddReg = Display_SoftwareDeviceSettings
DelReg = Display_DelReg

[Display_Install.Services]
AddService = {name}, 0x00000002, Display_Service

[Display_Service]
ServiceType = 1
StartType = 3
ErrorControl = 0
ServiceBinary = %13%\\{name}kmd.sys

[Display_SoftwareDeviceSettings]
HKR,, UserModeDriverName, %REG_MULTI_SZ%, {name}umd.dll
HKR,, InstalledDisplayDrivers, %REG_MULTI_SZ%, {name}umd
HKR,, VideoID, %REG_SZ%, {{6A3C1B52-7E9D-4F0A-8B3E-2C5D9F1A7B64}}
HKR,, FeatureControl, %REG_DWORD%, 0x00000018

[Display_DelReg]
HKR,,Display.Miniport
HKR,,Display.UserMode

[Display.Miniport]
{name}kmd.sys,,,0x100

[Display.UserMode]
{name}umd.dll,,,0x4000

[DestinationDirs]
Display.Miniport = 13
Display.UserMode = 11

[SourceDisksNames]
1 = %DiskName%

[SourceDisksFiles]
{name}kmd.sys = 1
{name}umd.dll = 1

[Strings]
REG_SZ = 0x00000000
REG_MULTI_SZ = 0x00010000
REG_DWORD = 0x00010001
Vendor = "Bench Graphics"
DiskName = "Bench Graphics Driver Disk"
{strings}"""

TEMPLATES = [
    ("net", NET, "PCI\\VEN_{ven}&DEV_{dev}&SUBSYS_{sub}", "Install", True),
    ("usb", USB, "USB\\VID_{ven}&PID_{dev}&MI_0{mi}", "Device_Install", False),
    ("stor", STORAGE, "PCI\\VEN_{ven}&DEV_{dev}&CC_0106", "{name}_Inst", False),
    ("disp", DISPLAY, "PCI\\VEN_{ven}&DEV_{dev}&SUBSYS_{sub}", "Display_Install", True),
]
MODELS_PER_INF = 6


def model_id(template, inf_number, model):
    pattern = template[2]
    ven = f"{0x1000 + inf_number // 0x10000:04X}"
    dev = f"{inf_number % 0x10000:04X}"
    return pattern.format(ven=ven, dev=dev, sub=f"{model:04X}{0xBE00 + model:04X}", mi=model % 10)


def generate_inf(inf_number):
    template = TEMPLATES[inf_number % len(TEMPLATES)]
    name = f"{template[0]}{inf_number}"
    lines, strings = [], []
    for model in range(MODELS_PER_INF):
        install = template[3].format(name=name)
        hardware = model_id(template, inf_number, model)
        compatible = hardware.rsplit("&", 1)[0] if template[4] and model == 0 else ""
        lines.append(f"%Model{model}% = {install}, {hardware}" + (f", {compatible}" if compatible else ""))
        strings.append(f'Model{model} = "Bench {template[0].upper()} Adapter {inf_number}-{model}"')
    models = "\n".join(lines) + "\n"
    rng = random.Random(inf_number)
    return name, template[1].format(
        name=name, models_amd64=models, models_x86=models, models_arm64=models, strings="\n".join(strings) + "\n",
        month=rng.randint(1, 12), day=rng.randint(1, 28), year=rng.randint(2012, 2026), major=rng.randint(1, 30),
        minor=rng.randint(0, 99), build=rng.randint(0, 9999), rev=rng.randint(0, 9999))


def generate_catalogue(folder, count):
    os.makedirs(folder, exist_ok=True)
    for first in range(0, count, INFS_PER_PACKAGE):
        path = os.path.join(folder, f"bench_{first // INFS_PER_PACKAGE:07d}.zip")
        with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=1) as z:
            for number in range(first, min(first + INFS_PER_PACKAGE, count)):
                name, text = generate_inf(number)
                z.writestr(f"{name}/{name}.inf", text.replace("\n", "\r\n"))
                z.writestr(f"{name}/{name}.cat", b"catalog")


def query_body(count, devices=200, seed=1):
    """A 200-device query: most devices have an ID of the catalogue (hardware
    or compatible), the rest none, as a real PC's tree does."""
    rng = random.Random(seed)
    cdata = lambda text: "<![CDATA[" + text + "]]>"
    hardware = []
    for d in range(devices):
        if d % 4 == 3:
            ids = [f"ACPI\\BENCH{d:04d}", f"*BNC{d:04d}"]
            compatible = []
        else:
            number = rng.randrange(count)
            template = TEMPLATES[number % len(TEMPLATES)]
            exact = model_id(template, number, rng.randrange(MODELS_PER_INF))
            ids = [exact + "&REV_01", exact]
            compatible = [exact.rsplit("&", 1)[0], "PCI\\CC_0200"]
        hardware.append(f"\t\t<hardware><id>{cdata(ids[0])}</id><matchid>{cdata('')}</matchid>"
                        f"<hardids>{cdata(chr(10).join(ids))}</hardids>"
                        f"<compids>{cdata(chr(10).join(compatible))}</compids></hardware>\n")
    document = ('<?xml version="1.0" encoding="UTF-8" ?>\n<driversm>\n\t<action>ACTION_UPDATE_DRIVER</action>\n'
                '\t<client version="" os="WIN1064" lang="437" model="Bench PC" build="19045" />\n\t<hardwares>\n'
                + "".join(hardware) + "\t</hardwares>\n</driversm>\n").encode("cp1252")
    return (b"--b\r\nContent-Disposition: form-data; name=\"driversm\"\r\n\r\n" + zlib.compress(document) +
            b"\r\n--b--\r\n")


def proc_status(pid, field):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1]) * 1024
    return 0


def shared_clean(pid):
    with open(f"/proc/{pid}/smaps_rollup") as f:
        for line in f:
            if line.startswith("Shared_Clean:"):
                return int(line.split()[1]) * 1024
    return 0


def start_service(service, *args):
    started = time.monotonic()
    process = subprocess.Popen([service, *args, "--listen", "127.0.0.1:0", "--quiet"], stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL, text=True)
    line = process.stdout.readline()
    seconds = time.monotonic() - started
    match = re.search(r"127\.0\.0\.1:(\d+)", line)
    if not match:
        process.kill()
        raise SystemExit(f"bench/service-scale: the service did not start: {line!r}")
    return process, int(match.group(1)), seconds


def query_latencies(port, bodies, rounds):
    connection = http.client.HTTPConnection("127.0.0.1", port)
    latencies, items = [], 0
    for i in range(rounds):
        body = bodies[i % len(bodies)]
        started = time.perf_counter()
        connection.request("POST", "/", body, {"Content-Type": "multipart/form-data; boundary=b"})
        response = connection.getresponse()
        reply = response.read()
        latencies.append((time.perf_counter() - started) * 1000)
        if response.status != 200:
            raise SystemExit(f"bench/service-scale: a query got {response.status}")
        items += reply.count(b"<item>")
    connection.close()
    return latencies, items / rounds


def percentile(values, p):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(p / 100 * (len(ordered) - 1))))]


def mib(value):
    return f"{value / 2**20:.0f} MiB"


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    folder_start = "--folder-start" in sys.argv
    if len(args) < 2:
        raise SystemExit("usage: service_scale.py SERVICE N [WORK] [--folder-start]")
    service, count = args[0], int(args[1])
    work = args[2] if len(args) > 2 else tempfile.mkdtemp(prefix="quillary-service-scale.")
    catalogue = os.path.join(work, f"catalogue-{count}")
    index = os.path.join(work, f"catalogue-{count}.index")
    if not os.path.isdir(catalogue) or len(os.listdir(catalogue)) != -(-count // INFS_PER_PACKAGE):
        shutil.rmtree(catalogue, ignore_errors=True)
        started = time.monotonic()
        generate_catalogue(catalogue, count)
        print(f"generated {count} INF files in {len(os.listdir(catalogue))} packages "
              f"in {time.monotonic() - started:.0f} s", flush=True)
    if os.path.exists(index):
        os.remove(index)  # no digests or INF files taken from an earlier run

    print(f"conditions: {os.cpu_count()} processors, load average {os.getloadavg()[0]:.2f} before the run; "
          f"{INFS_PER_PACKAGE} INF files a package, {MODELS_PER_INF} models in 2-3 decorated sections each")
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    started = time.monotonic()
    written = subprocess.run([service, "--catalogue", catalogue, "--write-index", index], stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, text=True)
    seconds = time.monotonic() - started
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if written.returncode != 0:
        raise SystemExit(f"bench/service-scale: --write-index failed: {written.stderr}")
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    print(f"--write-index: {seconds:.1f} s ({cpu:.1f} s of processor), {count / seconds:,.0f} INF files a second; "
          f"index {mib(os.path.getsize(index))}, peak memory {mib(after.ru_maxrss * 1024)}")

    process, port, start_seconds = start_service(service, "--catalogue", catalogue, "--index", index)
    rss_start = proc_status(process.pid, "VmRSS")
    bodies = [query_body(count, seed=s) for s in range(20)]
    query_latencies(port, bodies[:2], 5)  # a connection warmed, the first pages read
    latencies, items = query_latencies(port, bodies, 400)
    second, _, second_start = start_service(service, "--catalogue", catalogue, "--index", index)
    query_latencies(_, bodies, 40)
    peak = proc_status(process.pid, "VmHWM")
    shared = shared_clean(second.pid)
    second_rss = proc_status(second.pid, "VmRSS")
    for p in (process, second):
        p.terminate()
        p.wait()
    print(f"start with --index: {start_seconds:.2f} s to listening (a second instance {second_start:.2f} s); "
          f"memory {mib(rss_start)} after start, peak {mib(peak)} after {len(latencies)} queries")
    print(f"200-device queries ({items:.0f} offers each on average): p50 {percentile(latencies, 50):.1f} ms, "
          f"p90 {percentile(latencies, 90):.1f} ms, p99 {percentile(latencies, 99):.1f} ms")
    print(f"second instance: {mib(second_rss)} resident, of which {mib(shared)} shared with the page cache")
    if folder_start:
        process, port, folder_seconds = start_service(service, "--catalogue", catalogue)
        peak = proc_status(process.pid, "VmHWM")
        process.terminate()
        process.wait()
        print(f"start from the folder: {folder_seconds:.1f} s, peak memory {mib(peak)}")
    targets = [("start with --index within 3 s", start_seconds <= 3),
               ("at most 1 GiB", peak <= 1 << 30),
               ("query p99 within 10 ms", percentile(latencies, 99) <= 10),
               ("--write-index at least 20,000 INF files a second", count / seconds >= 20000)]
    print("targets: " + "; ".join(f"{name}: {'met' if ok else 'NOT met'}" for name, ok in targets))


if __name__ == "__main__":
    main()
