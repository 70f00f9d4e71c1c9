#!/usr/bin/env bash
# Runs a Windows program under Wine in the test's private prefix ($WINEPREFIX) and removes the
# prefix, some 700 MB, once the program has passed; after a failure it is kept for inspection.
#   run_under_wine.sh WINE PROGRAM [ARGUMENT...]
wine=$1
shift
"$wine" "$@"
status=$?
if [[ $status -eq 0 && -n ${WINEPREFIX:-} ]]; then
  timeout 30 "$(dirname "$wine")/wineserver" -k 2>/dev/null
  rm -rf "$WINEPREFIX"
fi
exit $status
