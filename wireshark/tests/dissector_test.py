"""zephlor.lua in tshark (two passes, as the pairing needs) on real traffic: zephlorctl and zephlor-sim --tcp on loopback, captured
with dumpcap (as root, which CI is). One simulator on the port the preference names, the others
found heuristically; a clean one, one that echoes wrong values and one that answers late. Checks
the fields, filters on them, the pairing of replies with requests, and the expert info.

    SCRIPT ZEPHLORCTL ZEPHLOR_SIM TSHARK DUMPCAP DISSECTOR
"""
import os
import signal
import subprocess
import sys
import tempfile
import threading

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                "../../ctl/tests"))
from tool_checks import (LIMIT, SIM, check, ctl, end_children, finish, start,  # noqa: E402
                         wait_until)

TSHARK, DUMPCAP, DISSECTOR = sys.argv[3:6]
FIELDS = ["frame.number", "tcp.srcport", "tcp.dstport", "zephlor.direction", "zephlor.item",
          "zephlor.address", "zephlor.value", "zephlor.response_in", "zephlor.request_in",
          "_ws.expert.message"]


def simulator(*faults):
    child = start(SIM, "--tcp", "0", *faults)
    device = child.stdout.readline().strip()
    return device, int(device.rsplit(":", 1)[1])


def tshark(capture, port, display):
    run = subprocess.run([TSHARK, "-2", "-r", capture, "-X", f"lua_script:{DISSECTOR}", "-o",
                          f"zephlor.ports:{port}", "-Y", display, "-T", "fields", "-E",
                          "separator=/t", *sum((["-e", field] for field in FIELDS), [])],
                         capture_output=True, text=True, timeout=LIMIT)
    rows = [dict(zip(FIELDS, line.split("\t"))) for line in run.stdout.splitlines()]
    return rows, run.stderr


def main():
    folder = tempfile.mkdtemp(prefix="zephlor-dissector-")
    clean, clean_port = simulator()
    wrong, wrong_port = simulator("--fault", "wrong-value:1")
    late, late_port = simulator("--fault", "delay:1", "--delay-ms", "450")
    capture = os.path.join(folder, "lines.pcapng")
    dumpcap = subprocess.Popen(
        [DUMPCAP, "-q", "-i", "lo", "-f",
         f"tcp port {clean_port} or tcp port {wrong_port} or tcp port {late_port}", "-w", capture],
        stderr=subprocess.PIPE, text=True)
    said = []
    threading.Thread(target=lambda: [said.append(line) for line in dumpcap.stderr],
                     daemon=True).start()
    wait_until(lambda: dumpcap.poll() is not None or any("Capturing on" in l for l in said), LIMIT)
    if not any("Capturing on" in line for line in said):
        # Capturing needs root, or a user in the wireshark group; CI runs as root.
        print(f"SKIPPED: dumpcap cannot capture on lo here: {''.join(said).strip()}")
        end_children()
        sys.exit(77)

    # "Capturing on" can come before the first packets are taken: the capture is ready once it
    # holds an exchange of the simulator's (a firmware read, left out of the checks below).
    check("the capture takes the simulator's traffic", wait_until(
        lambda: ctl("-d", clean, "info") and any(
            row["zephlor.item"] == "firmware" for row in tshark(capture, clean_port, "zephlor")[0]),
        LIMIT))
    ctl("-d", clean, "write", "station-level", "1", "2", "3", "66")
    ctl("-d", clean, "read", "station-level", "1", "2", "3")
    ctl("-d", wrong, "write", "led", "1", "2", "3", "1")
    script = os.path.join(folder, "late.zcmd")
    with open(script, "w") as file:
        file.write("!read switch 1 1 4\n!read thermostat 1 2 1\nsleep 2000\n")
    ctl("-d", late, "--timeout", "300", "run", script)
    # Stopped once the capture holds both delayed replies.
    wait_until(lambda: sum(r["zephlor.direction"] == "reply" and late_port in (
        int(r["tcp.srcport"]), int(r["tcp.dstport"]))
        for r in tshark(capture, clean_port, "zephlor")[0]) >= 2, LIMIT)
    dumpcap.send_signal(signal.SIGINT)
    dumpcap.wait(timeout=LIMIT)

    rows, errors = tshark(capture, clean_port, "zephlor")
    check("tshark loads the dissector", not errors.strip() or "Running as user" in errors, errors)
    for row in rows:
        print("\t".join(row[field] for field in FIELDS))
    on_port = [r for r in rows if clean_port in (int(r["tcp.srcport"]), int(r["tcp.dstport"]))
               and r["zephlor.item"] != "firmware"]
    check("lines on the preference's port", [(r["zephlor.direction"], r["zephlor.item"],
                                              r["zephlor.value"]) for r in on_port] ==
          [("request", "station-level", "66"), ("reply", "station-level", "66"),
           ("request", "station-level", ""), ("reply", "station-level", "66")], on_port)
    check("address numbers", on_port and on_port[0]["zephlor.address"] == "1,2,3", on_port[:1])
    read_request, read_reply = (on_port + [{}] * 4)[2:4]
    check("a request names its reply, the reply its request",
          read_request.get("zephlor.response_in") == read_reply.get("frame.number") and
          read_reply.get("zephlor.request_in") == read_request.get("frame.number"),
          (read_request, read_reply))
    heuristic = [r for r in rows if wrong_port in (int(r["tcp.srcport"]), int(r["tcp.dstport"]))]
    check("other ports found by their first bytes", len(heuristic) == 2, heuristic)
    check("a write not confirmed is expert info",
          any("Write not confirmed: sent 1, echo" in r["_ws.expert.message"] for r in heuristic),
          heuristic)
    late_rows = [r for r in rows if late_port in (int(r["tcp.srcport"]), int(r["tcp.dstport"]))]
    # Each delayed reply comes after its request was given up: while the next request waits (a
    # reply for another item) or when none does; which, the machine's pace decides.
    replies = [r for r in late_rows if r["zephlor.direction"] == "reply"]
    check("every late reply is flagged", len(replies) == 2 and all(
        r["_ws.expert.message"].startswith(("Reply for another item", "Reply with no request"))
        for r in replies), late_rows)

    over, _ = tshark(capture, clean_port, "zephlor.value > 50")
    check("zephlor.value > 50", len(over) == 3, over)
    kinds, _ = tshark(capture, clean_port, 'zephlor.item == "led"')
    check('zephlor.item == "led"', len(kinds) == 2, kinds)
    end_children()
    finish()


if __name__ == "__main__":
    main()
