#!/bin/sh
# The publisher's path with the tool as cmake --install leaves it: in a folder
# with no stub in it, pack a package onto the embedded stub, sign the launcher
# with osslsigncode, check it, and get exactly the package back with extract.
# The manual page is installed beside the tool and holds its help.
# usage: install_and_publish.sh BUILD_DIR WORK_DIR STUB SIGN_HELPER
set -eu
build=$1 work=$2 stub=$3 sign=$4

fail() {
    echo "installed sfxpack: $*" >&2
    [ -s "$work/step.log" ] && cat "$work/step.log" >&2
    exit 1
}

# Runs one step of the path, its output kept for the failure report.
step() {
    "$@" >"$work/step.log" 2>&1 || fail "$* exited $?"
}

rm -rf "$work"
mkdir -p "$work/publisher"
step cmake --install "$build" --prefix "$work/prefix"
tool=$work/prefix/bin/sfxpack
man_page=$work/prefix/share/man/man1/sfxpack.1
[ -x "$tool" ] || fail "no sfxpack in $work/prefix/bin"
for command in pack inspect extract config; do
    usage=$("$tool" $command --help | head -1)
    grep -qxF "$usage" "$man_page" || fail "the manual page lacks: $usage"
done

cd "$work/publisher"
step "$tool" --version
grep -qxF "embedded stub: $(wc -c <"$stub") bytes, SHA-256 $(sha256sum "$stub" | cut -c1-64)" "$work/step.log" \
    || fail "--version does not name the stub this build made"

# The example header: 10.01.188 to 10.01.190, format type 2, then a body.
# The versions go in through %s: an octal escape would swallow their leading digits.
{
    printf 'PATCH\011\0\0\0PATCHHEAD\012\0\0\0SRCVERSION\011\0\0\0%s\0\012\0\0\0DSTVERSION\011\0\0\0%s\0\012\0\0\0FORMATTYPE\004\0\0\0\002\0\0\0PATCHBODY' 10.01.188 10.01.190
    head -c 100000 /dev/urandom
} >package.upd
step "$tool" pack package.upd launcher.exe
step sh "$sign" "$work/certificate" launcher.exe signed.exe
step "$tool" inspect signed.exe
grep -qx "package intact" "$work/step.log" || fail "inspect does not find the signed launcher's package intact"
grep -qx "signatures: 1" "$work/step.log" || fail "inspect does not count one signature"
step "$tool" extract signed.exe extracted.upd
cmp -s extracted.upd package.upd || fail "extract of the signed launcher is not the package"
exit 0
