# SPDX-License-Identifier: GPL-3.0-or-later
"""Faults over raw sockets, each followed by a query the same connection must
still answer. Usage: faults.py PORT PID"""
import socket
import sys
import time

PORT = int(sys.argv[1])
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)


class Client:
    def __init__(self):
        self.sock = socket.create_connection(("127.0.0.1", PORT), timeout=20)
        self.file = self.sock.makefile("rb")

    def send(self, data):
        self.sock.sendall(data)

    def query(self, line):
        self.send(line.encode() + b"\n")
        return self.file.readline().decode().rstrip("\n")

    def closed_by_server(self, within_s):
        """Reads until the server closes the connection; False if it does not."""
        self.sock.settimeout(within_s)
        try:
            while self.sock.recv(1 << 16):
                pass
            return True
        except ConnectionResetError:
            return True
        except socket.timeout:
            return False


c = Client()
# Bytes sent, and the error that SYST:ERR? must then name.
table = [
    (b"FOO?\n", -113),
    (b"MEAS:FREQ? XX\n", -224),
    (b"MEAS:CURR? UR\n", -224),
    (b"SOUR:FREQ 30000\n", -222),
    (b"SOUR:VOLT -0.1\n", -222),
    (b"SOUR:FREQ ABC\n", -104),
    (b"SOUR:FREQ 1 KV\n", -131),
    (b"SOUR:FREQ\n", -109),
    (b"SOUR:FREQ 100,200\n", -108),
    (b"*IDN? 1\n", -108),
    (b"SOUR:FREQ 1e999\n", -123),
    (b"MEAS:VOLT? \"unterminated\n", -151),
    (b"MEAS:VOLT? #3abc\n", -104),
    (b"MEAS:VOLT? UR IL\n", -103),
    (b"MEAS:VOLT? UR,\n", -109),
    (b"MEAS::VOLT?\n", -101),
    (b"MEASUREMENTSXX:VOLT?\n", -112),
    (b"*RST?\n", -113),
    (b"MEAS:FREQ UR\n", -113),
    (b"\x00\xff\xfe\x80garbage\r\n", -101),
    (b"\xc4\x8d\xc3\xa1st\n", -101),
]
for sent, code in table:
    c.send(sent)
    error = c.query("SYST:ERR?")
    check(error.startswith(f"{code},\""), f"{sent!r}: {error} is not {code}")
    check(c.query("SYST:ERR?") == '0,"No error"', f"{sent!r}: one error only")
    check(c.query("*IDN?").startswith("osciloskop,"), f"{sent!r}: the connection still answers")

# The queue keeps 16; the 16th becomes "Queue overflow"; *CLS empties it.
c.send(b"X;" * 20 + b"\n")
check(c.query("SYST:ERR:COUN?") == "16", "the error queue holds 16")
errors = [c.query("SYST:ERR?") for _ in range(16)]
check(errors[-1].startswith("-350,") and errors[0].startswith("-113,"), "queue overflow")
c.send(b"X\n*CLS\n")
check(c.query("SYST:ERR?") == '0,"No error"', "*CLS empties the queue")

# A line over 64 KiB: refused, the connection closed.
long = Client()
long.send(b"*IDN?;" + b"A" * 70000)
check(long.file.readline().startswith(b"-363,"), "a line over 64 KiB is refused")
check(long.closed_by_server(10), "a line over 64 KiB closes the connection")

# A client that sends and never reads: past the cap it is disconnected.
hog = Client()
hog.sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
for _ in range(300):
    try:
        hog.send(b"FETC:WAV?\n")
    except OSError:
        break
started = time.time()
deadline = started + 60
while time.time() < deadline and c.query("*IDN?").startswith("osciloskop,"):
    # Served alongside, as long as the hog lasts.
    try:
        hog.sock.send(b"*IDN?\n")
    except OSError:
        break
    time.sleep(0.2)
check(hog.closed_by_server(30), "a client that never reads is disconnected")
print(f"the client that never read was disconnected after {time.time() - started:.1f} s")
check(c.query("*IDN?").startswith("osciloskop,"), "served after the hog went")

# Eight at once, silent ones among them; the ninth is told and closed.
silent = [Client() for _ in range(7)]
ninth = Client()
check(ninth.file.readline().startswith(b"-200,"), "the ninth client is told why")
check(ninth.closed_by_server(10), "the ninth client is closed")
check(float(c.query("MEAS:FREQ? IL")) == float(c.query("MEAS:FREQ? IL")) > 249,
      "readings with seven silent clients by")
silent.pop().sock.close()
time.sleep(0.5)
check(Client().query("*IDN?").startswith("osciloskop,"), "a place freed is taken again")
sys.exit(1 if failures else 0)
