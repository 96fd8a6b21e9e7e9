#!/usr/bin/env python3
"""Drives libsorvane through its C interface from Python, as an outside host
would: a waypoint download from the receiver simulator with its Receiving
events. Usage: c_abi_host_test.py LIBSORVANE GPSSIM"""

import ctypes
import os
import subprocess
import sys
import tempfile

Callback = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_int32, ctypes.c_void_p, ctypes.c_int32)


class Variant(ctypes.Structure):
    class Value(ctypes.Union):
        _fields_ = [("iVal", ctypes.c_int16), ("lVal", ctypes.c_int32), ("bstrVal", ctypes.c_char_p),
                    ("dblVal", ctypes.c_double)]
    _fields_ = [("vt", ctypes.c_uint16), ("reserved", ctypes.c_uint16 * 3), ("u", Value)]


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
        value = r.u.bstrVal.decode() if r.vt == 8 else {3: r.u.lVal, 11: r.u.iVal}[r.vt]
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
    lib.sorvane_destroy(control)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
