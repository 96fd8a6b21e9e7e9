#!/usr/bin/env python3
"""Drives libsorvane through its C interface from Python, as an outside host
would: a property, product identification and a waypoint download from the
receiver simulator with its Receiving events.

Usage: c_abi_host_test.py LIBSORVANE GPSSIM
"""

import ctypes
import os
import subprocess
import sys
import tempfile
import unittest

VT_I2, VT_I4, VT_R8, VT_BSTR, VT_BYREF = 2, 3, 5, 8, 0x4000
DISPATCH_METHOD, DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUT = 1, 2, 4


class Variant(ctypes.Structure):
    class _Value(ctypes.Union):
        _fields_ = [("iVal", ctypes.c_int16), ("lVal", ctypes.c_int32),
                    ("dblVal", ctypes.c_double), ("bstrVal", ctypes.c_char_p),
                    ("plVal", ctypes.POINTER(ctypes.c_int32))]
    _fields_ = [("vt", ctypes.c_uint16), ("reserved", ctypes.c_uint16 * 3), ("u", _Value)]


def variant(vt, field, value):
    v = Variant()
    v.vt = vt
    setattr(v.u, field, value)
    return v


EventCallback = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_int32,
                                 ctypes.POINTER(Variant), ctypes.c_int32)


class CInterfaceFromPython(unittest.TestCase):
    def setUp(self):
        self.lib = lib = ctypes.CDLL(sys.argv[1])
        lib.sorvane_create.restype = ctypes.c_void_p
        lib.sorvane_destroy.argtypes = [ctypes.c_void_p]
        lib.sorvane_invoke.argtypes = [ctypes.c_void_p, ctypes.c_int32, ctypes.c_uint16,
                                       ctypes.POINTER(Variant), ctypes.c_int32,
                                       ctypes.POINTER(Variant)]
        lib.sorvane_connect.argtypes = [ctypes.c_void_p, EventCallback, ctypes.c_void_p,
                                        ctypes.POINTER(ctypes.c_uint32)]
        lib.sorvane_disconnect.argtypes = [ctypes.c_void_p, ctypes.c_uint32]
        lib.sorvane_variant_clear.argtypes = [ctypes.POINTER(Variant)]
        self.data_home = tempfile.TemporaryDirectory()
        os.environ["XDG_DATA_HOME"] = self.data_home.name
        self.handle = lib.sorvane_create()
        self.assertTrue(self.handle)

    def tearDown(self):
        self.lib.sorvane_destroy(self.handle)
        self.data_home.cleanup()

    def call(self, name, *args, flags=DISPATCH_METHOD):
        dispid = self.lib.sorvane_get_dispid(name.encode())
        self.assertGreater(dispid, 0, name)
        result = Variant()
        hr = self.lib.sorvane_invoke(self.handle, dispid, flags, (Variant * max(len(args), 1))(*args),
                                     len(args), ctypes.byref(result))
        self.assertEqual(hr, 0, name)
        value = {VT_BSTR: lambda: result.u.bstrVal.decode("utf-8"), VT_I4: lambda: result.u.lVal,
                 VT_I2: lambda: result.u.iVal, VT_R8: lambda: result.u.dblVal}.get(
                     result.vt, lambda: None)()
        self.lib.sorvane_variant_clear(ctypes.byref(result))
        return value

    def test_waypoint_download_from_the_simulator(self):
        # Twelve waypoints, so that Receiving comes at the tenth.
        data = os.path.join(self.data_home.name, "receiver.txt")
        with open(data, "w", encoding="ascii") as out:
            for i in range(12):
                out.write("waypoint WP%02d 35.%02d 139.70\n" % (i, 60 + i))
        sim = subprocess.Popen([sys.argv[2], "--data", data], stdout=subprocess.PIPE,
                               stdin=subprocess.DEVNULL)
        try:
            os.environ["SORVANE_COM3"] = sim.stdout.readline().decode().strip()
            self.call("CommPort", variant(VT_I2, "iVal", 3), flags=DISPATCH_PROPERTYPUT)
            self.assertEqual(self.call("CommPort", flags=DISPATCH_PROPERTYGET), 3)
            events = []
            callback = EventCallback(lambda user, dispid, args, count: events.append(
                (dispid, [(args[i].vt, args[i].u.lVal) for i in range(count)])))
            cookie = ctypes.c_uint32(0)
            self.assertEqual(self.lib.sorvane_connect(self.handle, callback, None,
                                                      ctypes.byref(cookie)), 0)

            product, version = ctypes.c_int32(0), ctypes.c_int32(0)
            description = self.call("ReadProductID", variant(VT_BYREF | VT_I4, "plVal",
                                                             ctypes.pointer(product)),
                                    variant(VT_BYREF | VT_I4, "plVal", ctypes.pointer(version)))
            self.assertEqual((product.value, version.value), (130, 250))
            self.assertIn("eTrex", description)
            self.assertEqual(events, [], "identification raises no events")

            self.assertEqual(self.call("DownloadWaypoint"), 1)
            self.assertEqual(self.call("GetWaypointCount"), 12)
            names = [self.call("GetWaypointID", variant(VT_I4, "lVal", i)) for i in range(13)]
            self.assertEqual(names, ["WP%02d" % i for i in range(12)] + [""])
            # Positions come in the Tokyo datum, a little south of WGS 84 here.
            latitude = self.call("GetWaypointLatitude", variant(VT_I4, "lVal", 0))
            self.assertAlmostEqual(latitude, 35.60 - 0.0032, delta=0.001)
            self.assertEqual(events, [(1, [(VT_I4, 10), (VT_I4, 12)])])

            self.assertEqual(self.lib.sorvane_disconnect(self.handle, cookie), 0)
            events.clear()
            self.assertEqual(self.call("DownloadWaypoint"), 1)
            self.assertEqual(events, [])
        finally:
            sim.stdout.close()
            sim.terminate()
            sim.wait(timeout=10)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    program = unittest.main(argv=sys.argv[:1] + sys.argv[3:], exit=False, verbosity=2)
    sys.exit(0 if program.result.wasSuccessful() else 1)
