"""What the X server holds for the connections of one process, through the X-Resource
extension (libXRes): resource count and pixmap bytes summed over all of its connections."""

import ctypes
import ctypes.util
import os

XRES_CLIENT_ID_PID_MASK = 1 << 1


class _Spec(ctypes.Structure):
    _fields_ = [("client", ctypes.c_ulong), ("mask", ctypes.c_uint)]


class _Value(ctypes.Structure):
    _fields_ = [("spec", _Spec), ("length", ctypes.c_long), ("value", ctypes.c_void_p)]


class _Type(ctypes.Structure):
    _fields_ = [("resource_type", ctypes.c_ulong), ("count", ctypes.c_uint)]


class XResources:
    def __init__(self, display=None):
        self.x = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        self.res = ctypes.CDLL(ctypes.util.find_library("XRes") or "libXRes.so.1")
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x.XFree.argtypes = [ctypes.c_void_p]
        self.x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.res.XResQueryClientIds.argtypes = [ctypes.c_void_p, ctypes.c_long, ctypes.POINTER(_Spec),
                                                ctypes.POINTER(ctypes.c_long), ctypes.POINTER(ctypes.POINTER(_Value))]
        self.res.XResGetClientPid.argtypes = [ctypes.POINTER(_Value)]
        self.res.XResGetClientPid.restype = ctypes.c_int
        self.res.XResClientIdsDestroy.argtypes = [ctypes.c_long, ctypes.POINTER(_Value)]
        self.res.XResQueryClientResources.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_int),
                                                      ctypes.POINTER(ctypes.POINTER(_Type))]
        self.res.XResQueryClientPixmapBytes.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                                        ctypes.POINTER(ctypes.c_ulong)]
        self.display = self.x.XOpenDisplay((display or os.environ["DISPLAY"]).encode())
        if not self.display:
            raise RuntimeError("cannot open the display")

    def clients_of(self, pid):
        spec = _Spec(0, XRES_CLIENT_ID_PID_MASK)
        count = ctypes.c_long(0)
        values = ctypes.POINTER(_Value)()
        # Unlike the older calls, this one answers Success (0).
        if self.res.XResQueryClientIds(self.display, 1, ctypes.byref(spec), ctypes.byref(count),
                                       ctypes.byref(values)) != 0:
            return []
        clients = [values[i].spec.client for i in range(count.value)
                   if self.res.XResGetClientPid(ctypes.byref(values[i])) == pid]
        self.res.XResClientIdsDestroy(count, values)
        return clients

    def usage(self, pid):
        """(resources, pixmap bytes, connections), or None when the process has no connection."""
        clients = self.clients_of(pid)
        if not clients:
            return None
        resources = 0
        pixmap_bytes = 0
        for client in clients:
            n = ctypes.c_int(0)
            types = ctypes.POINTER(_Type)()
            if self.res.XResQueryClientResources(self.display, client, ctypes.byref(n), ctypes.byref(types)):
                resources += sum(types[i].count for i in range(n.value))
                if types:
                    self.x.XFree(types)
            b = ctypes.c_ulong(0)
            if self.res.XResQueryClientPixmapBytes(self.display, client, ctypes.byref(b)):
                pixmap_bytes += b.value
        return resources, pixmap_bytes, len(clients)
