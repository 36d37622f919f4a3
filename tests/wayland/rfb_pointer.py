#!/usr/bin/env python3
"""Moves the pointer of a VNC server (RFC 6143): connects without
authentication, then sends one PointerEvent per position given.
Usage: rfb_pointer.py PORT X,Y [X,Y ...] (each move DELAY seconds apart, 0.3 by default)"""
import os
import socket
import struct
import sys
import time


def exactly(connection, count):
    data = b""
    while len(data) < count:
        chunk = connection.recv(count - len(data))
        if not chunk:
            raise ConnectionError("the server closed the connection")
        data += chunk
    return data


def handshake(connection):
    version = exactly(connection, 12)
    if not version.startswith(b"RFB 003."):
        raise ConnectionError(f"not an RFB server: {version!r}")
    connection.sendall(b"RFB 003.008\n")
    (count,) = exactly(connection, 1)
    if count == 0:
        (length,) = struct.unpack(">I", exactly(connection, 4))
        raise ConnectionError(exactly(connection, length).decode(errors="replace"))
    types = exactly(connection, count)
    if 1 not in types:
        raise ConnectionError(f"the server wants authentication (security types {list(types)})")
    connection.sendall(bytes([1]))  # None
    (result,) = struct.unpack(">I", exactly(connection, 4))
    if result != 0:
        raise ConnectionError("the server refused the connection")
    connection.sendall(bytes([1]))  # ClientInit: share the desktop
    width, height = struct.unpack(">HH", exactly(connection, 4))
    exactly(connection, 16)  # the pixel format
    (length,) = struct.unpack(">I", exactly(connection, 4))
    exactly(connection, length)  # the desktop's name
    return width, height


def main():
    port = int(sys.argv[1])
    delay = float(os.environ.get("DELAY", "0.3"))
    with socket.create_connection(("127.0.0.1", port), timeout=10) as connection:
        width, height = handshake(connection)
        for position in sys.argv[2:]:
            x, y = (int(value) for value in position.split(","))
            connection.sendall(struct.pack(">BBHH", 5, 0, min(x, width - 1), min(y, height - 1)))
            time.sleep(delay)
    print(f"moved the pointer {len(sys.argv) - 2} times on a {width}x{height} desktop")


if __name__ == "__main__":
    main()
