#!/bin/sh
# SPDX-License-Identifier: BSD-3-Clause
# Installs the libreaderctl and devel components into a staging tree, checks what was
# installed and what the library exports, then loads it as a foreign
# program would.
# usage: installed_check.sh <cmake> <c-compiler> <build-dir> <stage-dir> <checker> <vendor-hex4> <product-hex4>...
set -eu
cmake=$1 cc=$2 build=$3 stage=$4 checker=$5 vendor=$6
shift 6

rm -rf "$stage"
# The run-time part (library, udev rule) and the files to build against it.
for component in libreaderctl devel; do
    DESTDIR="$stage" "$cmake" --install "$build" --component $component --prefix /usr >/dev/null
done

lib=$(find "$stage" -name libreaderctl.so | head -n 1)
for f in "$lib" "$(find "$stage" -name readerctl.h)" "$(find "$stage" -name readerctl.pc)" \
         "$(find "$stage" -name 60-readerctl.rules)"; do
    if [ -z "$f" ] || [ ! -e "$f" ]; then
        echo "FAIL: installed tree lacks a file; it holds:"; find "$stage" -type f -o -type l
        exit 1
    fi
done
case "$(find "$stage" -name 60-readerctl.rules)" in
    */lib/udev/rules.d/*) ;;
    *) echo "FAIL: udev rule not under lib/udev/rules.d"; exit 1 ;;
esac

pc=$(find "$stage" -name readerctl.pc)
libs=$(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --libs readerctl 2>/dev/null || true)
case "$libs" in
    *"-L$(dirname "$lib")"*-lreaderctl*|*"-L$(cd "$(dirname "$lib")" && pwd -P)"*-lreaderctl*) ;;
    *) echo "FAIL: pkg-config --libs gave '$libs'"; exit 1 ;;
esac

# A user's program compiles against the installed header through pkg-config.
cflags=$(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --cflags readerctl)
# shellcheck disable=SC2086
printf '#include <readerctl.h>\nint main(void) { return StartDownload() == StatusNoDevice ? 0 : 1; }\n' |
    "$cc" $cflags -fsyntax-only -Wall -Werror -x c - || { echo "FAIL: readerctl.h does not compile as C"; exit 1; }

expected="Download EndDownload GetFirmVersion ReadEEPROM ReadSwitchInterface ResetDevice StartDownload SwitchInterface WriteEEPROM"
exported=$(nm -D --defined-only "$lib" | awk '{print $NF}' | sort | tr '\n' ' ' | sed 's/ $//')
if [ "$exported" != "$expected" ]; then
    echo "FAIL: exported names differ"
    echo "  expected: $expected"
    echo "  exported: $exported"
    exit 1
fi
echo "exports: exactly the nine"

for uevent in /sys/class/hidraw/*/device/uevent; do
    [ -r "$uevent" ] || continue
    for product in "$@"; do
        id=$(printf '0003:0000%s:0000%s' "$vendor" "$product" | tr 'a-f' 'A-F')
        if grep -q "HID_ID=$id" "$uevent"; then
            echo "SKIP: a reader with the configured ids ($vendor:$product) is attached; the no-device answers are not checked"
            exit 0
        fi
    done
done

"$checker" "$lib"
