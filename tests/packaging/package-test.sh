#!/bin/bash
# SPDX-License-Identifier: BSD-3-Clause
# package-test.sh <build dir> <source dir> <libdir> <udev rules dir> <version> <with cardbench-run 0|1>
# Builds the Debian packages with cpack, checks each one's files
# (installed-files.txt), dependencies (package-depends.txt) and lintian's
# verdict, installs them into a throw-away root with dpkg, starts the
# installed programs from there offscreen, builds a program against the
# installed library, and brings the installed demo reader up in a private
# pcscd.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
build=$1 src=$2 libdir=$3 udevdir=$4 version=$5 runner=$6
failures=0
arch=$(dpkg --print-architecture)
packages="cardbench firmloader libreaderctl1 libreaderctl-dev readerctl cardbench-demo-reader"

case $udevdir in
    /*) echo "udev rules folder $udevdir is outside the prefix: not checked here"; exit 77 ;;
esac

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "== cpack -G DEB"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/debs" >"$work/cpack.log" 2>&1 ||
    { tail -30 "$work/cpack.log" >&2; echo "FAIL: cpack" >&2; exit 1; }
debs=()
for p in $packages; do
    deb=$work/debs/${p}_${version}_${arch}.deb
    if [ -f "$deb" ]; then debs+=("$deb"); else fail "no package $(basename "$deb")"; fi
done
extra=$(cd "$work/debs" && ls -- *.deb | grep -v -x -F -f <(for p in $packages; do echo "${p}_${version}_${arch}.deb"; done))
[ -z "$extra" ] || fail "unexpected packages: $extra"
[ $failures -eq 0 ] || exit 1

echo "== contents and dependencies"
for p in $packages; do
    deb=$work/debs/${p}_${version}_${arch}.deb
    dpkg-deb -c "$deb" >"$work/$p.list"
    awk '$1 !~ /^d/ { path = $6; sub(/^\.\//, "", path); print path }' \
        "$work/$p.list" | sort >"$work/$p.got"
    expected_files "$p" "$libdir" "$udevdir" "@ETC@" "$runner" |
        sed -e 's|^@ETC@|etc|' -e t -e 's|^|usr/|' | sort >"$work/$p.want"
    diff -u "$work/$p.want" "$work/$p.got" >"$work/$p.diff" ||
        { fail "$p: files differ from installed-files.txt (- missing, + unexpected):"; grep '^[-+][^-+]' "$work/$p.diff" >&2; }
    awk '{ print $2 }' "$work/$p.list" | grep -v -x root/root >/dev/null && fail "$p: files not owned by root"
    depends=$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed -e 's/^ *//' -e 's/ *(.*//')
    while read -r owner dep; do
        printf '%s\n' "$depends" | grep -q -x -F "$dep" || fail "$p does not depend on $dep (Depends: $(dpkg-deb -f "$deb" Depends))"
    done < <(awk -v p="$p" '!/^#/ && $1 == p { print $1, $2 }' "$here/package-depends.txt")
done
dpkg-deb -f "$work/debs/libreaderctl-dev_${version}_${arch}.deb" Depends | grep -q "libreaderctl1 (= $version)" ||
    fail "libreaderctl-dev does not depend on this very libreaderctl1"
dpkg-deb --ctrl-tarfile "$work/debs/libreaderctl1_${version}_${arch}.deb" | tar -t | grep -q '^\./shlibs$' ||
    fail "libreaderctl1 has no shlibs file"
dpkg-deb --ctrl-tarfile "$work/debs/cardbench-demo-reader_${version}_${arch}.deb" | tar -xO ./conffiles |
    grep -q -x '/etc/reader.conf.d/cardbench-demo-reader' || fail "the demo reader's configuration is not a conffile"

echo "== lintian"
if lintian --fail-on error --no-tag-display-limit "${debs[@]}" >"$work/lintian.log" 2>&1; then
    grep -c '^[WI]:' "$work/lintian.log" | sed 's/^/lintian: no errors; warnings and notes: /'
else
    grep '^E:' "$work/lintian.log" >&2 || tail -5 "$work/lintian.log" >&2
    fail "lintian reports errors"
fi

echo "== dpkg into a throw-away root"
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
touch "$root/var/lib/dpkg/status"
if [ "$(id -u)" -eq 0 ]; then
    # The root has no shell of its own: maintainer scripts run outside it
    # (they see DPKG_ROOT and leave the system's pcscd alone).
    dpkg --root="$root" --force-depends --force-script-chrootless --log=/dev/null -i "${debs[@]}" >"$work/dpkg.log" 2>&1 ||
        { tail -20 "$work/dpkg.log" >&2; fail "dpkg -i into $root"; }
    dpkg --root="$root" -L cardbench >/dev/null 2>&1 || fail "dpkg does not list cardbench as installed"
else
    echo "not root: unpacking with dpkg-deb -x instead of dpkg -i"
    for deb in "${debs[@]}"; do dpkg-deb -x "$deb" "$root"; done
fi

echo "== the installed programs"
export LD_LIBRARY_PATH=$root/usr/$libdir
for binary in usr/bin/cardbench usr/bin/firmloader usr/bin/readerctl "usr/$libdir/libreaderctl.so.1" usr/lib/pcsc/drivers/serial/libsimreader.so; do
    [ -e "$root/$binary" ] || continue
    missing=$(ldd "$root/$binary" | grep 'not found')
    [ -z "$missing" ] || fail "$binary: libraries not found: $missing"
done
for program in cardbench firmloader; do
    QT_QPA_PLATFORM=offscreen timeout -k 2 3 "$root/usr/bin/$program" >"$work/$program.out" 2>&1
    rc=$?
    [ $rc -eq 124 ] || fail "installed $program did not stay up (exit status $rc): $(tail -3 "$work/$program.out")"
done
check_readerctl_client "$root/usr/$libdir/pkgconfig" "$work"
check_readerctl_program "$root/usr/bin/readerctl"
unset LD_LIBRARY_PATH
check_multiarch_libdir "$libdir"
check_licence "$root/usr/share/doc" "$root/usr/share/metainfo"

echo "== the installed demo reader in a private pcscd"
mkdir -p "$work/demo-conf"
sed -E "s#^(DEVICENAME|LIBPATH) /#\\1 $root/#" "$root/etc/reader.conf.d/cardbench-demo-reader" >"$work/demo-conf/reader.conf"
PCSCD_PROBE=$build/simreader/pcscd-probe PCSCD_START_TIMEOUT_MS=15000 "$src/tests/pcscd/with-private-pcscd.sh" "$work/demo-conf" \
    "$build/simreader/pcscd-probe" wait-card "TAV Bench PinPad" present 10000 >"$work/pcscd.log" 2>&1 ||
    { tail -10 "$work/pcscd.log" >&2; fail "the installed demo reader does not come up with its card in pcscd"; }

if [ $failures -ne 0 ]; then
    echo "package test: $failures failure(s)" >&2
    exit 1
fi
echo "package test: $(echo $packages | wc -w) packages built, checked, installed and run"
