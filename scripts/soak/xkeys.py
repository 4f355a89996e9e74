"""Key presses through the XTest extension, from this process: starting a program per key
(xdotool) costs more than the switch it drives on a busy machine."""

import ctypes
import ctypes.util
import os

ALIASES = {"super": "Super_L", "alt": "Alt_L", "shift": "Shift_L", "ctrl": "Control_L"}


class Keyboard:
    def __init__(self, display=None):
        self.x = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        self.xtst = ctypes.CDLL(ctypes.util.find_library("Xtst") or "libXtst.so.6")
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x.XStringToKeysym.restype = ctypes.c_ulong
        self.x.XStringToKeysym.argtypes = [ctypes.c_char_p]
        self.x.XKeysymToKeycode.restype = ctypes.c_ubyte
        self.x.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.x.XFlush.argtypes = [ctypes.c_void_p]
        self.x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self.x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        name = (display or os.environ["DISPLAY"]).encode()
        self.display = self.x.XOpenDisplay(name)
        if not self.display:
            raise RuntimeError(f"cannot open display {name.decode()}")
        self.codes = {}

    def code(self, key):
        if key not in self.codes:
            keysym = self.x.XStringToKeysym(ALIASES.get(key, key).encode())
            code = self.x.XKeysymToKeycode(self.display, keysym) if keysym else 0
            if not code:
                raise ValueError(f"no key code for {key}")
            self.codes[key] = code
        return self.codes[key]

    def down(self, *keys):
        for k in keys:
            self.xtst.XTestFakeKeyEvent(self.display, self.code(k), 1, 0)
        self.x.XSync(self.display, 0)

    def up(self, *keys):
        for k in keys:
            self.xtst.XTestFakeKeyEvent(self.display, self.code(k), 0, 0)
        self.x.XSync(self.display, 0)

    def tap(self, key, times=1, delay=0.0):
        import time
        for i in range(times):
            self.down(key)
            self.up(key)
            if delay and i + 1 < times:
                time.sleep(delay)

    def close(self):
        if self.display:
            self.x.XCloseDisplay(self.display)
            self.display = None
