#!/usr/bin/env python3
"""Drives libsorvane through its C interface from Python, as an outside host
would: a waypoint download from the receiver simulator with its Receiving
events, and positions with the satellites of two systems from its NMEA stream
through the receiver's own functions. Usage: c_abi_host_test.py LIBSORVANE GPSSIM"""

import ctypes
import os
import subprocess
import sys
import tempfile
import time

Callback = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_int32, ctypes.c_void_p, ctypes.c_int32)


class Variant(ctypes.Structure):
    class Value(ctypes.Union):
        _fields_ = [("iVal", ctypes.c_int16), ("lVal", ctypes.c_int32), ("bstrVal", ctypes.c_char_p),
                    ("dblVal", ctypes.c_double)]
    _fields_ = [("vt", ctypes.c_uint16), ("reserved", ctypes.c_uint16 * 3), ("u", Value)]


class Fix(ctypes.Structure):
    _fields_ = [("valid", ctypes.c_int32), ("latitude", ctypes.c_double),
                ("longitude", ctypes.c_double), ("altitude", ctypes.c_double),
                ("time", ctypes.c_double), ("speed", ctypes.c_double), ("course", ctypes.c_double),
                ("quality", ctypes.c_int32), ("satellitesUsed", ctypes.c_int32),
                ("hdop", ctypes.c_double), ("mode", ctypes.c_int32)]


class Satellite(ctypes.Structure):
    _fields_ = [(name, ctypes.c_int32) for name in
                ("constellation", "prn", "number", "elevation", "azimuth", "snr", "used", "signal")]


class ReceiverEvent(ctypes.Structure):
    _fields_ = [("kind", ctypes.c_int32), ("fix", ctypes.POINTER(Fix)),
                ("status", ctypes.c_void_p), ("sentence", ctypes.c_char_p)]


ReceiverCallback = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.POINTER(ReceiverEvent))


def check(got, want):
    if got != want:
        raise AssertionError("got %r, want %r" % (got, want))


def main(library, gpssim):
    lib = ctypes.CDLL(library)
    lib.sorvane_create.restype = ctypes.c_void_p
    lib.sorvane_connect.argtypes = [ctypes.c_void_p, Callback, ctypes.c_void_p, ctypes.c_void_p]
    control = ctypes.c_void_p(lib.sorvane_create())

    def call(name, *longs):  # long arguments; results boolean, long or string
        args = (Variant * max(len(longs), 1))()
        for arg, value in zip(args, longs):
            arg.vt, arg.u.lVal = 3, value
        r = Variant()
        check(lib.sorvane_invoke(control, lib.sorvane_get_dispid(name.encode()), 1, args,
                                 len(longs), ctypes.byref(r)), 0)
        value = r.u.bstrVal.decode() if r.vt == 8 else {0: None, 3: r.u.lVal, 11: r.u.iVal}[r.vt]
        lib.sorvane_variant_clear(ctypes.byref(r))
        return value

    events = []
    def on_event(user, dispid, args, count):
        values = ctypes.cast(args, ctypes.POINTER(Variant))
        events.append((dispid, [(values[i].vt, values[i].u.lVal) for i in range(count)]))
    callback = Callback(on_event)
    check(lib.sorvane_connect(control, callback, None, ctypes.byref(ctypes.c_uint32())), 0)

    with tempfile.TemporaryDirectory() as folder:
        # Twelve waypoints, so that Receiving comes at the tenth.
        data = os.path.join(folder, "receiver.txt")
        with open(data, "w", encoding="ascii") as out:
            out.writelines("waypoint WP%02d 35.%02d 139.70\n" % (i, 60 + i) for i in range(12))
        sim = subprocess.Popen([gpssim, "--data", data], stdout=subprocess.PIPE)
        try:
            os.environ["SORVANE_COM1"] = sim.stdout.readline().decode().strip()
            check(call("SetProductID", 130), -1)
            check(call("DownloadWaypoint"), 1)
            check([call("GetWaypointID", i) for i in range(13)],
                  ["WP%02d" % i for i in range(12)] + [""])
            check(events, [(1, [(3, 10), (3, 12)])])  # two longs
        finally:
            sim.terminate()
            sim.communicate(timeout=10)

    # Positions and satellites of a GPS and GLONASS receiver.
    fixes, lines = [], []
    def on_receiver(user, event):
        e = event.contents
        if e.kind == 1:
            f = e.fix.contents
            fixes.append((f.valid, f.latitude, f.mode, f.quality, f.satellitesUsed))
        elif e.kind == 4:
            lines.append(e.sentence.decode())
    receiver_callback = ReceiverCallback(on_receiver)
    lib.sorvane_receiver_connect.argtypes = [ctypes.c_void_p, ReceiverCallback, ctypes.c_void_p,
                                             ctypes.c_void_p]
    check(lib.sorvane_receiver_connect(control, receiver_callback, None,
                                       ctypes.byref(ctypes.c_uint32())), 0)
    sim = subprocess.Popen([gpssim, "--nmea", "--nmea-rate", "20", "--nmea-systems",
                            "gps,glonass", "--nmea-satellites", "6"], stdout=subprocess.PIPE)
    try:
        os.environ["SORVANE_COM1"] = sim.stdout.readline().decode().strip()
        check(call("StartNMEAReceiving"), -1)
        deadline = time.monotonic() + 20
        while len(fixes) < 3 and time.monotonic() < deadline:
            time.sleep(0.05)
        count = ctypes.c_int32()
        satellites = (Satellite * 32)()
        check(lib.sorvane_receiver_satellites(control, satellites, 32, ctypes.byref(count)), 0)
        call("StopNMEAReceiving")
    finally:
        sim.terminate()
        sim.communicate(timeout=10)
    lib.sorvane_constellation_name.restype = ctypes.c_char_p
    check(sorted((lib.sorvane_constellation_name(s.constellation).decode(), s.used)
                 for s in satellites[:count.value]), [("GLONASS", 1)] * 6 + [("GPS", 1)] * 6)
    check(len(fixes) >= 3, True)
    check({(valid, mode, quality, used) for valid, _, mode, quality, used in fixes},
          {(1, 3, 1, 12)})
    check(all(35.0 < lat < 36.0 for _, lat, _, _, _ in fixes), True)
    check(lines[0][0], "$")
    lib.sorvane_destroy(control)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
