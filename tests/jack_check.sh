#!/usr/bin/env bash
# The JACK programs as a musician starts them, against a JACK server with
# the dummy backend (real-time periods of 128 frames, two capture and two
# playback ports): the refusal without a server, the connection to the
# system's ports, a preset and settings, their output bit for bit against
# the LV2 plugin's in an LV2 host for the same input, and the exits on
# SIGINT, on SIGTERM and when the server stops.
#
# usage: jack_check.sh BIN_DIR LV2_DIR JACK_FEEDER
set -euo pipefail
bin=$(cd "$1" && pwd)
lv2dir=$(cd "$2" && pwd)
feeder=$3
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

# Without a server: a clear message and status 1, not a hang.
status=0
timeout 20 "$bin/brummkiste-tiefgarten-jack" --no-window >"$work/none.log" 2>&1 || status=$?
[ "$status" = 1 ] || fail "without a JACK server the exit status is $status"
grep -q "cannot connect to a JACK server" "$work/none.log" || fail "no clear message: $(cat "$work/none.log")"
echo "without a server: refused with status 1"

start_server() {
  jackd --no-realtime -d dummy -r 48000 -p 128 -C 2 -P 2 >"$work/jackd.log" 2>&1 &
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

  # Auto-connected to the system's ports; a preset and a setting.
  "$bin/$program" --no-window --preset "large-hall" --set tank_mod=0 >"$work/run.log" 2>&1 &
  pid=$!
  wait_port "$client:out_r"
  sleep 0.3
  connections=$(jack_lsp -c 2>/dev/null)
  for i in $(seq "$inputs"); do
    grep -A2 "^system:capture_$i\$" <<<"$connections" | grep -qx "   ${ins[$((i - 1))]}" ||
      fail "$program: system:capture_$i is not connected to ${ins[$((i - 1))]}"
  done
  for side in 1:out_l 2:out_r; do
    grep -A2 "^$client:${side#*:}\$" <<<"$connections" | grep -qx "   system:playback_${side%%:*}" ||
      fail "$program: $client:${side#*:} is not connected to system:playback_${side%%:*}"
  done
  "$feeder" "$client" "$inputs" "$work/play.f32" "$work/rec.f32" 1.5
  stop "$pid" INT "$work/run.log"

  # The same preset and setting in an LV2 host, periods of 128 frames: the
  # same samples (the program had been running on silence before the burst;
  # with the tank modulation still, the reverb does not depend on when).
  lv2file -i "$work/in.wav" -o "$work/lv2.wav" -b 128 -P "Large hall" -p tank_mod:0 "$uri" >/dev/null 2>&1 ||
    fail "lv2file could not render $uri"
  result=$($signals compare "$work/rec.f32" "$work/lv2.wav")
  echo "$program against the LV2 plugin: $result"

  # The preset as it stands (the tanks' paths moving), unconnected, stopped
  # by SIGTERM: it plays a tail.
  "$bin/$program" --no-window --no-connect --preset "Large hall" >"$work/run.log" 2>&1 &
  pid=$!
  wait_port "$client:out_r"
  [ -z "$(jack_lsp -c 2>/dev/null | grep -A1 "^$client:out_l\$" | tail -n +2 | grep '^   ')" ] ||
    fail "$program --no-connect connected its ports"
  "$feeder" "$client" "$inputs" "$work/play.f32" "$work/rec.f32" 1.5
  result=$($signals tail "$work/rec.f32")
  echo "$program, Large hall: $result"
  stop "$pid" TERM "$work/run.log"
done

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
