#!/usr/bin/env python3
"""The loopback library that scripts/run.sh preloads when it serves the window
over VNC: listening sockets bound to any address end up on loopback, other
sockets are left alone, and the desktop program's VNC server listens on
loopback only.

Usage: loopback_bind_test.py LIBRARY [TOBRELPA]
"""

import os
import socket
import subprocess
import sys
import time

BINDS = r"""
import socket
def name(family, kind, address, v6only=None):
    try:
        s = socket.socket(family, kind)
    except OSError:
        return "none"
    if v6only is not None:
        s.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, v6only)
    s.bind((address, 0))
    return s.getsockname()[0]
print(name(socket.AF_INET, socket.SOCK_STREAM, "0.0.0.0"),
      name(socket.AF_INET6, socket.SOCK_STREAM, "::", 0),
      name(socket.AF_INET6, socket.SOCK_STREAM, "::", 1),
      name(socket.AF_INET, socket.SOCK_DGRAM, "0.0.0.0"),
      name(socket.AF_INET, socket.SOCK_STREAM, "127.0.0.1"))
"""

LOOPBACK = {"0100007F", "0000000000000000FFFF00000100007F", "00000000000000000000000001000000"}


def check(what, got, want):
    if got != want:
        print(f"{what}: got {got!r}, want {want!r}")
        return False
    return True


def listeners(port):
    """Local addresses (hex, as /proc shows them) of sockets listening on port."""
    found = []
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        try:
            lines = open(table).read().splitlines()[1:]
        except OSError:
            continue
        for line in lines:
            fields = line.split()
            address, hexport = fields[1].split(":")
            if int(hexport, 16) == port and fields[3] == "0A":
                found.append(address)
    return found


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def program_listens_on_loopback_only(library, tobrelpa):
    port = free_port()
    env = dict(os.environ, LD_PRELOAD=library, QT_QPA_PLATFORM=f"vnc:size=320x240:port={port}",
               SORVANE_COM1="/nonexistent/tty")
    program = subprocess.Popen([tobrelpa], env=env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    try:
        deadline = time.monotonic() + 30
        found = []
        while not found and time.monotonic() < deadline and program.poll() is None:
            time.sleep(0.1)
            found = listeners(port)
    finally:
        program.terminate()
        program.wait(timeout=30)
    if not found:
        print("the program never listened on its VNC port")
        return False
    return check("the VNC server's addresses", [a in LOOPBACK for a in found], [True] * len(found))


def main():
    library = sys.argv[1]
    got = subprocess.run([sys.executable, "-c", BINDS], env=dict(os.environ, LD_PRELOAD=library),
                         capture_output=True, text=True, check=True).stdout.split()
    ok = check("stream sockets on any address, datagrams, an explicit address", got[0::4][:1] +
               [got[3], got[4]], ["127.0.0.1", "0.0.0.0", "127.0.0.1"])
    if got[1] != "none":
        ok &= check("IPv6 sockets on any address", got[1:3], ["::ffff:127.0.0.1", "::1"])
    if len(sys.argv) > 2 and os.path.exists(sys.argv[2]):
        ok &= program_listens_on_loopback_only(library, sys.argv[2])
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
