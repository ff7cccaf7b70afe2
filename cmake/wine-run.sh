#!/bin/sh
# Runs a Windows program under Wine, in the Wine prefix PREFIX (created on first use):
#
#   wine-run.sh PREFIX PROGRAM.exe [ARGUMENTS...]
#
# CMake's emulator for the `windows` preset: tests, test discovery and the end-to-end cases run
# their programs through it. Its status is the program's. No display is needed.
set -eu
if [ $# -lt 2 ]; then
  echo "usage: wine-run.sh PREFIX PROGRAM.exe [ARGUMENTS...]" >&2
  exit 2
fi
case $1 in
  /*) prefix=$1 ;;
  *) prefix=$PWD/$1 ;;
esac
shift

# Wine reports success for a program that is not a Windows one (`wine /bin/false` exits 0):
# only a Windows executable goes through, so that a test whose program cannot start fails.
if [ "$(head -c 2 "$1" 2>/dev/null)" != "MZ" ]; then
  echo "wine-run.sh: $1 is not a Windows executable" >&2
  exit 127
fi

export WINEPREFIX="$prefix"
export WINEDEBUG=-all
# No Mono or Gecko to install, no menu entries, no window.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY

# The Wine server and the prefix's system processes inherit the open files of the process that
# starts them, and outlive it: started from a test, they would hold its output pipes open for
# seconds after the program ends. So they are started here, away from them, under a lock (tests
# run in parallel), and left to end by themselves a minute after the last program: a program
# that starts just as the server ends fails at once with nothing said, and the longer the wait,
# the rarer a pause between programs that ends it (at 5 s, a unit test failed so in one CI run
# of a thousand programs). (wineserver exits with 0 when it has started a server, with 2 when
# one is running already.)
mkdir -p "$prefix"
exec 9>"$prefix.lock"
flock 9
if wineserver -p60 </dev/null >/dev/null 2>&1 9>&-; then
  wine cmd.exe /c exit </dev/null >/dev/null 2>&1 9>&- || true
fi
flock -u 9
exec wine "$@" 9>&-
