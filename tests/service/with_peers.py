#!/usr/bin/env python3
"""Runs a test command beside the peers the transfer tests talk to.

Starts, on 127.0.0.1 with free ports:
  - nginx, serving a payload folder over HTTP and HTTPS (a self-signed
    certificate), with /slow/ throttled so a download can be paused mid-file;
  - quillary-service on a small catalogue, once normally and once per fault
    mode the tests need (rate: downloads slow enough to pause);
  - the same catalogue served for real by scripts/serve-catalogue: nginx
    (HTTP and HTTPS with a self-signed certificate) in front of two
    services.
The test command gets their addresses in QUILLARY_TEST_* environment
variables, and the payload's facts (size, MD5). Everything stops afterwards.

usage: with_peers.py --service PATH [--catalogue-script PATH] -- COMMAND...
"""
import argparse
import hashlib
import os
import random
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import zipfile

PAYLOAD_SIZE = 3 * 1024 * 1024 + 123


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for_port(port, process, what, seconds=20):
    deadline = time.time() + seconds
    while time.time() < deadline:
        if process.poll() is not None:
            raise SystemExit(f"with_peers: {what} exited with {process.returncode}")
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.5):
                return
        except OSError:
            time.sleep(0.05)
    raise SystemExit(f"with_peers: {what} did not start listening on {port}")


def write_payloads(www):
    data = random.Random(20261208).randbytes(PAYLOAD_SIZE)
    for name in ("payload.bin", "with space.bin"):
        with open(os.path.join(www, name), "wb") as f:
            f.write(data)
    with open(os.path.join(www, "small.txt"), "w") as f:
        f.write("quillary transfer test\n")
    return hashlib.md5(data).hexdigest()


def start_nginx(work, www):
    cert, key = os.path.join(work, "cert.pem"), os.path.join(work, "key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-keyout", key, "-out", cert, "-subj", "/CN=127.0.0.1",
                    "-addext", "subjectAltName=IP:127.0.0.1"],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    http_port, https_port = free_port(), free_port()
    locations = f"""
        root {www};
        location /slow/ {{ alias {www}/; limit_rate 262144; }}
    """
    conf = os.path.join(work, "nginx.conf")
    with open(conf, "w") as f:
        f.write(f"""
worker_processes 1;
daemon off;
pid {work}/nginx.pid;
error_log {work}/nginx-error.log;
events {{ worker_connections 128; }}
http {{
    access_log off;
    client_body_temp_path {work}/tmp-body;
    proxy_temp_path {work}/tmp-proxy;
    fastcgi_temp_path {work}/tmp-fastcgi;
    uwsgi_temp_path {work}/tmp-uwsgi;
    scgi_temp_path {work}/tmp-scgi;
    types {{ text/plain txt; application/octet-stream bin; application/zip zip; }}
    server {{ listen 127.0.0.1:{http_port}; {locations} }}
    server {{
        listen 127.0.0.1:{https_port} ssl;
        ssl_certificate {cert};
        ssl_certificate_key {key};
        {locations}
    }}
}}
""")
    process = subprocess.Popen(["nginx", "-p", work, "-c", conf],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_for_port(http_port, process, "nginx")
    wait_for_port(https_port, process, "nginx")
    return process, http_port, https_port, cert


def package_inf(device_id):
    return "\r\n".join([
        "[Version]", 'Signature="$WINDOWS NT$"', "Class=Net",
        "ClassGuid={4d36e972-e325-11ce-bfc1-08002be10318}", "Provider=%Maker%",
        "DriverVer=05/04/2021,2.0.0.1", "CatalogFile=test.cat", "",
        "[Manufacturer]", "%Maker%=Models,NTamd64,NTx86", "",
        "[Models.NTamd64]", f"%Desc%=Install,{device_id}", "",
        "[Models.NTx86]", f"%Desc%=Install,{device_id}", "",
        "[Install]", "CopyFiles=Files", "", "[Files]", "payload.bin", "",
        "[Strings]", 'Maker="Transfer Test"', 'Desc="Transfer test adapter"', ""])


def make_catalogue(work, www):
    """Two packages of a small driver INF and the payload, so that the
    service both indexes them and serves files large enough to cut: one
    for PCI\\VEN_1AF4&DEV_1041, and one for ...&DEV_1042 that the tests
    may swap for other bytes after the query."""
    folder = os.path.join(work, "catalogue")
    os.makedirs(folder)
    for name, device_id in (("transfer-test.zip", "PCI\\VEN_1AF4&DEV_1041"),
                            ("swap-test.zip", "PCI\\VEN_1AF4&DEV_1042")):
        with zipfile.ZipFile(os.path.join(folder, name), "w", zipfile.ZIP_STORED) as z:
            z.writestr("net/test.inf", package_inf(device_id))
            z.writestr("net/test.cat", "catalog")
            z.write(os.path.join(www, "payload.bin"), "net/payload.bin")
    with open(os.path.join(folder, "transfer-test.zip"), "rb") as f:
        data = f.read()
    return folder, len(data), hashlib.md5(data).hexdigest()


def start_service(service, catalogue, fault):
    port = free_port()
    command = [service, "--catalogue", catalogue, "--listen", f"127.0.0.1:{port}", "--quiet"]
    if fault:
        command += ["--fault", fault]
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if fault == "refuse":
        time.sleep(0.5)  # nothing will listen; give it time to index and close
    else:
        wait_for_port(port, process, f"quillary-service --fault {fault}")
    return process, port


def start_deployment(work, catalogue, service):
    """scripts/serve-catalogue in the foreground; returns the process, its
    two base addresses and its certificate."""
    http_port, https_port = free_port(), free_port()
    script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "serve-catalogue")
    state = os.path.join(work, "deployment")
    process = subprocess.Popen([sys.executable, script, catalogue, "--listen", f"127.0.0.1:{http_port}",
                                "--tls-listen", f"127.0.0.1:{https_port}", "--state", state,
                                "--service", service, "--foreground"],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_for_port(https_port, process, "serve-catalogue")
    return (process, f"http://127.0.0.1:{http_port}/", f"https://127.0.0.1:{https_port}/",
            os.path.join(state, "tls", "cert.pem"))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--service", required=True)
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command

    work = tempfile.mkdtemp(prefix="quillary-peers-")
    os.chmod(work, 0o755)  # nginx workers may run as another user
    www = os.path.join(work, "www")
    os.makedirs(www)
    processes = []
    try:
        payload_md5 = write_payloads(www)
        for root, dirs, files in os.walk(work):
            for name in dirs:
                os.chmod(os.path.join(root, name), 0o755)
            for name in files:
                os.chmod(os.path.join(root, name), 0o644)
        nginx, http_port, https_port, cert = start_nginx(work, www)
        processes.append(nginx)

        catalogue, package_size, package_md5 = make_catalogue(work, www)
        env = dict(os.environ)
        env.update({
            "QUILLARY_TEST_HTTP": f"http://127.0.0.1:{http_port}",
            "QUILLARY_TEST_HTTPS": f"https://127.0.0.1:{https_port}",
            "QUILLARY_TEST_CA": cert,
            "QUILLARY_TEST_PAYLOAD_SIZE": str(PAYLOAD_SIZE),
            "QUILLARY_TEST_PAYLOAD_MD5": payload_md5,
            "QUILLARY_TEST_PACKAGE": "transfer-test.zip",
            "QUILLARY_TEST_PACKAGE_SIZE": str(package_size),
            "QUILLARY_TEST_PACKAGE_MD5": package_md5,
            "QUILLARY_TEST_CATALOGUE": catalogue,
            "QUILLARY_TEST_CLOSED": f"http://127.0.0.1:{free_port()}",
        })
        faults = {"NORMAL": None, "STATUS_503": "status:503", "REFUSE": "refuse",
                  "STALL": "stall:100000", "TRUNCATE": "truncate:700000", "EXTRA": "extra:1000",
                  "IGNORE_RANGE": "ignore-range", "OVERSIZE": "oversize", "BAD_XML": "bad-xml",
                  "STATUS_500": "status:500", "RATE": "rate:2000000"}
        for name, fault in faults.items():
            process, port = start_service(args.service, catalogue, fault)
            processes.append(process)
            env[f"QUILLARY_TEST_SERVICE_{name}"] = f"http://127.0.0.1:{port}/"
        deployment, deployed_http, deployed_https, deployed_cert = start_deployment(work, catalogue, args.service)
        processes.append(deployment)
        env.update({"QUILLARY_TEST_DEPLOYED_HTTP": deployed_http, "QUILLARY_TEST_DEPLOYED_HTTPS": deployed_https,
                    "QUILLARY_TEST_DEPLOYED_CA": deployed_cert})
        return subprocess.run(command, env=env).returncode
    finally:
        for process in processes:
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
        for process in processes:
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                process.kill()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
