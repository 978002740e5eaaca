#!/bin/sh
# Signed launchers for the end-to-end tests, made as a publisher makes them:
# packed by the Windows sfxpack under Wine, then signed with osslsigncode.
#   aligned.exe     recorded length, the package ends on a multiple of 8: no padding
#   padded.exe      recorded length, the signing tool pads 7 zero bytes
#   unrecorded.exe  stub and package concatenated without a recorded length
# Each NAME.upd beside it is the package it carries.
# usage: make_signed_launchers.sh WINE_RUN SFXPACK_EXE STUB SIGN_HELPER CERT_DIR OUT_DIR
set -eu
wine_run=$1 tool=$2 stub=$3 sign=$4 certificates=$5 out=$6

rm -rf "$out"
mkdir -p "$out"
cd "$out"
cp "$tool" sfxpack.exe
cp "$stub" stub.exe

fail() {
    echo "signed launchers: $*" >&2
    for f in *.log; do [ -s "$f" ] && { echo "--- $f"; cat "$f"; }; done >&2
    exit 1
}

# The example header (10.01.188 to 10.01.190, format type 2), then body text
# up to the given length; the body ends in a non-zero byte, unlike padding.
# The versions go in through %s: an octal escape would swallow their leading digits.
write_package() {
    {
        printf 'PATCH\011\0\0\0PATCHHEAD\012\0\0\0SRCVERSION\011\0\0\0%s\0\012\0\0\0DSTVERSION\011\0\0\0%s\0\012\0\0\0FORMATTYPE\004\0\0\0\002\0\0\0PATCHBODY' 10.01.188 10.01.190
        yes 'package body'
    } | head -c "$2" >"$1"
}

# Output goes to files, never a pipe: a wineserver started here would hold a pipe open.
pack() {
    "$wine_run" sfxpack.exe pack stub.exe "$1.upd" "$1_unsigned.exe" >"pack_$1.log" 2>&1 \
        || fail "sfxpack could not pack $1"
}

sign() {
    sh "$sign" "$certificates" "$1_unsigned.exe" "$1.exe" >"sign_$1.log" 2>&1 || fail "could not sign $1.exe"
}

# Lengths follow from the stub's size, so the padding is 0 and 7 bytes whatever that size.
stub_size=$(wc -c <stub.exe)
aligned_length=$((4096 + (8 - (stub_size + 4096) % 8) % 8))
write_package aligned.upd "$aligned_length"
write_package padded.upd $((aligned_length + 1))
cp padded.upd unrecorded.upd

pack aligned
pack padded
cat stub.exe unrecorded.upd >unrecorded_unsigned.exe
sign aligned
sign padded
sign unrecorded
exit 0
