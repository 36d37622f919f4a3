#!/usr/bin/env bash
# Lumvane as a screen-saver hack on Xvfb: a preview window of the test's own,
# signals and bad windows, then the Debian package, installed and driven by
# the real XScreenSaver daemon and by xsecurelock. One X server and one test
# user, made by "setup" and removed by "cleanup", serve every scenario.
# Usage: hack.sh WORK SAVER DEB XWINDOW setup|cleanup|SCENARIO
set -uo pipefail
work=$1
saver=$2
deb=$3
xwindow=$4
scenario=$5
source "$(dirname "$0")/../lib/xvfb.sh"
source "$(dirname "$0")/../lib/picture.sh"

# The daemons refuse to run hacks as root, and CI runs as root: they run as
# this user, made here and removed again.
user=lumvane-hack-test
installed=/usr/libexec/xscreensaver/lumvane
# 16:10, so that the 4:3 picture has bars beside it: 1066x800 from x = 107.
screen_width=1280
screen_height=800

# A failed scenario leaves no saver of its own behind.
fail() {
  echo "FAIL: $*"
  [[ -n ${saver_pid:-} ]] && kill -TERM "$saver_pid" 2>/dev/null
  exit 1
}
as_root() { if [[ $(id -u) == 0 ]]; then "$@"; else sudo "$@"; fi; }
# Milliseconds from bash's own clock: no process is started to read it.
now_ms() { local now=${EPOCHREALTIME/[.,]/}; echo $(( now / 1000 )); }

if [[ $scenario != setup ]]; then
  export DISPLAY=":$(cat "$work/display" 2>/dev/null)"
fi

# --- pictures --------------------------------------------------------------

shoot() { import -window root "$work/$1.png" || fail "no screenshot"; shot=$work/$1.png; }
# Fails unless the area is black to the last bit.
expect_black() {
  local max
  max=$(convert "$shot" -crop "$1" +repage -format "%[fx:maxima]" info:)
  [[ $max == 0 ]] || fail "$2: $1 is not black (maximum $max)"
}
# The saver's picture fills the X Y W H rectangle: stars (or noise points)
# in each of its quarters, so it is neither cut off nor somewhere else.
expect_picture() {
  local x=$1 y=$2 w=$3 h=$4 what=$5 count counts=""
  local half_w=$(( w / 2 )) half_h=$(( h / 2 ))
  for quarter in "0 0" "1 0" "0 1" "1 1"; do
    set -- $quarter
    count=$(lit "${half_w}x${half_h}+$(( x + $1 * half_w ))+$(( y + $2 * half_h ))")
    counts+="$count "
    (( count >= 5 )) || fail "$what: a quarter of the picture at ${w}x${h}+$x+$y shows $count lit pixels"
  done
  echo "ok: $what: lit pixels in the four quarters of ${w}x${h}+$x+$y: $counts"
}
# The whole screen: black bars beside the 4:3 picture.
expect_letterboxed_screen() {
  expect_black "100x${screen_height}+0+0" "$1: left bar"
  expect_black "100x${screen_height}+$(( screen_width - 100 ))+0" "$1: right bar"
  expect_picture 107 0 1066 "$screen_height" "$1"
}

# --- the test's own window (tests/hack/xwindow.c) --------------------------

open_window() {
  coproc WINDOW { exec "$xwindow" "$1" "$2" 2>>"$work/xwindow.log"; }
  read -r -t 10 window_id <&"${WINDOW[0]}" || fail "the test window did not open"
}
tell_window() {
  echo "$1" >&"${WINDOW[1]}"
  read -r -t 10 reply <&"${WINDOW[0]}" || fail "the test window did not answer '$1'"
}
close_window() { echo quit >&"${WINDOW[1]}"; wait "$WINDOW_PID" 2>/dev/null; }

# --- the saver --------------------------------------------------------------

start_saver() {
  "$saver" "$@" >"$work/saver.out" 2>"$work/saver.err" &
  saver_pid=$!
  sleep 2
  kill -0 "$saver_pid" 2>/dev/null || fail "the saver ended by itself: $(cat "$work/saver.err")"
}
# Sends the signal and waits: sets stop_code and stop_ms.
stop_saver() {
  local start
  start=$(now_ms)
  kill -"$1" "$saver_pid"
  wait "$saver_pid"
  stop_code=$?
  stop_ms=$(( $(now_ms) - start ))
  saver_pid=""
}
expect_quick_success() {
  stop_saver "$1"
  [[ $stop_code == 0 ]] || fail "exit code $stop_code after SIG$1, expected 0"
  (( stop_ms <= 100 )) || fail "SIG$1 took $stop_ms ms to end the saver, expected at most 100"
  echo "ok: SIG$1 ended the saver with exit code 0 in $stop_ms ms"
}

# --- the test user and the daemons' hack processes --------------------------

home_of() { getent passwd "$user" | cut -d: -f6; }
as_user() {
  local home
  home=$(home_of)
  as_root setpriv --reuid="$user" --regid="$user" --init-groups \
    env -i HOME="$home" USER="$user" LOGNAME="$user" PATH=/usr/bin:/bin DISPLAY="$DISPLAY" "$@"
}
# Ends what is left of the test user's processes, each by its id.
end_user_processes() {
  local pids
  pids=$(pgrep -u "$user" 2>/dev/null) || return 0
  for pid in $pids; do as_root kill -TERM "$pid" 2>/dev/null; done
  sleep 0.5
  pids=$(pgrep -u "$user" 2>/dev/null) || return 0
  for pid in $pids; do as_root kill -KILL "$pid" 2>/dev/null; done
}
remove_user() {
  id "$user" >/dev/null 2>&1 || return 0
  end_user_processes
  as_root userdel --remove --force "$user" >/dev/null 2>&1
}
# The test user's running Lumvane: waits up to 10 s, prints its id.
wait_hack() {
  for _ in $(seq 1 50); do
    hack=$(pgrep -u "$user" -x lumvane | head -1)
    [[ -n $hack ]] && ! is_finished "$hack" && { echo "$hack"; return 0; }
    sleep 0.2
  done
  return 1
}
# A process that has ended is gone or a zombie waiting for its parent.
is_finished() { [[ ! -e /proc/$1 ]] || grep -q '^State:[[:space:]]*Z' "/proc/$1/status" 2>/dev/null; }
command_line() { tr '\0' ' ' <"/proc/$1/cmdline" | sed 's/ $//'; }
environment_window() { tr '\0' '\n' <"/proc/$1/environ" | sed -n 's/^XSCREENSAVER_WINDOW=//p'; }
# Waits up to $2 ms for the process to end; prints how long it took.
wait_finished() {
  local start
  start=$(now_ms)
  while ! is_finished "$1"; do
    (( $(now_ms) - start > $2 )) && return 1
    sleep 0.01
  done
  echo $(( $(now_ms) - start ))
}
# While the parent has not collected it, a zombie still shows how it ended:
# the last field of its stat line is the wait status (0: exit code 0).
expect_clean_exit() {
  local status
  status=$(awk '{print $NF}' "/proc/$1/stat" 2>/dev/null) || return 0
  [[ -z $status || $status == 0 ]] || fail "the hack ended with wait status $status, expected exit code 0"
}

case $scenario in
  setup)
    rm -rf "$work"
    mkdir -p "$work"
    XVFB_LOG=$work/xvfb.log start_xvfb -screen 0 "${screen_width}x${screen_height}x24" -br ||
      fail "Xvfb did not start"
    echo "$XVFB_PID" >"$work/xvfb.pid"
    echo "${DISPLAY#:}" >"$work/display"
    xdpyinfo >/dev/null 2>&1 || fail "no X server on $DISPLAY"
    remove_user
    as_root useradd --create-home --shell /bin/sh "$user" || fail "could not make the test user"
    echo "ok: Xvfb on $DISPLAY, user $user"
    ;;

  cleanup)
    remove_user
    if [[ -f $work/installed ]]; then
      as_root dpkg --remove lumvane >/dev/null 2>&1
      rm -f "$work/installed"
    fi
    [[ -f $work/xvfb.pid ]] && kill "$(cat "$work/xvfb.pid")" 2>/dev/null
    echo "ok"
    ;;

  preview)
    # As the settings dialog's preview: a small window, then a larger one,
    # then a wide one, where bars appear beside the picture.
    open_window 320 240
    start_saver --window-id "$window_id"
    shoot preview-320x240
    expect_picture 0 0 320 240 "--window-id $window_id at 320x240"
    expect_black "300x240+340+0" "beside the 320x240 window"
    tell_window "size 640 480"
    sleep 1
    shoot preview-640x480
    expect_picture 0 0 640 480 "resized to 640x480"
    tell_window "size 640 240"
    sleep 1
    shoot preview-640x240
    expect_black "150x240+0+0" "640x240: left bar"
    expect_black "150x240+490+0" "640x240: right bar"
    expect_picture 160 0 320 240 "resized to 640x240"
    expect_quick_success TERM
    close_window
    ;;

  preview-scale)
    # The other scale modes in a preview window resized under the saver. By
    # hand: integer in 320x240 is 1x at (-160, -120), the middle of the
    # picture over all of the window; in 1000x600 1x at ((1000 - 640) / 2,
    # (600 - 480) / 2) = (180, 60) with black around it. Fill covers 320x240
    # and 640x240 whole, where 4:3 would leave bars.
    open_window 320 240
    start_saver --window-id "$window_id" --scale integer
    shoot preview-integer-320x240
    expect_picture 0 0 320 240 "--scale integer at 320x240"
    tell_window "size 1000 600"
    sleep 1
    shoot preview-integer-1000x600
    expect_black "180x600+0+0" "integer at 1000x600: left bar"
    expect_black "180x600+820+0" "integer at 1000x600: right bar"
    expect_black "640x60+180+0" "integer at 1000x600: top bar"
    expect_black "640x60+180+540" "integer at 1000x600: bottom bar"
    expect_picture 180 60 640 480 "--scale integer resized to 1000x600"
    expect_quick_success TERM
    close_window
    open_window 320 240
    start_saver --window-id "$window_id" -scale fill
    shoot preview-fill-320x240
    expect_picture 0 0 320 240 "--scale fill at 320x240"
    tell_window "size 640 240"
    sleep 1
    shoot preview-fill-640x240
    expect_picture 0 0 640 240 "--scale fill resized to 640x240"
    expect_quick_success TERM
    close_window
    ;;

  hands-off)
    # The daemon owns the keyboard and the pointer: the saver neither grabs
    # them nor ends on input.
    open_window 320 240
    start_saver --window-id "$window_id"
    tell_window grab
    [[ $reply == "keyboard 0 pointer 0" ]] || fail "another client could not grab input beside the saver: $reply"
    echo "ok: the keyboard and the pointer can be grabbed while the saver runs"
    tell_window cursor
    [[ $reply =~ ^cursor\ [1-9] ]] || fail "the pointer over the saver's window is hidden ($reply)"
    echo "ok: the pointer still shows over the window ($reply pixels)"
    for x in 20 60 100 140 180 220 260; do xdotool mousemove "$x" 120; sleep 0.1; done
    xdotool key a key Escape key space
    sleep 0.5
    kill -0 "$saver_pid" 2>/dev/null || fail "the saver ended on input"
    echo "ok: seven mouse moves and three keys over the window leave it running"
    expect_quick_success INT
    close_window
    ;;

  root)
    start_saver --root
    shoot root
    expect_letterboxed_screen "--root on the root window"
    expect_quick_success TERM
    ;;

  bad-windows)
    # Each: arguments, environment window, and a part of the one line it
    # must write. 0x7ffff0 lies in no client's id range on a fresh server.
    checks=(
      "--window-id 0x7ffff0||there is no window 0x7ffff0"
      "--window-id zz||'zz' is not a window id"
      "--window-id||--window-id needs a window id"
      "-root --fps||unknown option '--fps'"
      "-root|123456789|there is no window 0x75bcd15"
      "--root|0x12zz|XSCREENSAVER_WINDOW='0x12zz' is not a window id"
      # A bad value is a bad option even when a good one follows it.
      "--scale bogus --scale fill||'bogus' is not a scale"
      "--window-id junk --window-id 0x7ffff0||'junk' is not a window id"
      "--root --resolution 12x --resolution native||'12x' is not a resolution (640x480, 2x to 8x or native)"
    )
    for check in "${checks[@]}"; do
      IFS='|' read -r arguments environment expected <<<"$check"
      XSCREENSAVER_WINDOW=$environment timeout 10 "$saver" $arguments >"$work/saver.out" 2>"$work/saver.err"
      code=$?
      [[ $code == 1 ]] || fail "$arguments: exit code $code, expected 1"
      [[ $(wc -l <"$work/saver.err") == 1 ]] || fail "$arguments: standard error is not one line: $(cat "$work/saver.err")"
      grep -qF -- "$expected" "$work/saver.err" || fail "$arguments: '$(cat "$work/saver.err")' does not say '$expected'"
      echo "ok: $arguments ${environment:+(XSCREENSAVER_WINDOW=$environment) }-> $(cat "$work/saver.err")"
    done
    DISPLAY=:65000 timeout 10 "$saver" --root 2>"$work/saver.err"
    code=$?
    [[ $code == 1 ]] && grep -qF "cannot open the X display ':65000'" "$work/saver.err" ||
      fail "no X display: exit code $code, '$(cat "$work/saver.err")'"
    echo "ok: no X display -> $(cat "$work/saver.err")"
    # A decimal id works; a window destroyed under the saver ends it.
    open_window 320 240
    start_saver --window-id "$(( window_id ))"
    echo "ok: the decimal id $(( window_id )) of $window_id is drawn in"
    close_window
    for _ in $(seq 1 50); do kill -0 "$saver_pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$saver_pid" 2>/dev/null && { kill -TERM "$saver_pid"; fail "the saver outlived its window"; }
    wait "$saver_pid"
    code=$?
    saver_pid=""
    [[ $code == 1 && $(wc -l <"$work/saver.err") == 1 ]] ||
      fail "window gone: exit code $code, '$(cat "$work/saver.err")'"
    echo "ok: window gone -> exit code 1, $(cat "$work/saver.err")"
    ;;

  package)
    [[ -f $deb ]] || fail "no package at $deb"
    listing=$(dpkg-deb -c "$deb") || fail "dpkg-deb cannot read $deb"
    for file in ./usr/libexec/xscreensaver/lumvane ./usr/share/xscreensaver/config/lumvane.xml \
                ./usr/share/man/man6/lumvane.6.gz; do
      grep -q " $file\$" <<<"$listing" || fail "$file is not in the package: $listing"
    done
    grep -q "^-rwxr-xr-x .* ./usr/libexec/xscreensaver/lumvane\$" <<<"$listing" || fail "the hack is not executable"
    depends=$(dpkg-deb -f "$deb" Depends)
    grep -q "libsdl2-2.0-0" <<<"$depends" || fail "dpkg-shlibdeps did not find SDL2: Depends: $depends"
    dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/xscreensaver/config/lumvane.xml >"$work/lumvane.xml"
    grep -q '<command arg="--root"/>' "$work/lumvane.xml" || fail "the settings file does not run the hack with --root"
    xmllint --noout "$work/lumvane.xml" || fail "the settings file is not well-formed XML"
    # The scale choice: the default without an argument, the other two
    # with the hack's own option.
    choices=$(xmllint --xpath 'string(//select[@id="scale"]/option[1]/@id)' "$work/lumvane.xml")" "
    choices+=$(xmllint --xpath 'string(//select[@id="scale"]/option[1]/@arg-set)' "$work/lumvane.xml")"|"
    for mode in integer fill; do
      choices+=$(xmllint --xpath "string(//select[@id=\"scale\"]/option[@id=\"$mode\"]/@arg-set)" "$work/lumvane.xml")"|"
    done
    [[ $choices == "aspect |--scale integer|--scale fill|" ]] || fail "the settings file's scale choice: $choices"
    # The resolution choice: the card's 640x480 (the default, no argument)
    # or the screen's own.
    choices=""
    for n in 1 2; do
      choices+=$(xmllint --xpath "string(//select[@id=\"resolution\"]/option[$n]/@id)" "$work/lumvane.xml")" "
      choices+=$(xmllint --xpath "string(//select[@id=\"resolution\"]/option[$n]/@arg-set)" "$work/lumvane.xml")"|"
    done
    [[ $choices == "card |native --resolution native|" ]] || fail "the settings file's resolution choice: $choices"
    echo "ok: the settings file is well-formed and offers aspect (the default), --scale integer and --scale fill;" \
      "the card's 640x480 (the default) and --resolution native"
    dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/man/man6/lumvane.6.gz | gzip -dc |
      grep -q '^\.TH LUMVANE 6 ' || fail "the manual page is not a section 6 page"
    for file in ./usr/share/doc/lumvane/copyright ./usr/share/doc/lumvane/changelog.gz; do
      grep -q " $file\$" <<<"$listing" || fail "$file is not in the package"
    done
    dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/lumvane/copyright | grep -q "^License: Expat" ||
      fail "the copyright file does not give the MIT (Expat) licence"
    # Any error or warning of lintian's is a fault here.
    hints=$(lintian --allow-root "$deb" 2>&1) || fail "lintian failed: $hints"
    [[ -z $hints ]] || fail "lintian: $hints"
    echo "ok: $(basename "$deb") holds the hack, its settings file, its manual page, copyright and changelog;" \
      "no lintian error or warning; Depends: $depends"
    as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq \
      --no-install-recommends "$(realpath "$deb")" >"$work/apt.log" 2>&1 || fail "apt-get install failed: $(tail -5 "$work/apt.log")"
    touch "$work/installed"
    [[ -x $installed ]] || fail "$installed is not installed"
    echo "ok: installed with apt-get: $installed"
    ;;

  xscreensaver)
    home=$(home_of)
    # Twice: as installed, then with the settings file's fill and native
    # choices as the settings dialog writes them into the programs line,
    # which fills the screen with no bars, drawn at the screen's own
    # resolution. The daemon's environment holds a resolution the board
    # ignores, with one line, unless --resolution puts its own in its place:
    # so the board is seen reading the option's value as its switch.
    config=/usr/share/xscreensaver/config/lumvane.xml
    fill=$(xmllint --xpath 'string(//select[@id="scale"]/option[@id="fill"]/@arg-set)' "$config") ||
      fail "no fill choice in the installed settings file"
    native=$(xmllint --xpath 'string(//select[@id="resolution"]/option[@id="native"]/@arg-set)' "$config") ||
      fail "no native choice in the installed settings file"
    ignored='softglide: SOFTGLIDE_RESOLUTION="12x" ignored'
    for arguments in "--root" "--root $fill $native"; do
      printf '%s\n' "mode: one" "selected: 0" "lock: False" "fade: False" "unfade: False" "splash: False" \
        "timeout: 0:30:00" "programs: $installed $arguments" | as_root tee "$home/.xscreensaver" >/dev/null
      as_root chown "$user:" "$home/.xscreensaver"
      # The daemon answers once it has started (within a second on a quiet
      # machine). Once in CI it never did, before any hack ran and without a
      # word in its log; so a daemon that has not answered in half a minute is
      # said so, ended and started once more.
      for attempt in 1 2; do
        as_user SOFTGLIDE_RESOLUTION=12x xscreensaver -no-splash -verbose >"$work/xscreensaver.log" 2>&1 &
        daemon=$!
        activated=""
        for _ in $(seq 1 150); do
          as_user xscreensaver-command -activate >"$work/activate.log" 2>&1 && { activated=1; break; }
          kill -0 "$daemon" 2>/dev/null || break
          sleep 0.2
        done
        [[ -n $activated ]] && break
        if kill -0 "$daemon" 2>/dev/null; then state="running"; else wait "$daemon"; state="ended with $?"; fi
        echo "note: attempt $attempt: xscreensaver-command -activate: $(cat "$work/activate.log"); the daemon:" \
          "$state; the test user's processes: $(pgrep -u "$user" -a | tr '\n' ';'); its log: $(tail -20 "$work/xscreensaver.log")"
        (( attempt == 2 )) && fail "the XScreenSaver daemon did not take -activate"
        end_user_processes
      done
      hack=$(wait_hack) || fail "the daemon started no Lumvane: $(cat "$work/xscreensaver.log")"
      [[ $(command_line "$hack") == "$installed $arguments" ]] || fail "the hack's command line is '$(command_line "$hack")'"
      window=$(environment_window "$hack")
      [[ $window == 0x* ]] || fail "XSCREENSAVER_WINDOW is '$window', expected hexadecimal"
      echo "ok: the daemon runs $hack: $(command_line "$hack") with XSCREENSAVER_WINDOW=$window"
      sleep 2
      shoot "xscreensaver${arguments//[ -]/_}"
      is_finished "$hack" && fail "the hack ended while the screen was blanked: $(cat "$work/xscreensaver.log")"
      if [[ $arguments == "--root" ]]; then
        expect_letterboxed_screen "XScreenSaver"
      else
        expect_picture 0 0 "$screen_width" "$screen_height" "XScreenSaver with $fill $native, over the whole screen"
        lit_left=$(lit "100x${screen_height}+0+0")
        (( lit_left >= 5 )) || fail "with $fill the left edge of the screen shows $lit_left lit pixels"
      fi
      if [[ $arguments == *"$native"* ]]; then
        grep -qF "$ignored" "$work/xscreensaver.log" &&
          fail "with $native the board still read the daemon's SOFTGLIDE_RESOLUTION=12x"
        echo "ok: $native took the place of the daemon's SOFTGLIDE_RESOLUTION=12x for the board"
      else
        grep -qF "$ignored" "$work/xscreensaver.log" ||
          fail "the board did not report the daemon's SOFTGLIDE_RESOLUTION=12x: $(cat "$work/xscreensaver.log")"
        echo "ok: without --resolution the board reads the daemon's SOFTGLIDE_RESOLUTION=12x and ignores it"
      fi
      start=$(now_ms)
      as_user xscreensaver-command -deactivate >/dev/null 2>&1
      took=$(wait_finished "$hack" $(( 500 - ($(now_ms) - start) ))) || fail "the hack was still running 500 ms after -deactivate"
      expect_clean_exit "$hack"
      echo "ok: -deactivate: the hack ended $(( $(now_ms) - start )) ms after the command started"
      as_user xscreensaver-command -exit >/dev/null 2>&1
      wait "$daemon"
    done
    ;;

  xsecurelock)
    home=$(home_of)
    # Authentication modules must be named auth_*: this one takes any key.
    printf '#!/bin/sh\nexit 0\n' | as_root tee "$home/auth_any_key" >/dev/null
    as_root chmod 755 "$home/auth_any_key"
    as_user XSECURELOCK_SAVER="$installed" XSECURELOCK_AUTH="$home/auth_any_key" xsecurelock \
      >"$work/xsecurelock.log" 2>&1 &
    locker=$!
    hack=$(wait_hack) || fail "xsecurelock started no Lumvane: $(cat "$work/xsecurelock.log")"
    [[ $(command_line "$hack") == "$installed -root" ]] || fail "the saver's command line is '$(command_line "$hack")'"
    window=$(environment_window "$hack")
    [[ $window =~ ^[0-9]+$ ]] || fail "XSCREENSAVER_WINDOW is '$window', expected decimal"
    echo "ok: xsecurelock runs $hack: $(command_line "$hack") with XSCREENSAVER_WINDOW=$window"
    sleep 2
    shoot xsecurelock
    is_finished "$hack" && fail "the saver ended while locked: $(cat "$work/xsecurelock.log")"
    expect_letterboxed_screen "xsecurelock"
    xdotool key space
    for _ in $(seq 1 50); do kill -0 "$locker" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$locker" 2>/dev/null && fail "a key did not unlock: $(cat "$work/xsecurelock.log")"
    wait "$locker"
    code=$?
    [[ $code == 0 ]] || fail "xsecurelock ended with exit code $code: $(cat "$work/xsecurelock.log")"
    took=$(wait_finished "$hack" 500) || fail "the saver still runs after the unlock"
    expect_clean_exit "$hack"
    echo "ok: a key unlocked, xsecurelock ended with 0 and the saver is gone"
    ;;

  *)
    fail "unknown scenario $scenario"
    ;;
esac
