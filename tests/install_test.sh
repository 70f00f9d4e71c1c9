#!/usr/bin/env bash
# The project as a user installs and consumes it: `cmake --install` into a fresh prefix, a small C
# program built against the codec through find_package(wirelex) and through pkg-config, the
# installed tools run with the build tree hidden, their man pages and completion; then the Debian
# packages (dpkg-buildpackage, checked with dpkg-deb and lintian) and the relocatable .tar.gz,
# unpacked and run. Every command runs under a time limit. Prints a line per failure and
# "N passed, M failed".
#   install_test.sh SOURCE_DIR BUILD_DIR VERSION
set -u
source_dir=$1 build=$2 version=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
passed=0 failed=0
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAIL $1"; }
# expect NAME TEXT COMMAND...: the command succeeds within `limit` seconds (300 unless the caller
# sets it) and its output holds TEXT.
expect() {
  local name=$1 text=$2 output
  shift 2
  if output=$(timeout "${limit:-300}" "$@" 2>&1) && [[ $output == *"$text"* ]]; then pass; else
    fail "$name: $output"
  fi
}

expect "install" "" cmake --install "$build" --prefix "$prefix"
libdir=$(cd "$prefix" && dirname "$(find . -name "libwirelex.so.$version")")
expect "soname" "SONAME" bash -c "readelf -d '$prefix/$libdir/libwirelex.so.$version' | grep 'soname: \[libwirelex.so.${version%%.*}\]'"
for file in include/wirelex.h include/wirelex_version.h "$libdir/libwirelex.so" \
  "$libdir/cmake/wirelex/wirelexConfigVersion.cmake" "$libdir/pkgconfig/wirelex.pc" \
  "$libdir/zephlor/osterfell.so" bin/zephlorctl bin/zephlor-sim share/man/man1/zephlorctl.1.gz \
  share/man/man1/zephlor-sim.1.gz share/bash-completion/completions/zephlorctl \
  bin/zephlor-gateway share/man/man1/zephlor-gateway.1.gz share/man/man5/zephlor-gateway.yaml.5.gz \
  share/bash-completion/completions/zephlor-gateway lib/systemd/system/zephlor-gateway@.service \
  share/doc/zephlor-gateway/examples/gateway.yaml; do
  [[ -e $prefix/$file ]] && pass || fail "installed $file"
done

# A C consumer, through CMake and through pkg-config.
mkdir -p "$work/consumer"
cat >"$work/consumer/main.c" <<'C'
#include <stdio.h>
#include <wirelex.h>
int main(void) {
  char line[WIRELEX_MAX_LINE + 1];
  int32_t length = 0, value = 0;
  FillQueryStationLoadLevel(1, 2, 3, line, &length);
  const int parsed = ParseStationLoadLevel("RGC# 1 2 3 75\r\n", &value);
  printf("%d.%d.%d %.*s %d %d\n", WIRELEX_VERSION_MAJOR, WIRELEX_VERSION_MINOR,
         WIRELEX_VERSION_PATCH, (int)length - 2, line, parsed, (int)value);
  return 0;
}
C
cat >"$work/consumer/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.16)
project(consumer C)
find_package(wirelex 1 REQUIRED)
add_executable(consumer main.c)
target_link_libraries(consumer PRIVATE wirelex::wirelex)
CMAKE
expected="$version VGC# 1 2 3 1 75"
expect "find_package consumer configures" "" \
  cmake -S "$work/consumer" -B "$work/consumer/build" -DCMAKE_PREFIX_PATH="$prefix"
expect "find_package consumer builds" "" cmake --build "$work/consumer/build"
expect "find_package consumer runs" "$expected" "$work/consumer/build/consumer"
# The same program with the project as a subproject: the libraries alone are built, so neither
# GoogleTest nor the tools' libraries are needed.
mkdir -p "$work/subproject"
cp "$work/consumer/main.c" "$work/subproject/"
cat >"$work/subproject/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(subproject C CXX)
add_subdirectory("$source_dir" zephlor)
add_executable(consumer main.c)
target_link_libraries(consumer PRIVATE wirelex::wirelex)
CMAKE
expect "subproject consumer configures without GoogleTest" "" \
  cmake -S "$work/subproject" -B "$work/subproject/build" -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON \
  -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON
expect "subproject consumer builds" "" cmake --build "$work/subproject/build"
expect "subproject consumer runs" "$expected" "$work/subproject/build/consumer"
[[ -z $(find "$work/subproject/build" -name zephlorctl -o -name '*_tests') ]] && pass ||
  fail "a subproject builds no tools and no tests"
export PKG_CONFIG_PATH=$prefix/$libdir/pkgconfig
# As the README builds it: an rpath to the installation's library folder.
expect "pkg-config consumer builds" "" bash -c \
  "cc '$work/consumer/main.c' -o '$work/pkg-consumer' \$(pkg-config --cflags --libs wirelex) \
   -Wl,-rpath,\"\$(pkg-config --variable=libdir wirelex)\""
expect "pkg-config consumer runs" "$expected" "$work/pkg-consumer"

# The installed tools, with the build tree hidden under an empty file system.
expect "zephlorctl --version" "zephlorctl $version" "$prefix/bin/zephlorctl" --version
expect "zephlor-sim -V" "zephlor-sim $version" "$prefix/bin/zephlor-sim" -V
expect "installed zephlorctl without the build tree" "firmware: version 1.0" \
  unshare --mount bash -c "mount -t tmpfs none '$build' && '$prefix/bin/zephlorctl' --sim info"
# Read until the line is up: the gateway then ends on its closed output, however long it took.
expect "installed zephlor-gateway without the build tree" '"state":"up"' \
  unshare --mount bash -c "mount -t tmpfs none '$build' &&
    timeout 60 '$prefix/bin/zephlor-gateway' --sim --dry-run | grep -m 1 '\"state\":\"up\"'"
expect "the example configuration is sound" "zephlor/site-a/hall-1/hall-level/set" \
  "$prefix/bin/zephlor-gateway" --check "$prefix/share/doc/zephlor-gateway/examples/gateway.yaml"
expect "the unit runs the installed gateway" "ExecStart=/usr/local/bin/zephlor-gateway /etc/zephlor/%i.yaml" \
  cat "$prefix/lib/systemd/system/zephlor-gateway@.service"
expect "the unit reloads it with SIGHUP" 'ExecReload=/bin/kill -HUP $MAINPID' \
  cat "$prefix/lib/systemd/system/zephlor-gateway@.service"
# The man pages: no groff warning, and the sections a man page has, each once, in the order of
# man-pages(7) (the tool's own sections after OPTIONS).
for page_sections in \
  "zephlorctl:NAME SYNOPSIS DESCRIPTION OPTIONS COMMANDS ITEMS EXIT STATUS ENVIRONMENT FILES EXAMPLES SEE ALSO" \
  "zephlor-sim:NAME SYNOPSIS DESCRIPTION OPTIONS EXIT STATUS SEE ALSO" \
  "zephlor-gateway:NAME SYNOPSIS DESCRIPTION OPTIONS CONFIGURATION TOPICS EXIT STATUS FILES EXAMPLES SEE ALSO" \
  "zephlor-gateway.yaml:NAME DESCRIPTION KEYS EXAMPLE FILES SEE ALSO"; do
  page=${page_sections%%:*} file=$(ls "$prefix"/share/man/man[15]/"${page_sections%%:*}".[15].gz)
  rendered=$(zcat "$file" | groff -man -Tutf8 -ww 2>&1 >/dev/null
             zcat "$file" | sed -n 's/^\.SH //p' | tr -d '"' | tr '\n' ' ')
  [[ $rendered == "${page_sections#*:} " ]] && pass || fail "man page $page: $rendered"
done
expect "FILES names the plug-in's real path" ".I /usr/local/lib/zephlor/osterfell.so" \
  bash -c "zcat '$prefix/share/man/man1/zephlorctl.1.gz' | sed -n '/^\.SH FILES/,/^\.SH/p'"
expect "completion of a command" "read" bash -c \
  "source '$prefix/share/bash-completion/completions/zephlorctl'; COMP_WORDS=(zephlorctl --sim re); COMP_CWORD=2; _zephlorctl; echo \"\${COMPREPLY[*]}\""
expect "completion of an item" "station-level" bash -c \
  "source '$prefix/share/bash-completion/completions/zephlorctl'; COMP_WORDS=(zephlorctl read sta); COMP_CWORD=2; _zephlorctl; echo \"\${COMPREPLY[*]}\""
expect "completion of --device=PATH" "/dev/ptmx" bash -c \
  "source '$prefix/share/bash-completion/completions/zephlorctl'; COMP_WORDS=(zephlorctl --device = /dev/ptm); COMP_CWORD=3; _zephlorctl; echo \"\${COMPREPLY[*]}\""
expect "one completion file, linked for zephlor-sim" "zephlorctl" \
  readlink "$prefix/share/bash-completion/completions/zephlor-sim"

# The Debian packages, built as Debian builds them (dpkg-buildpackage, debhelper) from a copy of
# the source, and checked with dpkg-deb and lintian at its pedantic level.
debian=$work/debian/zephlor
mkdir -p "$debian"
tar -C "$source_dir" --exclude=./build --exclude=./.git -cf - . | tar -C "$debian" -xf -
# It builds the whole project again: on a machine busy with other work that takes many times as
# long as on an idle one, so its limit is far beyond the idle time (some 2 minutes).
limit=1800 expect "dpkg-buildpackage" "" bash -c "cd '$debian' && dpkg-buildpackage -b -us -uc >build.log 2>&1 || { tail -30 build.log; false; }"
deb() { ls "$work"/debian/"$1"_"$version"_*.deb 2>/dev/null | head -n 1; }
for package_file in "libwirelex1 libwirelex.so.1 -> libwirelex.so.$version" \
  "libwirelex-dev usr/include/wirelex.h" "libwirelex-dev wirelex.pc" \
  "libwirelex-dev wirelexConfig.cmake" "zephlor-tools usr/bin/zephlorctl" \
  "zephlor-tools usr/bin/zephlor-sim" "osterfell zephlor/osterfell.so" \
  "zephlor-tools man1/zephlorctl.1.gz" "zephlor-tools completions/zephlor-sim" \
  "zephlor-gateway usr/bin/zephlor-gateway" "zephlor-gateway man1/zephlor-gateway.1.gz" \
  "zephlor-gateway man5/zephlor-gateway.yaml.5.gz" \
  "zephlor-gateway ./lib/systemd/system/zephlor-gateway@.service" \
  "zephlor-gateway completions/zephlor-gateway" "zephlor-gateway ./etc/zephlor/" \
  "zephlor-gateway sysusers.d/zephlor-gateway.conf"; do
  package=${package_file%% *} file=${package_file#* }
  [[ $(dpkg-deb -c "$(deb "$package")" 2>&1) == *"$file"* ]] && pass || fail "$package holds $file"
done
dpkg-deb --fsys-tarfile "$(deb osterfell)" | tar -xO --wildcards '*/osterfell.so' \
  >"$work/packaged-osterfell.so"
[[ $(readelf -d "$work/packaged-osterfell.so" 2>&1) == *NEEDED* &&
  $(readelf -d "$work/packaged-osterfell.so") != *RUNPATH* ]] && pass ||
  fail "the packaged plug-in has no search path: the codec is in the system's library folder"
expect "the plug-in depends on the codec's package" "libwirelex1 (>= " \
  dpkg-deb -f "$(deb osterfell)" Depends
expect "the gateway depends on the plug-in's package" "osterfell (= " \
  dpkg-deb -f "$(deb zephlor-gateway)" Depends
[[ $(dpkg-deb -f "$(deb zephlor-gateway)" Depends) != *zephlor-tools* ]] && pass ||
  fail "the gateway does not depend on the tools"
[[ $(dpkg-deb -c "$(deb zephlor-tools)") != *osterfell.so* ]] && pass ||
  fail "the plug-in is in its own package alone"

# How the installed gateway runs, read off its package (systemd need not run here): the unit as
# the system user with dialout, the user and the configurations' folder made by the maintainer
# scripts, running gateways restarted on upgrade and stopped on removal, and the sandbox's rating.
unpacked_gateway=$work/debian/gateway-files
mkdir -p "$unpacked_gateway"
dpkg-deb -R "$(deb zephlor-gateway)" "$unpacked_gateway"
unit=$unpacked_gateway/lib/systemd/system/zephlor-gateway@.service
for line in "User=zephlor" "Group=zephlor" "SupplementaryGroups=dialout" \
  "ExecStart=/usr/bin/zephlor-gateway /etc/zephlor/%i.yaml" "ExecReload=/bin/kill -HUP \$MAINPID"; do
  grep -qx "$line" "$unit" && pass || fail "the unit has $line"
done
expect "the user is made, in dialout" "m zephlor dialout" \
  cat "$unpacked_gateway/usr/lib/sysusers.d/zephlor-gateway.conf"
expect "the postinst makes the user before it hands it the folder" "systemd-sysusers" \
  bash -c "sed -n '1,/chown root:zephlor/p' '$unpacked_gateway/DEBIAN/postinst'"
expect "the folder is root:zephlor 0750" "chmod 0750 /etc/zephlor" cat "$unpacked_gateway/DEBIAN/postinst"
expect "an upgrade restarts running gateways" "try-restart 'zephlor-gateway@*.service'" \
  cat "$unpacked_gateway/DEBIAN/postinst"
expect "removal stops them" "stop 'zephlor-gateway@*.service'" cat "$unpacked_gateway/DEBIAN/prerm"
if command -v systemd-analyze >/dev/null; then
  cp "$unit" "$work/zephlor-gateway@example.service"
  rating=$(systemd-analyze security --offline=true "$work/zephlor-gateway@example.service" 2>&1 |
    sed -n 's/.*Overall exposure level for .*: \([0-9.]*\) .*/\1/p')
  echo "systemd-analyze security: $rating"
  [[ -n $rating ]] && awk "BEGIN { exit !($rating < 4.0) }" && pass ||
    fail "the unit rates below 4.0 (OK) in systemd-analyze security, not '$rating'"
fi
[[ $(dpkg-deb -c "$(deb zephlor-tools)") != *gateway* ]] && pass ||
  fail "zephlor-tools holds nothing of the gateway"
expect "the .pc names /usr plainly" "prefix=/usr" \
  bash -c "dpkg-deb --fsys-tarfile '$(deb libwirelex-dev)' | tar -xO --wildcards '*/wirelex.pc'"
if command -v lintian >/dev/null; then
  expect "lintian --pedantic finds nothing to fix" "" \
    bash -c "! lintian --pedantic '$work'/debian/*.changes 2>&1 | grep -E '^[EWP]:'"
fi

# The relocatable archive, named with its architecture, runs wherever it is unpacked: the tools
# find the plug-in, and the plug-in the codec, from their own folders.
expect "cpack -G TGZ" "generated" bash -c "cd '$build' && cpack -G TGZ"
archive=$(ls "$build"/zephlor-"$version"-linux-*.tar.gz 2>/dev/null | head -n 1)
mkdir -p "$work/unpacked"
expect "the .tar.gz unpacks" "" tar -C "$work/unpacked" -xzf "$archive"
expect "the unpacked tools run" "driver: Zephlor" \
  bash -c "'$work'/unpacked/zephlor-*/bin/zephlorctl --sim info"
expect "the unpacked plug-in finds the codec relative to itself" '$ORIGIN/..' \
  bash -c "readelf -d \"\$(find '$work'/unpacked -name osterfell.so)\" | grep RUNPATH"

echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
