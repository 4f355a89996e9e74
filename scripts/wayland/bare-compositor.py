#!/usr/bin/env python3
"""A Wayland display that offers only the core globals (wl_compositor, wl_shm, wl_seat), as a
compositor without the wlr protocols (GNOME, KDE Plasma) looks to a client: enough for a
client to connect, read the globals and make its round trips. Nothing is ever drawn.
  bare-compositor.py SOCKET_PATH      (serves until killed)"""
import os
import socket
import struct
import sys
import threading

GLOBALS = [(1, "wl_compositor", 4), (2, "wl_shm", 1), (3, "wl_seat", 5)]


def message(obj, opcode, payload=b""):
    return struct.pack("<II", obj, ((8 + len(payload)) << 16) | opcode) + payload


def string(text):
    data = text.encode() + b"\0"
    return struct.pack("<I", len(data)) + data + b"\0" * (-len(data) % 4)


def serve(conn):
    data, serial = b"", 0
    with conn:
        while True:
            chunk = conn.recv(4096)
            if not chunk:
                return
            data += chunk
            while len(data) >= 8:
                obj, word = struct.unpack_from("<II", data)
                size, opcode = word >> 16, word & 0xFFFF
                if size < 8 or len(data) < size:
                    break
                body, data = data[8:size], data[size:]
                if obj != 1:
                    continue  # requests to bound globals need no answer here
                if opcode == 0:  # wl_display.sync(callback)
                    (callback,) = struct.unpack_from("<I", body)
                    serial += 1
                    conn.sendall(message(callback, 0, struct.pack("<I", serial)) +
                                 message(1, 1, struct.pack("<I", callback)))
                elif opcode == 1:  # wl_display.get_registry(registry)
                    (registry,) = struct.unpack_from("<I", body)
                    conn.sendall(b"".join(message(registry, 0, struct.pack("<I", name) + string(iface) +
                                                  struct.pack("<I", version))
                                          for name, iface, version in GLOBALS))


def main():
    path = sys.argv[1]
    if os.path.exists(path):
        os.unlink(path)
    server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    server.bind(path)
    server.listen(4)
    while True:
        conn, _ = server.accept()
        threading.Thread(target=serve, args=(conn,), daemon=True).start()


if __name__ == "__main__":
    main()
