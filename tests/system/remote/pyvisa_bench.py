# SPDX-License-Identifier: GPL-3.0-or-later
"""PyVISA against the running instrument with a 1 uF capacitor on the virtual
bench (generator -> C -> 100 ohm shunt): readings against theory and the
dump, the waveform against the readings, pictures, errors, the frequency
response against theory (unless slow), *RST.
Usage: pyvisa_bench.py PORT PID [slow]"""
import json
import math
import struct
import sys

import pyvisa

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)


def near(value, expected, tolerance, what):
    check(abs(value - expected) <= tolerance, f"{what}: {value} is not {expected} +- {tolerance}")


rm = pyvisa.ResourceManager("@py")
scope = rm.open_resource(f"TCPIP::127.0.0.1::{sys.argv[1]}::SOCKET",
                         read_termination="\n", write_termination="\n", timeout=20000)

check(scope.query("*IDN?").startswith("osciloskop,"), "*IDN? names the instrument")
start_hz = float(scope.query("SOUR:FREQ?"))
scope.write("SOURce:FREQuency 1 kHz;VOLTage 0.5")
check(scope.query("*OPC?") == "1", "*OPC? answers 1 once the tone has arrived")
near(float(scope.query("SOUR:FREQ?")), 1000, 0, "the generator's frequency")
near(float(scope.query("sour:volt?")), 0.5, 1.1 / 32767, "the generator's peak")

# The readings and the dump of one moment, in one message: the dump's block first.
scope.write("SYST:DUMP?;:MEAS:FREQ? UR;:MEAS:VOLT:RMS? UR;:MEAS:PHAS?;:MEAS:IMP?;"
            ":MEAS:CURR? IL;:MEAS:POW:APP?")
digits = int(scope.read_bytes(2)[1:])
dump = json.loads(scope.read_bytes(int(scope.read_bytes(digits))))
parts = scope.read().split(";")
check(parts[0] == "", "the answers after the block follow a ';'")
freq, urms, phase = (float(v) for v in parts[1:4])
z, r, x = (float(v) for v in parts[4].split(","))
irms, apparent = float(parts[5]), float(parts[6])
m = dump["measurements"]
for value, key in [(freq, m["ur"]["frequency"]), (urms, m["ur"]["rms"]), (phase, m["phase"]),
                   (z, m["impedance"]), (r, m["resistance"]), (x, m["reactance"]),
                   (irms, m["il"]["rms"]), (apparent, m["apparent_power"])]:
    if key is None:  # no value: SCPI's not-a-number
        check(value == 9.91e37, f"{value} for a reading the dump has not")
    else:
        near(value, key, abs(key) * 1e-9, "an answer against the dump of the same moment")
check(len(m["remote"]["clients"]) == 1, "the dump names the one client")

# Theory: a 1 uF capacitor in series with the 100 ohm shunt at 1 kHz.
def against_theory():
    xc = 1 / (2 * math.pi * 1000 * 1e-6)
    current = 0.5 / math.sqrt(2) / math.hypot(xc, 100)
    near(freq, 1000, 0.01, "MEAS:FREQ? UR")
    near(urms, current * xc, 0.01 * current * xc, "MEAS:VOLT:RMS? UR")
    near(irms, current, 0.01 * current, "MEAS:CURR? IL")
    near(phase, 90, 0.5, "MEAS:PHAS? (the current leads the capacitor's voltage)")
    near(z, xc, 0.01 * xc, "|Z|")
    near(x, -xc, 0.01 * xc, "the reactance")
    near(r, 0, 0.01 * xc, "the resistance")


# The waveform: the same quarter second (one message) by a plain RMS of its samples.
def block():
    """Reads one definite length block of 16-bit samples."""
    digits = int(scope.read_bytes(2)[1:])
    data = scope.read_bytes(int(scope.read_bytes(digits)))
    return list(struct.unpack(f"<{len(data) // 2}h", data))


scope.write("FETC:WAV? UR;:FETCh:WAVeform?;:WAV:PRE?;:MEAS:VOLT:AC? UR;:MEAS:CURR:PTP?")
ur = block()
check(scope.read_bytes(1) == b";", "answers separated by ';'")
both = block()
pre = scope.read().split(";")
points, dt, ur_scale, il_scale, _ = (float(v) for v in pre[1].split(","))
ur_ac, il_ptp = float(pre[2]), float(pre[3])
check(len(ur) == points == 11025 and len(both) == 2 * len(ur), "a quarter second of samples")
check(both[0::2] == ur, "UR alone is UR of both")
near(dt, 1 / 44100, 1e-15, "the sample interval")
mean = sum(ur) / len(ur)
near(math.sqrt(sum((v - mean) ** 2 for v in ur) / len(ur)) * ur_scale, ur_ac, 0.002 * ur_ac,
     "the RMS of the samples")
il = both[1::2]
near((max(il) - min(il)) * il_scale, il_ptp, 1e-9 * il_ptp, "IL's peak to peak from the samples")

# Pictures: the oscilloscope's window as PNG; the measuring window is not open.
png = scope.query_binary_values("HCOP:DATA?", datatype="B", container=bytes)
check(png[:8] == b"\x89PNG\r\n\x1a\n", "HCOP:DATA? is a PNG")
width, height = struct.unpack(">II", png[16:24])
check(width > 300 and height > 200, f"the picture is {width} x {height}")
scope.write("HCOP:DATA? MEAS")
check(scope.query("SYST:ERR?").startswith("-221,"), "no picture of a window that is not open")
check(scope.query("SYST:ERR?") == '0,"No error"', "the error queue is empty again")

# The frequency response: the capacitor's impedance, 100 Hz to 10 kHz.
def sweep():
    scope.write("SENS:RESP:STAR 1 kHz;STOP 100")
    scope.write("INIT")
    check(scope.query("SYST:ERR?").startswith("-221,"), "a sweep whose start is above its stop")
    scope.write("SENSe:RESPonse:STARt 100;STOP 10000;POINts 5;QUANtity IMPedance")
    scope.write("INIT")
    scope.write("SOUR:FREQ 500")
    check(scope.query("SYST:ERR?").startswith("-221,"), "the generator is the sweep's while it runs")
    check(scope.query("*OPC?") == "1", "*OPC? waits for the sweep")
    values = [float(v) for v in scope.query("FETC:RESP?").split(",")]
    check(len(values) == 15, f"five points of three values, not {len(values)}")
    for f, magnitude, phase in zip(values[0::3], values[1::3], values[2::3]):
        xc = 1 / (2 * math.pi * f * 1e-6)
        near(magnitude, xc, 0.01 * xc, f"|Z| at {f} Hz")
        near(phase, -90, 0.5, f"the phase of Z at {f} Hz")
    check(scope.query("SYST:ERR?") == '0,"No error"', "the sweep left no error")


# A build slower than real time (ASan) lets the card's output run dry now and
# then: its tones are not those of theory, and a sweep loses points.
if sys.argv[3:] != ["slow"]:
    against_theory()
    sweep()

scope.write("*RST")
near(float(scope.query("SOUR:FREQ?")), start_hz, 0, "*RST puts the generator back")
scope.close()
sys.exit(1 if failures else 0)
