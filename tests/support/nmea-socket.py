#!/usr/bin/env python3
"""Serves NMEA on a Unix socket, as a GPS-sharing daemon does: to each client that connects, a
fix at 51.5 N, 0.1275 W (GGA and RMC) every second, with the current time.
    nmea-socket.py SOCKET"""
import os
import socket
import sys
import threading
import time


def sentence(body):
    checksum = 0
    for c in body:
        checksum ^= ord(c)
    return "$%s*%02X\r\n" % (body, checksum)


def feed(connection):
    try:
        while True:
            now = time.gmtime()
            hms, dmy = time.strftime("%H%M%S", now), time.strftime("%d%m%y", now)
            connection.sendall(sentence(
                "GPGGA,%s.00,5130.0000,N,00007.6500,W,1,08,0.9,30.0,M,47.0,M,," % hms).encode())
            connection.sendall(sentence(
                "GPRMC,%s.00,A,5130.0000,N,00007.6500,W,5.0,90.0,%s,,,A" % (hms, dmy)).encode())
            time.sleep(1)
    except OSError:
        connection.close()


path = sys.argv[1]
if os.path.exists(path):
    os.unlink(path)
server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
server.bind(path)
server.listen(4)
while True:
    client, _ = server.accept()
    threading.Thread(target=feed, args=(client,), daemon=True).start()
