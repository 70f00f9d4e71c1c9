#!/usr/bin/env python3
"""zephlorctl's commissioning features end to end, with the real binaries: CSV and JSON Lines read
back with the standard library's parsers, the fixed poll rate, retries, the reply verdicts,
TCP device servers (loopback only), defaults from the environment and the simulator's state file.
Every child runs under a time limit. Prints a line per failure and "N passed, M failed".

    commissioning_test.py ZEPHLORCTL ZEPHLOR_SIM
"""
import csv
import datetime
import io
import json
import os
import pty
import select
import subprocess
import sys
import tempfile

from tool_checks import CTL, LIMIT, SIM, check, ctl, finish


def instant(text):
    return datetime.datetime.strptime(text, "%Y-%m-%dT%H:%M:%S.%fZ")


# Help per command: COMMAND --help and help COMMAND are the same page, that command's alone.
own, asked = ctl("read", "--help"), ctl("help", "read")
check("read --help is read's page", own.returncode == 0 and own.stdout == asked.stdout and
      own.stdout.startswith("Usage: zephlorctl [OPTIONS] read ITEM") and
      len(own.stdout.splitlines()) < 12, own.stdout)
unknown = ctl("help", "reed")
check("help on no such command", unknown.returncode == 2 and "did you mean read?" in
      unknown.stderr, unknown.stderr)

# CSV: one header, a row per sample at a fixed rate, read back by a CSV parser.
with tempfile.TemporaryDirectory() as folder:
    output = os.path.join(folder, "poll.csv")
    run = ctl("--sim", "--format", "csv", "--output", output, "poll", "led", "1", "2", "3",
              "station-level", "1", "2", "3", "--interval", "200", "--count", "6")
    check("csv poll succeeds", run.returncode == 0, run.stderr)
    check("csv poll writes nothing on standard output", run.stdout == "", run.stdout)
    check("poll ends with a summary", "poll: 6 samples, 12 reads, 0 reads failed, 0 overruns" in run.stderr,
          run.stderr)
    with open(output, newline="") as file:
        rows = list(csv.reader(file))
    check("csv header", rows[0] == ["time", "led 1 2 3", "station-level 1 2 3", "errors",
                                    "causes"], rows[0])
    check("csv rows", len(rows) == 7 and all(row[1:] == ["0", "0", "", ""] for row in rows[1:]),
          rows)
    starts = [instant(row[0]) for row in rows[1:]]
    periods = [(b - a).total_seconds() * 1000 for a, b in zip(starts, starts[1:])]
    check("poll period within 15 % of 200 ms", all(170 <= p <= 230 for p in periods), periods)

# --quiet: the values alone, for shell scripts, and no summary.
run = ctl("--sim", "-q", "poll", "led", "1", "2", "3", "switch", "1", "2", "3", "--count", "2",
          "--interval", "0")
check("quiet poll", run.returncode == 0 and run.stderr == "" and
      all(line.split()[1:] == ["0", "0"] for line in run.stdout.splitlines()), run.stdout)
check("quiet read", ctl("--sim", "-q", "read", "led", "1", "2", "3").stdout == "0\n")
run = ctl("--sim", "run", "-", stdin="read led 1 2 3\nbogus\n")
check("script mistakes in GNU form", run.stderr.startswith("zephlorctl:-:2: unknown command"),
      run.stderr)

# A script from a pipe runs line by line as it comes: the reply to the first line arrives while
# its writer still holds the pipe open; a line with a mistake sends nothing, the next goes on.
def line_within(stream, seconds=10):
    ready, _, _ = select.select([stream], [], [], seconds)
    return stream.readline() if ready else None


streamed = subprocess.Popen([CTL, "--sim", "run", "-"], stdin=subprocess.PIPE,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, bufsize=1)
try:
    streamed.stdin.write("read led 1 2 3\n")
    streamed.stdin.flush()
    echoed, replied = line_within(streamed.stdout), line_within(streamed.stdout)
    check("a piped line is run before the next comes", replied == "led 1 2 3: 0\n",
          (echoed, replied))
    streamed.stdin.write("bogus\n")
    streamed.stdin.flush()
    told = line_within(streamed.stderr)
    check("a piped mistake is told with its place", told is not None and
          told.startswith("zephlorctl:-:2: unknown command"), told)
    out, err = streamed.communicate("write led 1 2 3 5\nread led 1 2 3\n", timeout=LIMIT)
    check("the lines after a mistake go on, the mistake sets the status",
          streamed.returncode == 2 and out.endswith("led 1 2 3: 5\n"), (out, err))
finally:
    streamed.kill()
    streamed.wait(timeout=LIMIT)
with tempfile.TemporaryDirectory() as folder:
    script = os.path.join(folder, "script.zcmd")
    with open(script, "w") as file:
        file.write("write led 1 2 3 5\nbogus\n")
    with open(script) as file:
        whole = subprocess.run([CTL, "--sim", "--trace", "run", "-"], stdin=file,
                               capture_output=True, text=True, timeout=LIMIT)
    check("a script redirected from a file is checked whole first", whole.returncode == 2 and
          "nothing was sent" in whole.stderr and "-> " not in whole.stderr, whole.stderr)
# From a pipe, CSV starts a new header when the items change.
run = ctl("--sim", "--format", "csv", "run", "-", stdin="read led 1 2 3\nread switch 1 2 3\n")
check("streamed CSV, a header per change of items",
      [row[:2] for row in csv.reader(io.StringIO(run.stdout)) if row[0] == "time"] ==
      [["time", "led 1 2 3"], ["time", "switch 1 2 3"]], run.stdout)
# From a terminal: a prompt on standard error for every line, and no echo.
controller, terminal = pty.openpty()
typed = subprocess.Popen([CTL, "--sim", "run", "-"], stdin=terminal, stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE, text=True)
os.close(terminal)
try:
    os.write(controller, b"read led 1 2 3\n")
    check("a typed line is answered at once", line_within(typed.stdout) == "led 1 2 3: 0\n")
    os.write(controller, b"\x04")  # Ctrl-D at the start of a line: the end of the input
    out, err = typed.communicate(timeout=LIMIT)
    check("a terminal gets a prompt per line", typed.returncode == 0 and
          err.count("zephlorctl> ") == 2, err)
finally:
    typed.kill()
    typed.wait(timeout=LIMIT)
    os.close(controller)

# A failed read: an empty cell, and what failed in the errors column, quoting and all.
run = ctl("--sim", "--sim-fault", "drop", "--timeout", "50", "--format", "csv", "read", "led", "1",
          "2", "3")
rows = list(csv.reader(io.StringIO(run.stdout)))
message = run.stderr.splitlines()[0].removeprefix("zephlorctl: ")
check("csv failed read", run.returncode == 7 and rows[1][1] == "" and rows[1][2] == message,
      (run.returncode, rows, message))

# JSON Lines: one object per read or info, read back by a JSON parser.
run = ctl("--sim", "--format", "json", "run", "-",
          stdin="write station-level 1 2 3 75\nread station-level 1 2 3\ninfo\n")
lines = [json.loads(line) for line in run.stdout.splitlines()]
check("json lines", run.returncode == 0 and len(lines) == 3, run.stdout + run.stderr)
check("json read", lines[1]["values"] == {"station-level 1 2 3": 75} and lines[1]["errors"] == {},
      lines[1])
check("json info, the firmware as fields", lines[2]["values"]["driver"] == "Zephlor" and
      lines[2]["values"]["firmware 0"] ==
      {"version": "1.0", "major": 1, "minor": 0, "date": "2026-12-08"}, lines[2])
run = ctl("--sim", "--sim-fault", "garble", "--sim-seed", "2", "--format", "json", "read", "led",
          "1", "2", "3")
line = json.loads(run.stdout)
check("json failure", run.returncode == 8 and line["values"] == {} and
      "reply refused" in line["errors"]["led 1 2 3"], line)
check("json failure, its cause by the verdict's name",
      line["causes"] in ({"led 1 2 3": "not-a-frame"}, {"led 1 2 3": "too-short"}), line)

# Retries: half the replies dropped; a fixed seed makes the run repeat exactly.
plain = ctl("--sim", "--sim-fault", "drop:0.5", "--sim-seed", "5", "--timeout", "50", "poll", "led",
            "1", "2", "3", "--interval", "0", "--count", "8")
retried = ctl("--sim", "--sim-fault", "drop:0.5", "--sim-seed", "5", "--timeout", "50", "--retries",
              "6", "--trace", "poll", "led", "1", "2", "3", "--interval", "0", "--count", "8")
check("without retries drops fail", plain.returncode == 7, plain.stderr)
check("retries ride them out", retried.returncode == 0 and retried.stdout.count("=0") == 8,
      retried.stdout + retried.stderr)
check("the trace shows every attempt", retried.stderr.count("-> VLS# 1 2 3") > 8, retried.stderr)
garbled = ctl("--sim", "--sim-fault", "garble", "--sim-seed", "1", "--retries", "2", "--trace",
              "write", "led", "1", "2", "3", "1")
check("a garbled acknowledgement is written again", garbled.returncode == 9 and
      garbled.stderr.count("-> VLD# 1 2 3 1") == 3, garbled.stderr)

# A reply for another item, or with a garbled value: a failure with nothing recorded, or with
# --lenient a value whose warning is in the record itself.
for fault in (["--sim-fault", "wrong-address"], ["--sim-fault", "garble", "--sim-seed", "28"]):
    safe = ctl("--sim", *fault, "--format", "json", "read", "station-level", "1", "2", "3")
    line = json.loads(safe.stdout)
    check(f"{fault[1]} fails", safe.returncode == 9 and line["values"] == {} and
          "the reply names addresses" in line["errors"]["station-level 1 2 3"], safe.stdout)
    lenient = ctl("--sim", *fault, "--lenient", "--format", "csv", "read", "station-level", "1",
                  "2", "3")
    rows = list(csv.reader(io.StringIO(lenient.stdout)))
    check(f"{fault[1]} passes with --lenient, warned in the record",
          lenient.returncode == 0 and rows[1][1] == "0" and "--lenient" in rows[1][2] and
          "warning:" in lenient.stderr, lenient.stdout + lenient.stderr)

# Late replies: a reply that comes after the timeout never lands in another item's column.
with tempfile.TemporaryDirectory() as folder:
    state = os.path.join(folder, "state.txt")
    with open(state, "w") as file:
        file.write("station-level 1 2 3 = 11\nstation-level 4 5 6 = 22\n")
    server = subprocess.Popen([SIM, "--tcp", "0", "--state", state, "--fault", "delay:0.3",
                               "--delay-ms", "600", "--seed", "3"], stdout=subprocess.PIPE,
                              text=True)
    try:
        address = server.stdout.readline().strip()
        run = ctl("--device", address, "--timeout", "400", "--format", "csv", "poll",
                  "station-level", "1", "2", "3", "station-level", "4", "5", "6", "--interval", "0",
                  "--count", "10")
        rows = list(csv.reader(io.StringIO(run.stdout)))[1:]
        check("late replies cross no items", len(rows) == 10 and
              all(row[1] in ("11", "") and row[2] in ("22", "") for row in rows) and
              any(row[1] == "" or row[2] == "" for row in rows), run.stdout)
    finally:
        server.terminate()
        server.wait(timeout=LIMIT)

# A TCP device server: the simulator on loopback, several connections, one controller.
with tempfile.TemporaryDirectory() as folder:
    state = os.path.join(folder, "state.txt")
    with open(state, "w") as file:
        file.write("# kept values\nthermostat 1 2 3 = -40\n")
    server = subprocess.Popen([SIM, "--tcp", "0", "--state", state], stdout=subprocess.PIPE,
                              text=True)
    try:
        address = server.stdout.readline().strip()
        check("the simulator names its address", address.startswith("tcp:127.0.0.1:"), address)
        write = ctl("--device", address, "write", "station-level", "1", "2", "3", "75")
        read = ctl("--device", address, "read", "station-level", "1", "2", "3")
        check("write and read over TCP", write.returncode == 0 and
              read.stdout == "station-level 1 2 3: 75\n", write.stderr + read.stderr)
        loaded = ctl("--device", address, "read", "thermostat", "1", "2", "3")
        check("the state file's values", loaded.stdout == "thermostat 1 2 3: -40\n", loaded.stdout)
        environment = dict(os.environ, ZEPHLOR_DEVICE=address, ZEPHLOR_TIMEOUT="500")
        defaulted = ctl("read", "station-level", "1", "2", "3", env=environment)
        check("the device from the environment", defaulted.returncode == 0, defaulted.stderr)
        overridden = ctl("--timeout=abc", "read", "led", "1", "2", "3", env=environment)
        check("the command line overrides it", overridden.returncode == 2, overridden.stderr)
    finally:
        server.terminate()
        server.wait(timeout=LIMIT)
    with open(state) as file:
        kept = file.read()
    check("the state is written back", "station-level 1 2 3 = 75" in kept and
          "thermostat 1 2 3 = -40" in kept, kept)
    refused = ctl("--device", address, "read", "led", "1", "2", "3")
    check("a refused connection", refused.returncode == 4 and "Connection refused" in
          refused.stderr, refused.stderr)
    with open(state, "w") as file:
        file.write("led 1 2 3 = 5\nswitch 1 2 = 1\n")
    bad = subprocess.run([SIM, "--stdio", "--state", state], capture_output=True, text=True,
                         timeout=LIMIT, stdin=subprocess.DEVNULL)
    check("a malformed state file", bad.returncode == 2 and "state.txt:2:" in bad.stderr,
          bad.stderr)

finish()
