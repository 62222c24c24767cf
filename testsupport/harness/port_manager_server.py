#!/usr/bin/python3
"""A serial port server for the tests, independent of ser2net: pyserial's RFC 2217 port
manager (Debian's python3-serial) in front of a device, on 127.0.0.1 and a free port.

Usage: port_manager_server.py --device PATH --port-file FILE [--raw]

Writes the port it listens on to FILE (renamed into place) once it listens. One client at a
time: another is closed at once, without a word. The device is opened for each client and
closed after it; when the device goes away the client is disconnected. --raw relays the bytes
as they are (socket://). SIGTERM ends it.
"""

import argparse
import errno
import os
import signal
import socket
import sys
import threading

import serial
import serial.rfc2217


def without_modem_lines(update):
    """Sets a modem line, where the device has them."""
    try:
        update()
    except OSError as e:
        if e.errno not in (errno.EINVAL, errno.ENOTTY):
            raise


class PtySerial(serial.Serial):
    """A pseudo-terminal has no modem lines: setting or reading them is not an error here."""

    def _update_dtr_state(self):
        without_modem_lines(super()._update_dtr_state)

    def _update_rts_state(self):
        without_modem_lines(super()._update_rts_state)

    cts = property(lambda self: False)
    dsr = property(lambda self: False)
    ri = property(lambda self: False)
    cd = property(lambda self: False)


class Connection:
    """What the port manager writes to: the client's socket, from two threads."""

    def __init__(self, sock):
        self.sock = sock
        self.lock = threading.Lock()

    def write(self, data):
        with self.lock:
            try:
                self.sock.sendall(data)
            except OSError:
                pass


def serve(client, device, raw):
    connection = Connection(client)
    port = PtySerial(device, 19200, timeout=0.2)
    manager = None if raw else serial.rfc2217.PortManager(port, connection)
    running = True

    def device_to_client():
        nonlocal running
        while running:
            try:
                data = port.read(port.in_waiting or 1)
            except (serial.SerialException, OSError, TypeError):
                break  # the device went away
            if data:
                connection.write(data if raw else b"".join(manager.escape(data)))
        running = False
        try:
            client.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass

    reader = threading.Thread(target=device_to_client, daemon=True)
    reader.start()
    try:
        while running:
            data = client.recv(4096)
            if not data:
                break
            out = data if raw else b"".join(manager.filter(data))
            if out:
                port.write(out)
    except OSError:
        pass
    running = False
    reader.join()
    port.close()
    client.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--device", required=True)
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--raw", action="store_true")
    args = parser.parse_args()
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))

    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(4)
    temporary = args.port_file + ".new"
    with open(temporary, "w") as f:
        f.write(f"{listener.getsockname()[1]}\n")
    os.rename(temporary, args.port_file)

    busy = threading.Lock()
    while True:
        client, _ = listener.accept()
        client.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        if not busy.acquire(blocking=False):
            client.close()
            continue

        def run(c=client):
            try:
                serve(c, args.device, args.raw)
            finally:
                busy.release()

        threading.Thread(target=run, daemon=True).start()


if __name__ == "__main__":
    sys.exit(main())
