#!/usr/bin/env python3
"""Plays pointer and key input on the X display through the XTest extension,
for the screenshot script: x_input.py [click X Y | move X Y | key NAME | sleep S]..."""
import ctypes
import sys
import time

x11 = ctypes.CDLL("libX11.so.6")
xtst = ctypes.CDLL("libXtst.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XStringToKeysym.restype = ctypes.c_ulong
x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
x11.XKeysymToKeycode.restype = ctypes.c_ubyte
x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x11.XFlush.argtypes = [ctypes.c_void_p]
xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int,
                                      ctypes.c_ulong]
xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]

display = x11.XOpenDisplay(None)
if not display:
    sys.exit("x_input: no X display")


def move(x, y):
    xtst.XTestFakeMotionEvent(display, -1, x, y, 0)


args = sys.argv[1:]
while args:
    what = args.pop(0)
    if what in ("click", "move"):
        x, y = int(args.pop(0)), int(args.pop(0))
        move(x, y)
        if what == "click":
            x11.XFlush(display)
            time.sleep(0.2)
            xtst.XTestFakeButtonEvent(display, 1, True, 0)
            xtst.XTestFakeButtonEvent(display, 1, False, 0)
    elif what == "key":
        code = x11.XKeysymToKeycode(display, x11.XStringToKeysym(args.pop(0).encode()))
        xtst.XTestFakeKeyEvent(display, code, True, 0)
        xtst.XTestFakeKeyEvent(display, code, False, 0)
    elif what == "sleep":
        x11.XFlush(display)
        time.sleep(float(args.pop(0)))
        continue
    else:
        sys.exit("x_input: unknown step " + what)
    x11.XFlush(display)
    time.sleep(0.2)
