#!/bin/sh
# A full disk for the launcher: 8 MiB of tmpfs, drive T: of the Wine prefix.
# usage: small_disk.sh mount|unmount DIR [DEFAULT_PREFIX]
# The drive goes into the session's prefix, DEFAULT_PREFIX when none is set;
# with no DEFAULT_PREFIX, there is no drive (sfxpack's native tests).
set -eu
action=$1 dir=$2
drive=${3:+${WINEPREFIX:-$3}/dosdevices/t:}

case $action in
mount)
    mkdir -p "$dir"
    dir=$(cd "$dir" && pwd)
    mountpoint -q "$dir" && umount "$dir"
    mount -t tmpfs -o size=8m tmpfs "$dir"
    [ -z "$drive" ] || { rm -f "$drive"; ln -s "$dir" "$drive"; }
    ;;
unmount)
    [ -z "$drive" ] || rm -f "$drive"
    if mountpoint -q "$dir"; then umount "$dir"; fi
    ;;
esac
