# What the Wine checks share, sourced by wine.sh and setup.sh: the prefix of
# a pair and its X server, and one program at a time run in the background.
#
# wine_prefix x64|x86 WORK: exports the environment of WORK's prefix (the
#   64-bit pair's under 64-bit Wine, the 32-bit pair's under 32-bit Wine,
#   natively) and of the X server that "wine.sh setup" started there; sets
#   $wine, the loader to run programs with.
# start_in DIR PROGRAM [ARGS...]: starts PROGRAM from DIR in the background
#   (for at most 90 s); its output goes to $work/saver.log, its exit code to
#   $work/exit.
# wait_exit SECONDS: waits for it to end; prints its exit code.
# running: whether it still runs. stop: ends it (this run's program only).
source "$(dirname "${BASH_SOURCE[0]}")/../lib/xvfb.sh"

wine_prefix() {
  if [[ $1 == x86 ]]; then
    wine=/usr/lib/wine/wine
    export WINEARCH=win32 WINESERVER=/usr/lib/wine/wineserver32
  else
    wine=/usr/lib/wine/wine64
    export WINEARCH=win64 WINESERVER=/usr/lib/wine/wineserver64
  fi
  work=$2
  export WINEPREFIX=$work/prefix WINELOADER=$wine WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  if [[ -f $work/display ]]; then export DISPLAY=:$(cat "$work/display"); fi
}

start_in() {
  local dir=$1
  shift
  rm -f "$work/exit" "$work/saver.pid"
  (
    cd "$dir" || { echo 1 >"$work/exit"; exit 1; }
    timeout 90 "$wine" "$@" >"$work/saver.log" 2>&1 &
    echo $! >"$work/saver.pid"
    wait $!
    echo $? >"$work/exit"
  ) &
  for _ in $(seq 1 50); do [[ -f $work/saver.pid ]] && break; sleep 0.1; done
}

wait_exit() {
  for _ in $(seq 1 $(( $1 * 5 ))); do
    [[ -f $work/exit ]] && { cat "$work/exit"; return 0; }
    sleep 0.2
  done
  return 1
}
running() { [[ ! -f $work/exit ]]; }
# timeout passes the signal on to the program.
stop() {
  [[ -f $work/saver.pid ]] && kill "$(cat "$work/saver.pid")" >/dev/null 2>&1
  wait_exit 10 >/dev/null
}
