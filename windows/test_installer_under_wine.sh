#!/usr/bin/env bash
# The tools' MSI under Wine, in a private prefix: installed unattended, the tools run from the
# PATH it sets, upgraded in place by the next version's installer (made here with the same
# descriptor), and uninstalled without a trace: no folder, no PATH entry, no product registered.
# Every child under a time limit. Prints a line per failure and "N passed, M failed".
#   test_installer_under_wine.sh WINE MSI WORK_DIR VERSION NEXT_VERSION SCRIPT CMAKE [-DNAME=...]
# CMAKE with its -D settings runs SCRIPT (make_installer.cmake), given -DVERSION, -DSTAGE and
# -DOUTPUT too, to make an installer.
set -u
wine=$1 msi=$2 work=$3 version=$4 next=$5 script=$6
shift 6
make_installer=("$@")

export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
rm -rf "$work" && mkdir -p "$work"
wineserver=$(dirname "$wine")/wineserver
trap 'timeout 30 "$wineserver" -k 2>/dev/null' EXIT
timeout 180 "$wine" wineboot -i >/dev/null 2>&1 || { echo "cannot make a Wine prefix"; exit 1; }

passed=0 failed=0
check() {  # check NAME CONDITION-STATUS DETAIL
  if [[ $2 -eq 0 ]]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL $1: $3"
  fi
}
# Wine's own programs, as Windows users run them.
run() { timeout 120 "$wine" "$@" 2>&1 | tr -d '\r'; }
system_path() {
  run reg query 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' /v PATH |
    sed -n 's/.*REG_EXPAND_SZ *//p'
}
# The products Windows lists under "Apps and features" by our name, with their versions.
products() {
  run reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s |
    grep -A20 'DisplayName.*Zephlor tools' | sed -n 's/.*DisplayVersion *REG_SZ *//p'
}
folder="$WINEPREFIX/drive_c/Program Files/Zephlor"
windows_path() { echo "Z:${1//\//\\}"; }

path_before=$(system_path)
output=$(run msiexec /i "$(windows_path "$msi")" /qn)
check "msiexec /i /qn succeeds" $? "$output"
listed=$(ls "$folder" 2>&1 | sort | tr '\n' ' ')
[[ $listed == "LICENSES.txt USAGE.txt osterfell.dll wirelex.dll zephlor-sim.exe zephlorctl.exe " ]]
check "the files under Program Files" $? "$listed"
head -n 3 "$folder/LICENSES.txt" | grep -q '^==== zephlor (this package)'
check "LICENSES.txt starts with the project's own licence" $? "$(head -n 3 "$folder/LICENSES.txt")"
grep -q 'All rights reserved' "$folder/LICENSES.txt"
check "the project's licence text is there" $? ""
[[ $(system_path) == *'C:\Program Files\Zephlor\' ]]
check "the folder is added to the system PATH" $? "$(system_path)"
[[ $(products) == "$version" ]]
check "one product, version $version" $? "$(products)"

# A new session reads the system environment afresh, as a new command prompt does.
timeout 30 "$wineserver" -k 2>/dev/null
output=$(run cmd /c 'zephlorctl.exe --sim info')
[[ $output == *"driver: Zephlor"* && $output == *"firmware: version"* ]]
check "zephlorctl.exe --sim info from the PATH" $? "$output"
output=$(run cmd /c 'zephlor-sim.exe --version')
[[ $output == *"$version"* ]]
check "zephlor-sim.exe from the PATH" $? "$output"

# The next version, from the same descriptor: it replaces this one in place.
"${make_installer[@]}" -DVERSION="$next" -DSTAGE="$work/stage" -DOUTPUT="$work/next.msi" \
  -P "$script" >"$work/make.log" 2>&1
check "the next version's installer is made" $? "$(cat "$work/make.log")"
output=$(run msiexec /i "$(windows_path "$work/next.msi")" /qn)
check "the next version installs" $? "$output"
[[ $(products) == "$next" ]]
check "it replaced $version: one product, version $next" $? "$(products)"
[[ $(system_path | grep -o 'Zephlor' | wc -l) -eq 1 ]]
check "the PATH holds the folder once" $? "$(system_path)"

output=$(run msiexec /x "$(windows_path "$work/next.msi")" /qn)
check "msiexec /x /qn succeeds" $? "$output"
[[ ! -e $folder ]]
check "the folder is gone" $? "$(ls "$folder" 2>&1)"
# Wine's installer leaves the separator of a PATH entry it takes out; the entries are compared.
entries() { tr ';' '\n' <<<"$1" | grep -v '^$'; }
[[ $(entries "$(system_path)") == "$(entries "$path_before")" ]]
check "the PATH is as it was" $? "$(system_path) (before: $path_before)"
[[ -z $(products) ]]
check "no product is registered" $? "$(products)"

echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
