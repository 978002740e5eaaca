#!/bin/sh
# In DIR, sends SIGNAL to PROGRAM packing big.upd into big.exe once its temporary
# holds bytes; it must then end within five seconds, with STATUS (or any), and
# leave no big.exe*. What it printed is in DIR/pack.log. SIGNAL PIPE instead
# fails the write at 1 MiB and closes the pipe the refusal goes to.
# usage: interrupted_pack.sh DIR SIGNAL STATUS|any PROGRAM...
set -eu
dir=$1 signal=$2 status=$3
shift 3
cd "$dir"

fail() {
    echo "interrupted pack, SIG$signal: $*" >&2
    cat pack.log >&2
    rm -f big.exe*
    exit 1
}

if [ "$signal" = PIPE ]; then
    # 64 MiB, too small for a warning, which would meet the closed pipe before
    # the copy; the reader has gone long before the write fails.
    head -c 4096 big.upd >pipe.upd
    truncate -s 64M pipe.upd
    (trap '' XFSZ; ulimit -f 2048; { ended=0; env --default-signal=PIPE "$@" pack pipe.upd big.exe 2>&1 || ended=$?; echo $ended >pack.log; } | true)
    rm pipe.upd
    [ "$(cat pack.log)" = "$status" ] || fail "exit status $(cat pack.log), expected $status"
    ! ls big.exe* >/dev/null 2>&1 || fail "left $(ls big.exe*)"
    exit 0
fi
# A shell without job control starts a background job with SIGINT and SIGQUIT ignored.
env --default-signal=INT,TERM,HUP,QUIT "$@" pack big.upd big.exe >pack.log 2>&1 &
pid=$!
tries=0
until [ -s "$(ls big.exe.*.tmp 2>/dev/null | head -1)" ]; do
    tries=$((tries + 1))
    [ $tries -lt 600 ] || { kill -KILL $pid; fail "no temporary grew"; }
    sleep 0.05
done
kill -"$signal" $pid
# A handler that does not end the program would let it fill the disk.
(sleep 5; kill -KILL $pid) >/dev/null 2>&1 &
watchdog=$!
ended=0
wait $pid || ended=$?
kill $watchdog 2>/dev/null || true
[ $ended != 137 ] || fail "still running five seconds after the signal"
[ "$status" = any ] || [ $ended = "$status" ] || fail "exit status $ended, expected $status"
! ls big.exe* >/dev/null 2>&1 || fail "left $(ls big.exe*)"
