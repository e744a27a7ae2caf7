#!/bin/sh
# The Debian package made from a build folder, as a user's apt would get it:
# run_package.sh BUILD_DIR VERSION
# Made into a folder of its own (the build folder keeps no package), then read with dpkg-deb:
# its name, its files, its dependencies; unpacked into a throwaway folder, its programs run and
# its manual page and desktop entry are checked. Nothing is installed on the system.
set -u
build=$1
version=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/halvane_package.XXXXXX")
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

cpack --config "$build/CPackConfig.cmake" -B "$work/out" > "$work/cpack.log" 2>&1 || {
    cat "$work/cpack.log"
    echo "FAIL: cpack"
    exit 1
}
deb="$work/out/halvane_${version}_amd64.deb"
[ -f "$deb" ] || { ls "$work/out"; echo "FAIL: no $deb"; exit 1; }

# The files, and nothing else.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $1, $6 }' | sort > "$work/files"
cat > "$work/want" <<'FILES'
-rw-r--r-- ./usr/share/applications/screensavers/halvane.desktop
-rw-r--r-- ./usr/share/doc/halvane/README.md
-rw-r--r-- ./usr/share/man/man6/halvane.6.gz
-rw-r--r-- ./usr/share/xscreensaver/config/halvane.xml
-rwxr-xr-x ./usr/bin/nuvtool
-rwxr-xr-x ./usr/libexec/xscreensaver/halvane
FILES
sort -o "$work/want" "$work/want"
diff "$work/want" "$work/files" > "$work/files.diff" || fail "files of the package:
$(cat "$work/files.diff")"

# The control fields; every dependency names a package this machine has, for the libraries the
# programs link and those of the sound library the program carries inside.
dpkg-deb -f "$deb" Package Version Architecture Depends Recommends > "$work/control"
grep -qx "Package: halvane" "$work/control" || fail "package name: $(cat "$work/control")"
grep -qx "Version: $version" "$work/control" || fail "version"
grep -qx "Architecture: amd64" "$work/control" || fail "architecture"
grep -qx "Recommends: xscreensaver" "$work/control" || fail "recommends"
depends=$(sed -n 's/^Depends: //p' "$work/control")
for needed in libc6 libsdl2-2.0-0 libepoxy0 libgtk-3-0 libjpeg62-turbo libopenal1 libvorbisfile3 libx11-6 libgl1; do
    echo "$depends" | tr ',' '\n' | sed 's/^ *//; s/ .*//' | grep -qx "$needed" || fail "no dependency on $needed: [$depends]"
done
for name in $(echo "$depends" | tr ',' '\n' | sed 's/^ *//; s/ .*//'); do
    dpkg-query -W -f='${Status}\n' "$name" 2>/dev/null | grep -q "install ok installed" ||
        fail "dependency $name is no package installed here"
done
dpkg-deb -I "$deb" > /dev/null || fail "dpkg-deb -I"

# Unpacked: the programs run from where the package puts them.
dpkg-deb -x "$deb" "$work/root"
"$work/root/usr/libexec/xscreensaver/halvane" --help > "$work/help" 2>&1 || fail "halvane --help: $(cat "$work/help")"
grep -q -- "--window-id ID" "$work/help" || fail "halvane --help tells no options"
"$work/root/usr/bin/nuvtool" --help > "$work/nuvtool" 2>&1 || fail "nuvtool --help: $(cat "$work/nuvtool")"
# The desktop entry starts the installed hack.
grep -qx "Exec=/usr/libexec/xscreensaver/halvane --root" "$work/root/usr/share/applications/screensavers/halvane.desktop" ||
    fail "desktop entry: $(cat "$work/root/usr/share/applications/screensavers/halvane.desktop")"
# The manual page reads, and tells every option that --help tells.
MANWIDTH=100 man -l "$work/root/usr/share/man/man6/halvane.6.gz" 2>"$work/man.err" | col -b > "$work/man"
[ -s "$work/man.err" ] && fail "the manual page: $(cat "$work/man.err")"
for option in $(grep -o -- '--[a-z0-9-]*' "$work/help" | sort -u); do
    grep -q -- "$option" "$work/man" || fail "the manual page does not tell $option"
done
cmp -s "$work/root/usr/share/xscreensaver/config/halvane.xml" "$(dirname "$0")/../../app/desktop/halvane.xml" ||
    fail "the package's halvane.xml is not the source's"

if [ $failures -ne 0 ]; then exit 1; fi
exit 0
