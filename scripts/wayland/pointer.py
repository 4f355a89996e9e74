#!/usr/bin/env python3
"""A virtual pointer on the Wayland display (wlr-virtual-pointer), moved and clicked by lines on
standard input, each done by the compositor before the next is read:
  move X Y     the pointer to X,Y of the output (its size given on the command line)
  double       two presses and releases of the left button, their times 40 ms apart (well
               inside a double click)
  wheel N      the wheel turned N notches (down when positive), as a mouse wheel does
  pointer.py WIDTH HEIGHT      (WAYLAND_DISPLAY and XDG_RUNTIME_DIR name the display)"""
import os
import socket
import struct
import sys
import time

BTN_LEFT = 0x110


def string(text):
    data = text.encode() + b"\0"
    return struct.pack("<I", len(data)) + data + b"\0" * (-len(data) % 4)


class Display:
    def __init__(self):
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect(os.path.join(os.environ["XDG_RUNTIME_DIR"], os.environ.get("WAYLAND_DISPLAY", "wayland-0")))
        self.data, self.next_id, self.globals = b"", 2, {}

    def send(self, obj, opcode, *words, payload=b""):
        body = struct.pack("<%dI" % len(words), *words) + payload
        self.sock.sendall(struct.pack("<II", obj, ((8 + len(body)) << 16) | opcode) + body)

    def new_id(self):
        self.next_id += 1
        return self.next_id - 1

    def roundtrip(self, registry=None):
        callback = self.new_id()
        self.send(1, 0, callback)  # wl_display.sync
        while True:
            while len(self.data) < 8 or len(self.data) < struct.unpack_from("<II", self.data)[1] >> 16:
                chunk = self.sock.recv(4096)
                if not chunk:
                    sys.exit("pointer.py: the compositor closed the connection")
                self.data += chunk
            obj, word = struct.unpack_from("<II", self.data)
            body, self.data = self.data[8:word >> 16], self.data[word >> 16:]
            if obj == 1 and (word & 0xFFFF) == 0:  # wl_display.error
                sys.exit("pointer.py: protocol error %d on object %d" % struct.unpack_from("<II", body)[1::-1])
            if obj == registry and (word & 0xFFFF) == 0:  # wl_registry.global
                name, length = struct.unpack_from("<II", body)
                interface = body[8:8 + length - 1].decode()
                self.globals[interface] = name
            if obj == callback:
                return


def main():
    width, height = int(sys.argv[1]), int(sys.argv[2])
    d = Display()
    registry = d.new_id()
    d.send(1, 1, registry)  # wl_display.get_registry
    d.roundtrip(registry)
    if "zwlr_virtual_pointer_manager_v1" not in d.globals:
        sys.exit("pointer.py: the compositor offers no virtual pointer")
    manager = d.new_id()
    d.send(registry, 0, d.globals["zwlr_virtual_pointer_manager_v1"],
           payload=string("zwlr_virtual_pointer_manager_v1") + struct.pack("<II", 1, manager))
    pointer = d.new_id()
    d.send(manager, 0, 0, pointer)  # create_virtual_pointer on the default seat
    d.roundtrip()
    now = lambda: int(time.monotonic() * 1000) & 0xFFFFFFFF
    for line in sys.stdin:
        words = line.split()
        if words[:1] == ["move"]:
            d.send(pointer, 1, now(), int(words[1]), int(words[2]), width, height)  # motion_absolute
            d.send(pointer, 4)  # frame
        elif words[:1] == ["double"]:
            t = now()
            for i in range(2):
                for state in (1, 0):
                    d.send(pointer, 2, t + 40 * i, BTN_LEFT, state)  # button
                    d.send(pointer, 4)
        elif words[:1] == ["wheel"]:
            notches = int(words[1])
            d.send(pointer, 5, 0)  # axis_source: wheel
            d.send(pointer, 7, now(), 0, notches * 15 * 256 & 0xFFFFFFFF, notches & 0xFFFFFFFF)  # axis_discrete, vertical
            d.send(pointer, 4)
        d.roundtrip()
        print("done", flush=True)


main()
