#!/usr/bin/env bash
# zephlorctl.exe and zephlor-sim.exe under Wine, on real serial plumbing: COM7 is the
# pseudo-terminal of a Linux zephlor-sim, COM8 one end of a pty pair whose other end the Linux
# zephlorctl uses, and COM6 the line conformance peer's device. A private Wine prefix for every
# run; every child under a time limit.
# Prints a line for each failure and "N passed, M failed"; exits non-zero on any failure.
#   test_tools_under_wine.sh WINE WINEARCH WINDOWS_BIN LINUX_BIN WORK_DIR DEMO_SCRIPT VERSION READOBJ
set -u
wine=$1 arch=$2 bin=$3 linux=$4 work=$5 demo=$6 version=$7 readobj=$8

export WINEPREFIX=$work/prefix WINEARCH=$arch WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
rm -rf "$work" && mkdir -p "$work"
children=()
cleanup() {
  kill "${children[@]}" 2>/dev/null
  timeout 30 "$(dirname "$wine")/wineserver" -k 2>/dev/null
}
trap cleanup EXIT
timeout 180 "$wine" wineboot -i >/dev/null 2>&1 || { echo "cannot make a Wine prefix"; exit 1; }

passed=0 failed=0
# check NAME STATUS TEXT COMMAND...: the command ends with STATUS and its output holds TEXT.
check() {
  local name=$1 status=$2 text=$3 output got
  shift 3
  output=$(timeout 60 "$@" 2>&1)
  got=$?
  if [[ $got -eq $status && $output == *"$text"* ]]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL $name: status $got (expected $status), output: $output"
  fi
}
ctl=("$wine" "$bin/zephlorctl.exe")
# Waits (up to 30 s) until FILE's first line is there, and prints it.
first_line() {
  for _ in $(seq 300); do
    [[ -s $1 ]] && head -n 1 "$1" && return 0
    sleep 0.1
  done
  return 1
}

# The files an integrator gets: each with its version resource; the tools needing no DLL beyond
# Windows' own (the plug-in is loaded at run time).
for file in zephlorctl.exe zephlor-sim.exe osterfell.dll wirelex.dll; do
  check "version resource of $file" 0 "$version" strings -el "$bin/$file"
done
for tool in zephlorctl.exe zephlor-sim.exe; do
  check "$tool carries its manifest" 0 "Type: MANIFEST" "$readobj" --coff-resources "$bin/$tool"
  check "$tool imports only Windows' own DLLs" 1 "" \
    bash -c "'$readobj' --coff-imports '$bin/$tool' | grep 'Name: .*\.dll' | grep -viE 'KERNEL32|msvcrt|WS2_32'"
done

# COM7: a Linux simulator's pseudo-terminal.
timeout 600 "$linux/zephlor-sim" --firmware-version 2.10 --firmware-date 11/22/33 >"$work/sim.out" &
children+=($!)
pty=$(first_line "$work/sim.out") || { echo "the Linux simulator named no device"; exit 1; }
ln -s "$pty" "$WINEPREFIX/dosdevices/com7"

check "version" 0 "zephlorctl $version" "${ctl[@]}" --version
check "info over COM7" 0 "firmware: version 2.10, date 11/22/33" "${ctl[@]}" --device COM7 info
check "the device namespace" 0 "driver: Zephlor" "${ctl[@]}" --device '\\.\COM7' info
while IFS='|' read -r item value shown; do
  check "write $item" 0 "wrote $shown" "${ctl[@]}" --device COM7 write $item "$value" --truncate
  [[ $item == *profile* ]] && continue
  check "read $item" 0 ": $shown" "${ctl[@]}" --device COM7 read $item
done <<'ITEMS'
led 1 2 3|300|44
module-level 1 2 3 4|50|50
station-level 1 2 3|75.6|75
contactor-level 9|100|100
thermostat 1 2 3|-5|-5
switch 4 5 6|1|1
module-profile 1 2 3 4|3|3
station-profile 1 2 3|2|2
ITEMS
check "modifier on the wire" 0 "-> VLC# 1 2 3 75 7\\r\\n" \
  "${ctl[@]}" --device COM7 --trace run - <<<$'write modifier 7\nwrite station-level 1 2 3 75'
check "missing COM9" 4 "cannot open COM9" "${ctl[@]}" --device COM9 info
check "no reply" 7 "no reply within 200 ms" "${ctl[@]}" --sim --sim-fault drop --timeout 200 read led 1 2 3
check "refused frame" 8 "reply refused" "${ctl[@]}" --sim --sim-fault garble --sim-seed 2 write led 1 2 3 1
# The reply verdicts, decided by the same sources as on Linux.
check "reply for another request" 9 "answers another request" \
  "${ctl[@]}" --sim --sim-fault garble --sim-seed 16 read led 1 2 3
check "reply for another item" 9 "the reply names addresses 2 2 3" \
  "${ctl[@]}" --sim --sim-fault wrong-address read station-level 1 2 3
check "another item let through" 0 "warning: station-level 1 2 3" \
  "${ctl[@]}" --sim --sim-fault wrong-address --lenient read station-level 1 2 3
check "echo not a number" 9 "not wholly a number" \
  "${ctl[@]}" --sim --sim-fault garble --sim-seed 1 write led 1 2 3 1
check "not confirmed" 10 "did not confirm" "${ctl[@]}" --sim --sim-fault wrong-value write switch 1 2 3 1
check "demo script" 0 "firmware" "${ctl[@]}" --sim run "$demo"
check "list-ports" 0 "COM" "${ctl[@]}" list-ports
check "JSON results" 0 '{"led 1 2 3":0}' "${ctl[@]}" --sim --format json read led 1 2 3
check "CSV results" 0 "time,led 1 2 3,errors" "${ctl[@]}" --sim --format csv read led 1 2 3

# A TCP device server on loopback: the Linux simulator serving zephlorctl.exe, and
# zephlor-sim.exe serving the Linux zephlorctl.
timeout 600 "$linux/zephlor-sim" --tcp 0 >"$work/tcp-sim.out" &
children+=($!)
linux_server=$(first_line "$work/tcp-sim.out") || { echo "the Linux simulator named no address"; exit 1; }
check "write over TCP" 0 "wrote 75, confirmed" \
  "${ctl[@]}" --device "$linux_server" write station-level 1 2 3 75
check "read over TCP" 0 "station-level 1 2 3: 75" "${ctl[@]}" --device "$linux_server" read station-level 1 2 3
check "a refused connection" 4 "cannot connect" "${ctl[@]}" --device tcp:127.0.0.1:1 info
# The Linux simulator as an RFC 2217 device server: telnet and the line's speed from Windows.
timeout 600 "$linux/zephlor-sim" --rfc2217 0 >"$work/rfc2217-sim.out" &
children+=($!)
rfc2217_server=$(first_line "$work/rfc2217-sim.out") ||
  { echo "the RFC 2217 simulator named no address"; exit 1; }
check "write over RFC 2217" 0 "wrote 75, confirmed" \
  "${ctl[@]}" --device "$rfc2217_server" --baud 19200 write station-level 1 2 3 75
timeout 600 "$wine" "$bin/zephlor-sim.exe" --tcp 0 >"$work/windows-tcp-sim.out" 2>/dev/null &
children+=($!)
windows_server=$(first_line "$work/windows-tcp-sim.out" | tr -d "\r") ||
  { echo "the Windows simulator named no address"; exit 1; }
check "Windows simulator over TCP" 0 "wrote 75, confirmed" \
  "$linux/zephlorctl" --device "$windows_server" write station-level 1 2 3 75

# COM8: the Windows simulator on one end of a pty pair, the Linux zephlorctl on the other.
timeout 600 socat "pty,raw,echo=0,link=$work/com8" "pty,raw,echo=0,link=$work/linux-end" &
children+=($!)
for _ in $(seq 300); do [[ -e $work/com8 && -e $work/linux-end ]] && break; sleep 0.1; done
ln -s "$(readlink -f "$work/com8")" "$WINEPREFIX/dosdevices/com8"
timeout 600 "$wine" "$bin/zephlor-sim.exe" --device COM8 >"$work/windows-sim.log" 2>&1 &
children+=($!)
# Until the Windows simulator has the port open, requests go unanswered.
for _ in $(seq 60); do
  timeout 10 "$linux/zephlorctl" --device "$work/linux-end" --timeout 500 read switch 1 2 3 \
    >/dev/null 2>&1 && break
done
check "Windows simulator takes a write" 0 "wrote 75, confirmed" \
  "$linux/zephlorctl" --device "$work/linux-end" write station-level 1 2 3 75
check "Windows simulator reads it back" 0 "station-level 1 2 3: 75" \
  "$linux/zephlorctl" --device "$work/linux-end" read station-level 1 2 3

# Files the Windows tools keep: results added to or left alone, the simulator's state held and
# saved within a second of a confirmed write.
cd "$work"
printf 'earlier\r\n' >kept.csv
check "a failed start leaves the results file" 4 "cannot open COM9" \
  "${ctl[@]}" --device COM9 --output kept.csv read led 1 2 3
check "the results file as it was" 0 "earlier" cat kept.csv
check "results written" 0 "" "${ctl[@]}" --sim --format csv --output results.csv read led 1 2 3
check "results appended" 0 "" \
  "${ctl[@]}" --sim --format csv --output results.csv --append read led 1 2 3
check "one header, two rows" 0 "rows 2, headers 1" \
  bash -c 'echo "rows $(grep -c "^20" results.csv), headers $(grep -c "^time" results.csv)"'
timeout 600 "$wine" "$bin/zephlor-sim.exe" --tcp 0 --state plant.txt >"$work/state-sim.out" 2>&1 &
children+=($!)
state_server=$(first_line "$work/state-sim.out" | tr -d "\r") ||
  { echo "the Windows simulator with a state file named no address"; exit 1; }
check "a write to the Windows simulator with a state file" 0 "confirmed" \
  "$linux/zephlorctl" --device "$state_server" write thermostat 1 2 3 -40
check "saved within a second" 0 "thermostat 1 2 3 = -40" \
  bash -c 'for _ in $(seq 30); do grep -q "= -40" plant.txt && break; sleep 0.1; done; cat plant.txt'
check "the state file held" 11 "in use" "$wine" "$bin/zephlor-sim.exe" --tcp 0 --state plant.txt
cd - >/dev/null

# Help for Windows: its own devices and file names, only what the Windows simulator can do.
check "zephlorctl.exe's help names COM ports" 0 "zephlorctl --device COM7 read" \
  "${ctl[@]}" --help
check "and the DLL" 0 "osterfell.dll beside zephlorctl" "${ctl[@]}" --help
check "and no Linux device or signal" 1 "" \
  bash -c "'$wine' '$bin/zephlorctl.exe' --help | grep -e /dev/tty -e SIGTERM"
check "zephlor-sim.exe offers no pseudo-terminal" 1 "" \
  bash -c "'$wine' '$bin/zephlor-sim.exe' --help | grep -e --pty -e --stdio"
check "zephlor-sim.exe without a place to listen says where it can" 2 "--device COMn" \
  "$wine" "$bin/zephlor-sim.exe"

# A plug-in that cannot load says why: a DLL it needs that is missing, or the wrong kind of file.
mkdir -p "$work/lonely" "$work/foreign"
cp "$bin/zephlorctl.exe" "$bin/osterfell.dll" "$work/lonely/"
cp "$bin/zephlorctl.exe" "$work/foreign/"
cp "$linux/osterfell.so" "$work/foreign/osterfell.dll"
check "a missing wirelex.dll named" 3 "it needs wirelex.dll, which cannot be found" \
  "$wine" "$work/lonely/zephlorctl.exe" --sim info
check "a DLL of another kind told" 3 "not a Windows DLL built for this architecture" \
  "$wine" "$work/foreign/zephlorctl.exe" --sim info

# COM6: the line conformance table through the Win32 backend, the Linux peer on the other end.
timeout 600 "$linux/line_conformance_peer" >"$work/peer.out" &
children+=($!)
peer=$(first_line "$work/peer.out") || { echo "the conformance peer named no device"; exit 1; }
ln -s "$peer" "$WINEPREFIX/dosdevices/com6"
check "line conformance over COM6" 0 " 0 failed" "$wine" "$bin/line_conformance_client.exe" COM6

echo "$passed passed, $failed failed"
# The prefix, some 700 MB, is kept only for inspecting a failure.
if [[ $failed -eq 0 ]]; then
  cleanup
  rm -rf "$WINEPREFIX"
fi
[[ $failed -eq 0 ]]
