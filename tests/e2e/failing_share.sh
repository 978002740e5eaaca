#!/bin/sh
# A share that drops out mid-read: a 48 MiB launcher packed by the Windows
# sfxpack, served read-only by failing_share.py at DIR/share, where every read
# that reaches past the launcher's middle fails with EIO; beside it the same
# launcher as slow.exe, read whole but slowly, a 4 MiB one as slow_small.exe,
# read as slowly, and header.upd, a package too
# small for any read to stop short of its middle. Wine reaches it through Z:.
# Mounting needs root and /dev/fuse, as the test session has.
# usage: failing_share.sh mount DIR WINE_RUN SFXPACK_EXE
#        failing_share.sh unmount DIR
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/package.sh"
action=$1
mkdir -p "$2"
dir=$(cd "$2" && pwd)
share=$dir/share files=$dir/files pidfile=$dir/fuse.pid

fail() {
    echo "failing share: $*" >&2
    exit 1
}

# From the mount table: a share whose process died answers no stat.
mounted() {
    findmnt -rn --mountpoint "$share" >/dev/null
}

# Unmounts and ends the file system's process, whatever state a run left them in.
unmount() {
    if mounted; then
        umount "$share" 2>/dev/null || fusermount3 -u "$share" 2>/dev/null || umount -l "$share"
    fi
    [ -f "$pidfile" ] || return 0
    pid=$(cat "$pidfile")
    # Only our own process: the pid may be an old one, reused since.
    if tr '\0' ' ' 2>/dev/null <"/proc/$pid/cmdline" | grep -qF "failing_share.py $files "; then
        kill "$pid" 2>/dev/null || true
        for _ in 1 2 3 4 5 6 7 8 9 10; do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
        kill -9 "$pid" 2>/dev/null || true
    fi
    rm -f "$pidfile"
}

case $action in
mount)
    wine_run=$3 tool=$4
    unmount
    # Whatever fails from here on leaves nothing mounted.
    trap unmount EXIT
    [ -c /dev/fuse ] || fail "no /dev/fuse; the test needs FUSE (root and /dev/fuse, as CI has)"
    rm -rf "$files"
    mkdir -p "$files" "$share"
    cd "$files"
    cp "$tool" sfxpack.exe
    write_package update.upd $((48 << 20))
    # Output goes to files, never a pipe: a wineserver started here would hold a pipe open.
    "$wine_run" sfxpack.exe pack update.upd update.exe >"$dir/pack.log" 2>&1 \
        || fail "sfxpack could not pack the launcher: $(tail -1 "$dir/pack.log")"
    # Small enough for the test session's small disk, slow enough to fill that disk meanwhile.
    write_package small.upd $((4 << 20))
    "$wine_run" sfxpack.exe pack small.upd slow_small.exe >>"$dir/pack.log" 2>&1 \
        || fail "sfxpack could not pack the small launcher: $(tail -1 "$dir/pack.log")"
    rm sfxpack.exe update.upd small.upd
    cp update.exe slow.exe
    write_package header.upd 4096
    # Its own session and no inherited output, so that ctest does not wait for it.
    setsid /usr/bin/python3 "$here/failing_share.py" "$files" "$share" </dev/null >"$dir/fuse.log" 2>&1 &
    echo $! >"$pidfile"
    for _ in $(seq 50); do
        mountpoint -q "$share" && break
        kill -0 "$(cat "$pidfile")" 2>/dev/null || break
        sleep 0.2
    done
    mountpoint -q "$share" || fail "could not mount $share (needs root and /dev/fuse): $(grep -m1 -E '^(fuse|[A-Za-z]*Error)' "$dir/fuse.log")"
    half=$(($(wc -c <update.exe) / 2))
    dd if="$share/update.exe" of=/dev/null bs=4096 count=1 2>/dev/null || fail "a read before the middle fails"
    if dd if="$share/update.exe" of=/dev/null bs=4096 skip=$((half / 4096 + 1)) count=1 2>/dev/null; then
        fail "a read past the middle works"
    fi
    trap - EXIT
    ;;
unmount)
    unmount
    ;;
esac
