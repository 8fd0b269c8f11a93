# SPDX-License-Identifier: GPL-3.0-or-later
"""CLIENTS clients at once, QUERIES queries each, every answer checked: an
error of the client's own (an unknown header naming the client and the
query) read back from its queue, and a reading. Prints the rate and the
program's CPU share meanwhile. Usage: load.py PORT PID CLIENTS QUERIES"""
import os
import socket
import sys
import threading
import time

PORT, PID, CLIENTS, QUERIES = (int(a) for a in sys.argv[1:5])
failures = []


def cpu_seconds():
    with open(f"/proc/{PID}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def client(k):
    sock = socket.create_connection(("127.0.0.1", PORT), timeout=30)
    answers = sock.makefile("rb")
    for i in range(QUERIES):
        if i % 2:
            sock.sendall(f"K{k}Q{i};:SYST:ERR?\n".encode())
            expected = f'-113,"Undefined header;:K{k}Q{i}"'
            got = answers.readline().decode().rstrip("\n")
            ok = got == expected
        else:
            sock.sendall(b"MEAS:FREQ? IL;:SOUR:FREQ?\n")
            got = answers.readline().decode().rstrip("\n")
            parts = got.split(";")
            ok = len(parts) == 2 and abs(float(parts[0]) - 250) < 0.01 and float(parts[1]) > 0
        if not ok:
            failures.append(f"client {k}, query {i}: {got!r}")
            return
    sock.close()


threads = [threading.Thread(target=client, args=(k,)) for k in range(CLIENTS)]
cpu, wall = cpu_seconds(), time.time()
for t in threads:
    t.start()
for t in threads:
    t.join()
cpu, wall = cpu_seconds() - cpu, time.time() - wall
print(f"{CLIENTS} clients x {QUERIES} queries in {wall:.2f} s: "
      f"{CLIENTS * QUERIES / wall:.0f} queries/s, the program's CPU {100 * cpu / wall:.0f} % "
      f"of one core ({cpu:.2f} s)")
for f in failures:
    print("FAIL:", f)
sys.exit(1 if failures else 0)
