# Shared settings for the project's scripts: build folders, the Wine session.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build_root=${SFX_BUILD_DIR:-$root/build}
build_win=$build_root/win
build_host=$build_root/host
jobs=$(nproc)

# Builds quietly; on failure shows the end of the build log.
build_quietly() {
    if ! cmake --build "$1" -j "$jobs" >"$1/build.log" 2>&1; then
        grep -E 'error|Error' "$1/build.log" | head -40
        tail -20 "$1/build.log"
        return 1
    fi
}

configure_and_build() {
    cmake -S "$root" -B "$build_win" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
        -DCMAKE_BUILD_TYPE=Release -Wno-dev >/dev/null
    build_quietly "$build_win"
    CC=clang CXX=clang++ cmake -S "$root" -B "$build_host" -DCMAKE_BUILD_TYPE=RelWithDebInfo -Wno-dev >/dev/null
    build_quietly "$build_host"
}

# A Ukrainian user's Windows: code page 1251, so Cyrillic paths work. The
# 32-bit prefix unless wine_session picks another; WINEARCH is always given,
# since with wine64 installed a new prefix is 64-bit by default.
# Only for a shell started after scripts/setup: a shell that looked for the
# locale before setup generated it keeps not finding it, and warns.
wine_environment() {
    export WINEPREFIX=$build_win/wineprefix
    export WINEARCH=win32
    export WINEDEBUG=-all
    export LANG=uk_UA.UTF-8 LC_ALL=uk_UA.UTF-8
}

# The prefix of a test session: win32, or win64, where the 32-bit programs
# run under WoW64 as on our users' Windows.
wine_prefix_of() {
    case $1 in
    win32) echo "$build_win/wineprefix" ;;
    win64) echo "$build_win/wineprefix64" ;;
    *) echo "unknown Wine architecture: $1" >&2; return 1 ;;
    esac
}

# Points Wine at a session's prefix and tells the tests which one it is.
wine_session() {
    WINEPREFIX=$(wine_prefix_of "$1")
    export WINEPREFIX WINEARCH=$1 SFX_WINE_ARCH=$1
}

# A fresh prefix for every session; the server stays up so each test starts quickly.
wine_fresh_prefix() {
    rm -rf "$WINEPREFIX"
    WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1
    wineserver -w
    wineserver -p </dev/null >/dev/null 2>&1
    # Without a window manager, Wine waits two seconds for every closed
    # managed window; unmanaged windows close at once.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    # A program that crashes gets a backtrace on its output and ends, instead of
    # a crash dialog nobody closes, whose debugger would hold ctest's pipe open.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
}
