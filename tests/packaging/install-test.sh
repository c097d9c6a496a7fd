#!/bin/bash
# SPDX-License-Identifier: BSD-3-Clause
# install-test.sh <build dir> <libdir> <udev rules dir> <with cardbench-run 0|1> <with GUI 0|1>
# cmake --install into a temporary prefix, then: exactly the files of
# installed-files.txt, menu entries and AppStream metadata that validate,
# manual pages that render, icons of the right sizes, a demo reader
# configuration naming installed files, and a program built against the
# installed readerctl.pc.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
build=$1 libdir=$2 udevdir=$3 runner=$4 gui=$5
src=$(cd "$here/../.." && pwd)
failures=0

case $udevdir in
    /*) echo "udev rules folder $udevdir is outside the prefix: not checked here"; exit 77 ;;
esac

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/usr
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || { cat "$work/install.log" >&2; echo "FAIL: cmake --install" >&2; exit 1; }

# The installed set, exactly.
(cd "$prefix" && find . \( -type f -o -type l \) | sed 's|^\./||' | sort) >"$work/got"
expected_files all "$libdir" "$udevdir" etc "$runner" >"$work/want"
if [ "$gui" != 1 ]; then
    grep -v -E '^(bin/(cardbench|firmloader)|share/(applications|metainfo|icons)/|share/man/man1/(cardbench|firmloader)|share/doc/(cardbench|firmloader)/)' "$work/want" >"$work/want.nogui"
    mv "$work/want.nogui" "$work/want"
fi
if ! diff -u "$work/want" "$work/got" >"$work/diff"; then
    fail "installed files differ from installed-files.txt (- missing, + unexpected):"
    grep '^[-+][^-+]' "$work/diff" >&2
fi

for f in "$prefix"/share/applications/*.desktop; do
    [ -e "$f" ] || continue
    out=$(desktop-file-validate "$f" 2>&1) && [ -z "$out" ] || fail "desktop-file-validate $f: $out"
    icon=$(sed -n 's/^Icon=//p' "$f")
    [ -e "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "$f names icon $icon, which is not installed"
done
for f in "$prefix"/share/metainfo/*.xml; do
    [ -e "$f" ] || continue
    appstreamcli validate --no-net "$f" >"$work/as.log" 2>&1 || fail "appstreamcli validate $f: $(cat "$work/as.log")"
    launchable=$(sed -n 's|.*<launchable type="desktop-id">\(.*\)</launchable>.*|\1|p' "$f")
    [ -e "$prefix/share/applications/$launchable" ] || fail "$f launches $launchable, which is not installed"
done
for f in "$prefix"/share/icons/hicolor/*x*/apps/*.png; do
    [ -e "$f" ] || continue
    size=$(basename "$(dirname "$(dirname "$f")")")
    check_icon "$f" "${size%x*}"
done
# The menu's icons are the windows' own: same pixels at the window icon's size.
while read -r installed resource; do
    [ -e "$prefix/$installed" ] || continue
    differing=$(compare -metric AE "$prefix/$installed" "$src/$resource" null: 2>&1)
    [ "$differing" = 0 ] || fail "$installed differs from the window icon $resource ($differing pixels)"
done <<'ICONS'
share/icons/hicolor/48x48/apps/cardbench.png resources/cardbench/app.png
share/icons/hicolor/32x32/apps/firmloader.png resources/firmloader/firmloader.png
ICONS
for f in "$prefix"/share/icons/hicolor/scalable/apps/*.svg; do
    [ -e "$f" ] || continue
    { grep -q '^<svg ' "$f" && grep -q 'viewBox="0 0 [0-9]* [0-9]*"' "$f" && [ "$(tail -n 1 "$f")" = "</svg>" ]; } ||
        fail "$f is not a whole SVG with a view box"
done
for f in "$prefix"/share/man/man*/*.gz; do
    [ -e "$f" ] || continue
    check_man_page "$f"
done

# The demo reader's configuration names the installed driver and scenario.
conf=$prefix/etc/reader.conf.d/cardbench-demo-reader
if [ -e "$conf" ]; then
    grep -q '^FRIENDLYNAME "TAV Bench PinPad"$' "$conf" || fail "$conf does not name the demo reader"
    for key in DEVICENAME LIBPATH; do
        path=$(sed -n "s/^$key //p" "$conf")
        case $path in
            "$prefix"/*) [ -f "$path" ] || fail "$conf: $key $path is not installed" ;;
            *) fail "$conf: $key $path is outside the prefix $prefix" ;;
        esac
    done
    grep -q -E '^(card-file|trace)' "$prefix/share/cardbench-demo-reader/demo.scn" &&
        fail "the installed demo scenario names files of the build tree"
fi

check_readerctl_client "$prefix/$libdir/pkgconfig" "$work"
check_multiarch_libdir "$libdir"
check_licence "$prefix/share/doc" "$prefix/share/metainfo"
check_readerctl_program "$prefix/bin/readerctl"

if [ $failures -ne 0 ]; then
    echo "install test: $failures failure(s)" >&2
    exit 1
fi
echo "install test: $(wc -l <"$work/got") files installed and checked"
