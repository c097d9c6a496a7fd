# SPDX-License-Identifier: BSD-3-Clause
# Shared by install-test.sh and package-test.sh (sourced).

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# expected_files <package|all> <libdir> <udevdir> <etc> <with-runner 0|1>
# The table's paths for one package (or all), placeholders filled in, sorted.
expected_files() {
    awk -v want="$1" -v libdir="$2" -v udev="$3" -v etc="$4" -v runner="$5" '
        /^#/ || NF < 2 { next }
        {
            pkg = $1; optional = sub(/\?$/, "", pkg)
            if (want != "all" && pkg != want) next
            if (optional && runner != 1) next
            path = $2
            gsub(/@LIBDIR@/, libdir, path); gsub(/@UDEVDIR@/, udev, path); gsub(/@ETC@/, etc, path)
            print path
        }' "$here/installed-files.txt" | sort
}

# check_man_page <file>: renders with no warnings and has the sections a
# manual page needs.
check_man_page() {
    local out err
    err=$(mktemp)
    out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$1" 2>"$err") || fail "man -l $1 failed"
    [ -s "$err" ] && fail "man -l $1 warns: $(head -3 "$err")"
    rm -f "$err"
    for section in NAME SYNOPSIS DESCRIPTION "SEE ALSO"; do
        printf '%s\n' "$out" | grep -q "^$section\$" || fail "$1 has no $section section"
    done
}

# check_icon <png> <size>: a PNG of the size its folder names.
check_icon() {
    file -b "$1" | grep -q "^PNG image data, $2 x $2," || fail "$1 is not a $2x$2 PNG: $(file -b "$1")"
}

# check_readerctl_client <pkgconfig dir> <work dir>: a program built against
# the installed header and pkg-config file links and runs.
check_readerctl_client() {
    local pc_dir=$1 work=$2 flags libdir
    flags=$(PKG_CONFIG_PATH=$pc_dir pkg-config --cflags --libs readerctl) || { fail "pkg-config finds no readerctl in $pc_dir"; return; }
    libdir=$(PKG_CONFIG_PATH=$pc_dir pkg-config --variable=libdir readerctl)
    # shellcheck disable=SC2086
    cc -std=c99 -Wall -Wextra -Werror -o "$work/readerctl-client" "$here/readerctl-client.c" $flags ||
        { fail "readerctl-client does not build against $pc_dir"; return; }
    if reader_attached; then
        echo "a reader with the boot interface's ids is attached: the no-reader answers are not checked"
    else
        LD_LIBRARY_PATH=$libdir "$work/readerctl-client" || fail "readerctl-client failed against $libdir"
    fi
    LD_LIBRARY_PATH=$libdir ldd "$work/readerctl-client" | grep -q "$libdir/libreaderctl.so.1 " ||
        fail "readerctl-client did not load the library of $libdir"
}

# reader_attached: true when a HID device with one of the ids in
# $READERCTL_BOOT_IDS ("vvvv:pppp ...", set by the test's registration) is
# present, whose answers would differ from the no-reader ones.
reader_attached() {
    local uevent id
    for uevent in /sys/class/hidraw/*/device/uevent; do
        [ -r "$uevent" ] || continue
        for id in ${READERCTL_BOOT_IDS:-}; do
            id=$(printf '0003:0000%s:0000%s' "${id%:*}" "${id#*:}" | tr 'a-f' 'A-F')
            grep -q "HID_ID=$id" "$uevent" && return 0
        done
    done
    return 1
}

# check_multiarch_libdir <libdir>: on Debian the library goes to the
# multiarch folder, lib/<triplet>.
check_multiarch_libdir() {
    command -v dpkg-architecture >/dev/null || return 0
    local want
    want=lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null)
    [ "$1" = "$want" ] || fail "the library folder is $1, not Debian's multiarch $want"
}

# check_licence <doc dir> <metainfo dir>: every package's copyright file is
# machine-readable, names BSD-3-Clause and carries the LICENSE file's terms;
# the AppStream files name the same licence.
check_licence() {
    local f terms want
    want=$(sed -n '/^Redistribution/,$p' "$src/LICENSE" | tr -s ' \n' ' ')
    for f in "$1"/*/copyright; do
        [ -e "$f" ] || { fail "no copyright files under $1"; break; }
        head -n 1 "$f" | grep -q -x 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
            fail "$f is not in the machine-readable format"
        grep -q -x 'License: BSD-3-Clause' "$f" || fail "$f does not name BSD-3-Clause"
        grep -q -x 'Copyright: 2026 the smart-card bench kit developers' "$f" || fail "$f does not name the copyright holders"
        grep -q -i 'evaluation' "$f" && fail "$f still speaks of evaluation"
        terms=$(sed -n '/^License: BSD-3-Clause$/,$p' "$f" | sed -n '/Redistribution/,$p' | sed -e 's/^ //' -e '/^\.$/d' | tr -s ' \n' ' ')
        [ "$terms" = "$want" ] || fail "$f: the licence text differs from LICENSE"
    done
    for f in "$2"/*.xml; do
        [ -e "$f" ] || continue
        grep -q '<project_license>BSD-3-Clause</project_license>' "$f" || fail "$f names no project_license BSD-3-Clause"
    done
}

# check_readerctl_program <binary>: the installed program runs, explains
# itself and, without a reader, says so with exit status 3.
check_readerctl_program() {
    local out rc
    [ -x "$1" ] || { fail "$1 is not installed"; return; }
    out=$("$1" --help 2>&1) || fail "$1 --help failed"
    printf '%s\n' "$out" | grep -q '^usage: readerctl' || fail "$1 --help shows no usage"
    "$1" eeprom read 0x100 1 >/dev/null 2>&1
    rc=$?
    [ $rc -eq 2 ] || fail "$1 with a bad address: exit status $rc, not 2"
    reader_attached && return
    out=$("$1" list 2>&1)
    rc=$?
    [ $rc -eq 3 ] || fail "$1 list without a reader: exit status $rc, not 3 ($out)"
}
