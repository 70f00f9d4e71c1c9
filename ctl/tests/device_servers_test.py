#!/usr/bin/env python3
"""zephlorctl through real device servers, end to end: ser2net with a raw and a telnet(rfc2217)
accepter in front of simulators on pseudo-terminals; pyserial's rfc2217:// client against
zephlor-sim --rfc2217; and a poll that rides out a device server going away. Loopback only,
ser2net started here with a generated configuration, every child under a time limit. Prints a
line per failure and "N passed, M failed".

    device_servers_test.py ZEPHLORCTL ZEPHLOR_SIM SER2NET PYSERIAL_PYTHON
"""
import contextlib
import csv
import io
import os
import socket
import subprocess
import sys
import tempfile
import threading
import time

from tool_checks import (LIMIT, SIM, accepts, check, children, ctl, end_children, finish,
                         free_port, start, wait_until)

SER2NET, PYSERIAL_PYTHON = sys.argv[3], sys.argv[4]


def patient(*arguments):
    """A command through ser2net, which lets a device go a moment after each connection ends."""
    for _ in range(20):
        run = ctl(*arguments)
        if "Connection reset" not in run.stderr and "hung up" not in run.stderr:
            return run
        time.sleep(0.1)
    return run


folder = tempfile.mkdtemp()
try:
    # Three simulators on pseudo-terminals, one for each accepter: ser2net holds a device for one
    # connection at a time.
    devices = {}
    for name, faults in [("raw", []), ("telnet", []), ("faulty", ["--fault", "wrong-address"])]:
        devices[name] = start(SIM, *faults).stdout.readline().strip()
    ports = {name: free_port() for name in devices}
    configuration = os.path.join(folder, "ser2net.yaml")
    with open(configuration, "w") as file:
        for name, device in devices.items():
            accepter = "telnet(rfc2217),tcp" if name == "telnet" else "tcp"
            file.write(f"connection: &{name}\n  accepter: {accepter},127.0.0.1,{ports[name]}\n"
                       f"  connector: serialdev,{device},9600n81,local\n")
    server = start(SER2NET, "-n", "-c", configuration, "-P", os.path.join(folder, "pid"))
    check("ser2net listens", wait_until(lambda: all(accepts(port) for port in ports.values()), 10),
          server.poll())

    for name, device in [("raw", f"tcp:127.0.0.1:{ports['raw']}"),
                         ("RFC 2217", f"rfc2217:127.0.0.1:{ports['telnet']}")]:
        speed = ["--baud", "19200"] if name == "RFC 2217" else []
        write = patient("--device", device, *speed, "write", "station-level", "1", "2", "3", "75")
        read = patient("--device", device, *speed, "read", "station-level", "1", "2", "3")
        poll = patient("--device", device, *speed, "--format", "csv", "poll", "station-level", "1",
                       "2", "3", "--interval", "0", "--count", "5")
        rows = list(csv.reader(io.StringIO(poll.stdout)))
        check(f"{name}: write, read and poll", write.returncode == 0 and
              read.stdout == "station-level 1 2 3: 75\n" and poll.returncode == 0 and
              [row[1] for row in rows[1:]] == ["75"] * 5,
              write.stderr + read.stderr + poll.stderr)
    faulty = patient("--device", f"tcp:127.0.0.1:{ports['faulty']}", "read", "led", "1", "2", "3")
    check("the simulator's faults through ser2net", faulty.returncode == 9 and
          "the reply names addresses" in faulty.stderr, faulty.stderr)
    telnet_as_raw = patient("--device", f"tcp:127.0.0.1:{ports['telnet']}", "read", "led", "1",
                            "2", "3")
    check("a telnet port named as raw TCP", telnet_as_raw.returncode == 6 and
          "this port speaks telnet; use rfc2217:HOST:PORT" in telnet_as_raw.stderr,
          telnet_as_raw.stderr)

    # An independent RFC 2217 client against the simulator's telnet port.
    simulator = start(SIM, "--rfc2217", "0", "--log")
    address = simulator.stdout.readline().strip()
    client = subprocess.run(
        [PYSERIAL_PYTHON, "-c",
         "import serial, sys\n"
         "port = serial.serial_for_url(sys.argv[1], baudrate=19200, timeout=5)\n"
         "port.write(b'VLD# 1 2 3 7\\r\\n'); print(port.readline())\n"
         "port.baudrate = 115200\n"
         "port.write(b'VLS# 1 2 3\\r\\n'); print(port.readline())\n",
         "rfc2217://" + address.removeprefix("rfc2217:")],
        capture_output=True, text=True, timeout=LIMIT)
    ours = ctl("--device", address, "--baud", "57600", "read", "led", "1", "2", "3")
    simulator.terminate()
    log = simulator.communicate(timeout=LIMIT)[1]
    check("pyserial's rfc2217:// client", client.returncode == 0 and
          client.stdout == "b'RLD# 1 2 3 7\\r\\n'\nb'RLS# 1 2 3 7\\r\\n'\n",
          client.stdout + client.stderr)
    check("zephlorctl sets the speed", ours.stdout == "led 1 2 3: 7\n" and
          all(f"set the speed to {baud} baud" in log for baud in (19200, 115200, 57600)), log)

    # Telnet servers that will not do as asked: one without the COM-PORT-OPTION, one that keeps
    # its own speed. Each serves one connection.
    IAC, SB, SE, DO, DONT = 255, 250, 240, 253, 254

    def contrary_server(answer):
        listener = socket.create_server(("127.0.0.1", 0))

        def serve():
            connection, _ = listener.accept()
            with connection:
                connection.settimeout(5)
                with contextlib.suppress(OSError):
                    connection.recv(64)  # the client's offers
                    connection.sendall(answer(connection))
                    time.sleep(1)
            listener.close()

        threading.Thread(target=serve, daemon=True).start()
        return listener.getsockname()[1]

    def keeps_9600(connection):
        settings = b""
        with contextlib.suppress(OSError):
            connection.sendall(bytes([IAC, DO, 44]))
            while settings.count(bytes([IAC, SE])) < 5:
                settings += connection.recv(256)
        replies = [bytes([IAC, SB, 44, 101, 0, 0, 0x25, 0x80, IAC, SE])]
        replies += [bytes([IAC, SB, 44, 100 + command, value, IAC, SE])
                    for command, value in ((2, 8), (3, 1), (4, 1), (5, 1))]
        return b"".join(replies)

    no_com_port = contrary_server(lambda _: bytes([IAC, DONT, 44]))
    run = ctl("--device", f"rfc2217:127.0.0.1:{no_com_port}", "read", "led", "1", "2", "3")
    check("a server without the COM-PORT-OPTION", run.returncode == 4 and
          "does not speak the COM-PORT-OPTION" in run.stderr and "tcp:HOST:PORT" in run.stderr,
          run.stderr)
    def never_confirms_the_speed(connection):
        # Answers every setting but the speed, and tells its line state unasked meanwhile.
        replies = [bytes([IAC, SB, 44, 100 + command, value, IAC, SE])
                   for command, value in ((2, 8), (3, 1), (4, 1), (5, 1), (6, 0), (7, 0))]
        return bytes([IAC, DO, 44]) + b"".join(replies)

    unconfirmed = contrary_server(never_confirms_the_speed)
    run = ctl("--device", f"rfc2217:127.0.0.1:{unconfirmed}", "--baud", "19200", "--timeout",
              "500", "read", "led", "1", "2", "3")
    check("a server that never confirms the speed", run.returncode == 4 and
          "did not confirm the speed of 19200 baud" in run.stderr, run.stderr)
    own_speed = contrary_server(keeps_9600)
    run = ctl("--device", f"rfc2217:127.0.0.1:{own_speed}", "--baud", "19200", "read", "led",
              "1", "2", "3")
    check("a server that keeps its own speed", run.returncode == 4 and
          "runs the line at 9600 baud, not 19200" in run.stderr, run.stderr)

    # A device server that goes away and comes back on the same port. Each step waits for the
    # poll to show the state before it: a first good sample, then a sample lost to the line.
    port = free_port()
    first = start(SIM, "--tcp", f"127.0.0.1:{port}")
    first.stdout.readline()
    poll = subprocess.Popen(
        [sys.argv[1], "--device", f"tcp:127.0.0.1:{port}", "--format", "csv", "poll", "led", "1",
         "2", "3", "--interval", "100", "--count", "40", "--reconnect"],
        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    children.append(poll)
    output = poll.stdout.readline() + poll.stdout.readline()  # the header and a first sample
    first.terminate()
    first.wait(timeout=LIMIT)
    while (row := poll.stdout.readline()) and "line down" not in row:
        output += row
    output += row
    second = start(SIM, "--tcp", f"127.0.0.1:{port}")
    rest, errors = poll.communicate(timeout=LIMIT)
    rows = list(csv.reader(io.StringIO(output + rest)))[1:]
    values = [row[1] for row in rows]
    check("the poll rides out the lost line", len(rows) == 40 and values[0] == "0" and
          values[-1] == "0" and any("line down" in row[2] for row in rows) and
          "1 reconnect" in errors and "lost to a down line" in errors, output + rest + errors)
finally:
    end_children()

finish()
