# The sound layer: a sound server of the test's own, whose sink "bellsink" is a null sink, and
# what it plays, recorded from its monitor.

# Starts PulseAudio whose one sink is "bellsink", met by its clients, the program too, in
# private folders. Sets PULSE_PID.
start_sound_server() {
    export XDG_RUNTIME_DIR=$WORK/runtime HOME=$WORK/home
    mkdir -p -m 700 "$XDG_RUNTIME_DIR" "$HOME"
    unset PULSE_SERVER
    printf 'autospawn = no\n' >"$WORK/client.conf"
    export PULSE_CLIENTCONFIG=$WORK/client.conf
    spawn PULSE_PID pulseaudio -n --daemonize=no --exit-idle-time=-1 \
        --log-target=file:"$WORK/pulse.log" -L "module-null-sink sink_name=bellsink rate=48000 channels=2" \
        -L "module-native-protocol-unix" >/dev/null 2>&1
    await 'pactl info >/dev/null 2>&1' 15 ||
        fail "the sound server did not start: $(tail -n 3 "$WORK/pulse.log")"
}

# Starts PipeWire with WirePlumber and its PulseAudio server, whose default sink is "bellsink",
# as a desktop of today plays sound. Needs a test's own session bus.
start_pipewire() {
    unset PULSE_SERVER
    local program pid
    for program in pipewire wireplumber pipewire-pulse; do
        spawn pid "$program" >"$WORK/$program.log" 2>&1
        # The others give up if the server is not there yet.
        await '[ -S "$XDG_RUNTIME_DIR/pipewire-0" ]' || true
    done
    # The sink can be made once WirePlumber has come, shortly after the server answers.
    await 'pactl load-module module-null-sink sink_name=bellsink rate=48000 channels=2 >/dev/null 2>&1 &&
        pactl set-default-sink bellsink 2>/dev/null' 10 ||
        fail "PipeWire did not start: $(tail -q -n 2 "$WORK"/{pipewire,wireplumber,pipewire-pulse}.log)"
}

# listen NAME: records what "bellsink" plays from here on, as sounds (streams) and as what is
# heard.
listen() {
    spawn SUB_PID pactl subscribe >"$WORK/$1.events" 2>/dev/null
    spawn REC_PID parec -d bellsink.monitor --latency-msec=20 --rate=48000 --channels=2 \
        --format=s16le --raw >"$WORK/$1.raw"
    sleep 0.3
}
# heard NAME: ends the recording; sets STREAMS (sounds played), PEAK and BURSTS (stretches of
# sound above -45 dBFS; the null sink runs ahead of real time, so sounds closer than about 0.7 s
# may merge).
heard() {
    sleep 0.5
    stop -INT "$REC_PID"
    stop "$SUB_PID"
    STREAMS=$(played "$1")
    sox -t raw -r 48000 -e signed -b 16 -c 2 "$WORK/$1.raw" "$WORK/$1.wav"
    PEAK=$(peak "$WORK/$1.wav")
    mkdir "$WORK/$1.bursts"
    sox "$WORK/$1.wav" "$WORK/$1.bursts/b.wav" silence 1 0.002 -45d 1 0.1 -45d : newfile : restart \
        2>/dev/null
    BURSTS=0
    for burst in "$WORK/$1.bursts"/b*.wav; do
        [ -f "$burst" ] || continue
        awk -v p="$(peak "$burst")" 'BEGIN { exit !(p > 0.0056) }' || continue
        BURSTS=$((BURSTS + 1))
    done
}
played() { grep -c "'new' on sink-input" "$WORK/$1.events" || true; }
peak() { sox "$1" -n stat 2>&1 | awk '/^Maximum amplitude/ { print $3 }'; }
# all_heard SOUNDS: whether that many sounds were played, each heard, and loud enough.
all_heard() {
    [ "$STREAMS" -eq "$1" ] && [ "$BURSTS" -eq "$1" ] &&
        { [ "$1" -eq 0 ] || awk -v p="$PEAK" 'BEGIN { exit !(p > 0.05) }'; }
}
# press_and_hear NAME SOUNDS COMMAND...: records what a press of btnNew by the command given and
# the fall-back two seconds later play (STREAMS, BURSTS, PEAK). A loaded machine may be late with
# the fall-back: up to 3 s more is given for the sounds expected, and 0.5 s for any after them.
press_and_hear() {
    local name=$1 sounds=$2
    listen "$name"
    "${@:3}" || fail "$name: could not press btnNew"
    sleep 2.4
    await '[ "$(played "$name")" -ge "$sounds" ]' 3 0.1 || true
    heard "$name"
}

# bells_sounded: how many of the X bells counted (count_bells) the server sounds itself, not
# notifications alone: those that stand in for a sound.
bells_sounded() { grep -cx bell "$WORK/bells" || true; }
# stall_and_hear NAME: three new sheets, 0.2 and 0.6 s after the first, while the sound server
# is held up for 1.6 s from the first, recorded with the fall-back after them (STREAMS, BURSTS,
# PEAK). Sets STOOD_IN to the X bells that sounded before the server went on, and SOUNDED to all
# those that sounded.
stall_and_hear() {
    local name=$1 sounded_before held
    sounded_before=$(bells_sounded)
    listen "$name"
    kill -STOP "$PULSE_PID"
    held=$EPOCHREALTIME
    click 388 148
    sleep 0.2
    click 388 148
    sleep 0.4
    click 388 148
    sleep "$(awk -v from="$held" -v now="$EPOCHREALTIME" 'BEGIN { r = from + 1.6 - now; print (r > 0 ? r : 0) }')"
    STOOD_IN=$(($(bells_sounded) - sounded_before))
    kill -CONT "$PULSE_PID"
    sleep 2.4
    await '[ $(($(played "$name") + $(bells_sounded) - sounded_before)) -ge 4 ]' 3 0.1 || true
    heard "$name"
    SOUNDED=$(($(bells_sounded) - sounded_before))
}
