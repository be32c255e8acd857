#!/usr/bin/env bash
# The JACK programs as a musician starts them, against a JACK server with
# the dummy backend (periods in real time, two capture and two
# playback ports): the refusal without a server, the connection to the
# system's ports, a preset and settings, their output bit for bit against
# the LV2 plugin's in an LV2 host for the same input, and the exits on
# SIGINT, on SIGTERM and when the server stops.
#
# usage: jack_check.sh BIN_DIR LV2_DIR JACK_FEEDER [window]
#   window: the programs were built with the window (check it under Xvfb)
set -euo pipefail
bin=$(cd "$1" && pwd)
lv2dir=$(cd "$2" && pwd)
feeder=$3
window=${4:-}
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../tools/script-lib.sh"
work=$(mktemp -d)
# A server of our own, apart from any other on the machine.
export JACK_DEFAULT_SERVER="brummkiste-test-$$"
export JACK_NO_AUDIO_RESERVATION=1
export LV2_PATH="$lv2dir"
unset DISPLAY
jackd_pid=
cleanup() {
  [ -z "$jackd_pid" ] || kill "$jackd_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
signals="python3 $here/jack_signals.py"
# Periods of 1024 frames: long enough that a busy machine rarely loses one;
# the plugin plays the same bits at any period size.
period=1024

# Without a server: a clear message and status 1, not a hang.
status=0
timeout 20 "$bin/brummkiste-tiefgarten-jack" --no-window >"$work/none.log" 2>&1 || status=$?
[ "$status" = 1 ] || fail "without a JACK server the exit status is $status"
grep -q "cannot connect to a JACK server" "$work/none.log" || fail "no clear message: $(cat "$work/none.log")"
echo "without a server: refused with status 1"

start_server() {
  jackd --no-realtime -d dummy -r 48000 -p "$period" -C 2 -P 2 >"$work/jackd.log" 2>&1 &
  jackd_pid=$!
  for _ in $(seq 100); do
    jack_lsp >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  cat "$work/jackd.log" >&2
  fail "jackd with the dummy backend did not start"
}

# Waits until the client's port exists.
wait_port() {
  for _ in $(seq 100); do
    jack_lsp 2>/dev/null | grep -qx "$1" && return 0
    sleep 0.1
  done
  fail "no port $1"
}

# stop PID SIGNAL LOG: the program ends by itself with status 0.
stop() {
  kill -"$2" "$1"
  local status=0
  timeout 20 tail --pid="$1" -f /dev/null || fail "still running 20 s after SIG$2"
  wait "$1" || status=$?
  [ "$status" = 0 ] || fail "exit status $status after SIG$2: $(cat "$3")"
  grep -q "stopped" "$3" || fail "no orderly stop after SIG$2"
}

# play SIGNAL ARGS...: starts the program with ARGS, notes its connections,
# plays the burst into it, records it, stops it with SIGNAL. Where JACK lost
# a period on a busy machine (an xrun) the record is not the whole output:
# the program starts afresh, up to five times.
play() {
  local signal=$1 status
  shift
  for _ in 1 2 3 4 5; do
    "$bin/$program" --no-window "$@" >"$work/run.log" 2>&1 &
    pid=$!
    wait_port "$client:out_r"
    sleep 0.3
    jack_lsp -c >"$work/connections" 2>/dev/null
    status=0
    "$feeder" "$client" "$inputs" "$work/play.f32" "$work/rec.f32" 1.5 || status=$?
    stop "$pid" "$signal" "$work/run.log"
    [ "$status" = 3 ] || break
  done
  [ "$status" = 0 ] || fail "the feeder could not play into $program (status $status)"
}

start_server
uri_mono=$(identity PLUGIN_URI)
uri_stereo=$(identity STEREO_URI)

for variant in mono stereo; do
  if [ "$variant" = mono ]; then
    program=brummkiste-tiefgarten-jack client=brummkiste-tiefgarten inputs=1 uri=$uri_mono
    ins=("$client:in")
  else
    program=brummkiste-tiefgarten-stereo-jack client=brummkiste-tiefgarten-stereo inputs=2 uri=$uri_stereo
    ins=("$client:in_l" "$client:in_r")
  fi
  $signals make "$inputs" 0.3 1.0 "$work/play.f32" "$work/in.wav"

  # Auto-connected to the system's ports; a preset and a setting; SIGINT.
  play INT --preset "large-hall" --set tank_mod=0
  connections=$(cat "$work/connections")
  for i in $(seq "$inputs"); do
    grep -A2 "^system:capture_$i\$" <<<"$connections" | grep -qx "   ${ins[$((i - 1))]}" ||
      fail "$program: system:capture_$i is not connected to ${ins[$((i - 1))]}"
  done
  for side in 1:out_l 2:out_r; do
    grep -A2 "^$client:${side#*:}\$" <<<"$connections" | grep -qx "   system:playback_${side%%:*}" ||
      fail "$program: $client:${side#*:} is not connected to system:playback_${side%%:*}"
  done

  # The same preset and setting in an LV2 host, in the same periods: the
  # same samples (the program had been running on silence before the burst;
  # with the tank modulation still, the reverb does not depend on when).
  lv2file -i "$work/in.wav" -o "$work/lv2.wav" -b "$period" -P "Large hall" -p tank_mod:0 "$uri" >/dev/null 2>&1 ||
    fail "lv2file could not render $uri"
  result=$($signals compare "$work/rec.f32" "$work/lv2.wav")
  echo "$program against the LV2 plugin: $result"

  # The preset as it stands (the tanks' paths moving), unconnected, stopped
  # by SIGTERM: it plays a tail.
  play TERM --no-connect --preset "Large hall"
  ! grep -A1 "^system:capture_1\$" "$work/connections" | grep -q "^   $client:" ||
    fail "$program --no-connect connected its ports"
  result=$($signals tail "$work/rec.f32")
  echo "$program, Large hall: $result"
done

# The window where an X server is there (Xvfb): a top-level window named as
# the plugin, sized to the plugin window; the program still stops cleanly.
if [ "$window" = window ]; then
  status=0
  xvfb-run -a -s "-screen 0 1600x1000x24" bash -c '
    "$0" --no-connect --preset "Small hall" >"$1" 2>&1 &
    pid=$!
    for _ in $(seq 100); do
      xwininfo -root -tree 2>/dev/null | grep -q "\"$3\"" && break
      sleep 0.1
    done
    sleep 0.5  # a few frames of the window and its response view
    xwininfo -root -tree | grep "\"$3\"" >"$2" || true
    kill -TERM "$pid"
    wait "$pid"' "$bin/brummkiste-tiefgarten-jack" "$work/window.log" "$work/window.txt" \
    "$(identity PLUGIN_NAME)" || status=$?
  [ "$status" = 0 ] || fail "with a window: exit status $status: $(cat "$work/window.log")"
  [ -s "$work/window.txt" ] || fail "no window named \"$(identity PLUGIN_NAME)\": $(cat "$work/window.log")"
  ! grep -q "no X server" "$work/window.log" || fail "the program did not reach the X server"
  echo "window: $(sed 's/^ *//' "$work/window.txt")"
fi

# The server stops under a running program: it says so and ends with status 1.
"$bin/brummkiste-tiefgarten-jack" --no-window --no-connect >"$work/run.log" 2>&1 &
pid=$!
wait_port "brummkiste-tiefgarten:out_r"
kill "$jackd_pid"
wait "$jackd_pid" 2>/dev/null || true
jackd_pid=
status=0
timeout 20 tail --pid="$pid" -f /dev/null || fail "still running 20 s after the server stopped"
wait "$pid" || status=$?
[ "$status" = 1 ] || fail "exit status $status after the server stopped"
grep -q "the JACK server stopped" "$work/run.log" || fail "no message when the server stopped"
echo "the server stopped: the program ended with status 1"
