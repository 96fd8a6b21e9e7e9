#!/usr/bin/env python3
"""Drives libsorvane through its C interface from Python, as an outside host
would: names and DISPIDs, properties, product identification and a waypoint
download from the receiver simulator with its Receiving events.

Usage: c_abi_host_test.py LIBSORVANE GPSSIM
"""

import ctypes
import os
import subprocess
import sys
import tempfile
import unittest

LIBRARY = None
GPSSIM = None

VT_EMPTY, VT_I2, VT_I4, VT_R8, VT_BSTR, VT_BOOL, VT_BYREF = 0, 2, 3, 5, 8, 11, 0x4000
DISPATCH_METHOD, DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUT = 1, 2, 4


class _Value(ctypes.Union):
    _fields_ = [
        ("iVal", ctypes.c_int16),
        ("lVal", ctypes.c_int32),
        ("dblVal", ctypes.c_double),
        ("boolVal", ctypes.c_int16),
        ("bstrVal", ctypes.c_char_p),
        ("plVal", ctypes.POINTER(ctypes.c_int32)),
        ("pdblVal", ctypes.POINTER(ctypes.c_double)),
    ]


class Variant(ctypes.Structure):
    _fields_ = [
        ("vt", ctypes.c_uint16),
        ("reserved1", ctypes.c_uint16),
        ("reserved2", ctypes.c_uint16),
        ("reserved3", ctypes.c_uint16),
        ("u", _Value),
    ]


EventCallback = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_int32,
                                 ctypes.POINTER(Variant), ctypes.c_int32)


def load(path):
    lib = ctypes.CDLL(path)
    lib.sorvane_create.restype = ctypes.c_void_p
    lib.sorvane_destroy.argtypes = [ctypes.c_void_p]
    lib.sorvane_invoke.argtypes = [ctypes.c_void_p, ctypes.c_int32, ctypes.c_uint16,
                                   ctypes.POINTER(Variant), ctypes.c_int32,
                                   ctypes.POINTER(Variant)]
    lib.sorvane_invoke.restype = ctypes.c_int32
    lib.sorvane_get_dispid.argtypes = [ctypes.c_char_p]
    lib.sorvane_get_dispid.restype = ctypes.c_int32
    lib.sorvane_get_name.argtypes = [ctypes.c_int32]
    lib.sorvane_get_name.restype = ctypes.c_char_p
    lib.sorvane_get_event_name.argtypes = [ctypes.c_int32]
    lib.sorvane_get_event_name.restype = ctypes.c_char_p
    lib.sorvane_connect.argtypes = [ctypes.c_void_p, EventCallback, ctypes.c_void_p,
                                    ctypes.POINTER(ctypes.c_uint32)]
    lib.sorvane_connect.restype = ctypes.c_int32
    lib.sorvane_disconnect.argtypes = [ctypes.c_void_p, ctypes.c_uint32]
    lib.sorvane_disconnect.restype = ctypes.c_int32
    lib.sorvane_variant_clear.argtypes = [ctypes.POINTER(Variant)]
    lib.sorvane_type_library.restype = ctypes.c_char_p
    return lib


def long_arg(value):
    v = Variant()
    v.vt = VT_I4
    v.u.lVal = value
    return v


def long_ref(target):
    v = Variant()
    v.vt = VT_BYREF | VT_I4
    v.u.plVal = ctypes.pointer(target)
    return v


class Control:
    """A control of the library, called by name."""

    def __init__(self, lib):
        self.lib = lib
        self.handle = lib.sorvane_create()
        if not self.handle:
            raise RuntimeError("sorvane_create failed")

    def close(self):
        if self.handle:
            self.lib.sorvane_destroy(self.handle)
            self.handle = None

    def call(self, name, *args, flags=DISPATCH_METHOD):
        dispid = self.lib.sorvane_get_dispid(name.encode())
        if dispid < 0:
            raise KeyError(name)
        array = (Variant * max(len(args), 1))(*args)
        result = Variant()
        hr = self.lib.sorvane_invoke(self.handle, dispid, flags, array, len(args),
                                     ctypes.byref(result))
        if hr != 0:
            raise OSError("%s failed: 0x%08X" % (name, hr & 0xFFFFFFFF))
        try:
            if result.vt == VT_BSTR:
                return result.u.bstrVal.decode("utf-8")
            if result.vt == VT_I4:
                return result.u.lVal
            if result.vt == VT_I2:
                return result.u.iVal
            if result.vt == VT_R8:
                return result.u.dblVal
            if result.vt == VT_BOOL:
                return result.u.boolVal
            return None
        finally:
            self.lib.sorvane_variant_clear(ctypes.byref(result))


class Simulator:
    def __init__(self, *arguments):
        self.process = subprocess.Popen([GPSSIM, *arguments], stdout=subprocess.PIPE,
                                        stdin=subprocess.DEVNULL)
        self.path = self.process.stdout.readline().decode().strip()

    def stop(self):
        self.process.stdout.close()
        self.process.terminate()
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


class CInterfaceFromPython(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.data_home = tempfile.TemporaryDirectory()
        os.environ["XDG_DATA_HOME"] = cls.data_home.name
        cls.lib = load(LIBRARY)

    @classmethod
    def tearDownClass(cls):
        cls.data_home.cleanup()

    def test_names_and_dispids(self):
        names = [self.lib.sorvane_get_name(d) for d in range(1, 77)]
        self.assertTrue(all(names))
        self.assertEqual(len(set(names)), 76)
        self.assertIsNone(self.lib.sorvane_get_name(0))
        self.assertIsNone(self.lib.sorvane_get_name(77))
        for dispid, name in enumerate(names, start=1):
            self.assertEqual(self.lib.sorvane_get_dispid(name), dispid)
        self.assertEqual(self.lib.sorvane_get_dispid(b"downloadwaypoint"), 9)
        self.assertEqual(self.lib.sorvane_get_dispid(b"NoSuchMember"), -1)
        self.assertEqual(self.lib.sorvane_get_event_name(1), b"Receiving")
        self.assertEqual(self.lib.sorvane_get_event_name(2), b"NMEAReceived")
        text = self.lib.sorvane_type_library().decode("utf-8")
        self.assertIn("dispinterface _DSorvane", text)

    def test_properties_and_plain_methods(self):
        control = Control(self.lib)
        try:
            self.assertEqual(control.call("BaudRate", flags=DISPATCH_PROPERTYGET), 9600)
            control.call("CommPort", self._short(3), flags=DISPATCH_PROPERTYPUT)
            self.assertEqual(control.call("CommPort", flags=DISPATCH_PROPERTYGET), 3)
            self.assertEqual(control.call("GetVersion"), 196613)
            self.assertEqual(control.call("GetDatumName"), "Tokyo")
            self.assertEqual(control.call("GetDatumCount"), 124)
            self.assertEqual(control.call("SetProductID", long_arg(96)), -1)
            self.assertEqual(control.call("SetProductID", long_arg(999)), 0)
            self.assertEqual(control.call("GetWaypointLatitude", long_arg(-1)), -9999.9)
        finally:
            control.close()

    @staticmethod
    def _short(value):
        v = Variant()
        v.vt = VT_I2
        v.u.iVal = value
        return v

    def test_waypoint_download_from_the_simulator(self):
        # Twelve waypoints, so that Receiving comes at the tenth.
        data = os.path.join(self.data_home.name, "receiver.txt")
        with open(data, "w", encoding="ascii") as out:
            out.write("# what the receiver holds\n")
            for i in range(12):
                out.write("waypoint WP%02d 35.%02d 139.70 comment=\"NO %d\"\n" % (i, 60 + i, i))
        sim = Simulator("--data", data)
        control = None
        try:
            self.assertTrue(sim.path.startswith("/dev/"), sim.path)
            os.environ["SORVANE_COM1"] = sim.path
            control = Control(self.lib)
            events = []

            def on_event(user, dispid, args, count):
                events.append((dispid, [args[i].u.lVal for i in range(count)],
                               [args[i].vt for i in range(count)]))

            callback = EventCallback(on_event)
            cookie = ctypes.c_uint32(0)
            self.assertEqual(self.lib.sorvane_connect(control.handle, callback, None,
                                                      ctypes.byref(cookie)), 0)

            product, version = ctypes.c_int32(0), ctypes.c_int32(0)
            description = control.call("ReadProductID", long_ref(product), long_ref(version))
            self.assertEqual(product.value, 130)
            self.assertEqual(version.value, 250)
            self.assertIn("eTrex", description)
            self.assertEqual(events, [], "identification raises no events")

            self.assertEqual(control.call("DownloadWaypoint"), 1)
            self.assertEqual(control.call("GetWaypointCount"), 12)
            names = [control.call("GetWaypointID", long_arg(i)) for i in range(12)]
            self.assertEqual(names, ["WP%02d" % i for i in range(12)])
            # Positions come in the Tokyo datum, a little south of WGS 84 here.
            latitude = control.call("GetWaypointLatitude", long_arg(0))
            self.assertAlmostEqual(latitude, 35.60 - 0.0032, delta=0.001)
            self.assertEqual(control.call("GetWaypointID", long_arg(12)), "")

            self.assertEqual(events, [(1, [10, 12], [VT_I4, VT_I4])])

            self.assertEqual(self.lib.sorvane_disconnect(control.handle, cookie), 0)
            events.clear()
            self.assertEqual(control.call("DownloadWaypoint"), 1)
            self.assertEqual(events, [])
        finally:
            if control is not None:
                control.close()
            sim.stop()


def main():
    global LIBRARY, GPSSIM
    if len(sys.argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    LIBRARY, GPSSIM = sys.argv[1], sys.argv[2]
    program = unittest.main(argv=[sys.argv[0]] + sys.argv[3:], exit=False, verbosity=2)
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
