#!/usr/bin/env python3
"""A stand-in for the update service that keeps the program waiting.

    stalling_service.py --listen HOST:PORT [--listen ...] --hold SECONDS

Every connection is accepted and its request read; then nothing is sent for
SECONDS, and the connection is closed without an answer. The program's scan
page sits in its query phase meanwhile, and the query ends as a failure
(no answer at all). Runs until killed; prints one "listening" line per
address once it accepts, and a "connection" line for each connection.
"""
import argparse
import socket
import sys
import threading
import time


def serve(sock, hold):
    while True:
        connection, _ = sock.accept()
        threading.Thread(target=hold_connection, args=(connection, hold), daemon=True).start()


def hold_connection(connection, hold):
    print("stalling_service: connection", flush=True)
    connection.settimeout(hold)
    try:
        connection.recv(65536)
        time.sleep(hold)
    except OSError:
        pass
    finally:
        connection.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--listen", action="append", required=True)
    parser.add_argument("--hold", type=float, default=10)
    args = parser.parse_args()
    for address in args.listen:
        host, port = address.rsplit(":", 1)
        sock = socket.create_server((host, int(port)), reuse_port=False)
        threading.Thread(target=serve, args=(sock, args.hold), daemon=True).start()
        print(f"stalling_service: listening on {address}", flush=True)
    while True:
        time.sleep(3600)


if __name__ == "__main__":
    sys.exit(main())
