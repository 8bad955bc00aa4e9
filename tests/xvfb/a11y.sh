#!/usr/bin/env bash
# What a screen reader learns over AT-SPI: every control with its role and name, the option
# buttons selected at start, and each notice read out as it appears on the message line.
# Runs on a private session bus of its own, where the accessibility bus starts on demand.
if [ -z "${PAFURO_PRIVATE_BUS:-}" ]; then
    exec env PAFURO_PRIVATE_BUS=1 dbus-run-session -- bash "$0" "$@"
fi
source "$(dirname "$0")/lib.sh" "$@"

start_x
start_a11y
start_app

expected_tree="frame 'Pafuro'
  canvas '画板'
  push button '絵をとっておく。'
  push button '前の絵をみる。'
  push button '新しい紙にする。'
  push button 'お絵かきおしまい'
  animation '飾りの絵'
  label 'パレット：'
  label '筆の太さ：'
  label '紙の色：'
  panel 'パレット：'
    radio button '黒' checked
    radio button '白'
    radio button '赤'
    radio button '青'
    radio button '黄色'
    radio button '紫'
    radio button '橙'
    radio button '緑'
  panel '筆の太さ：'
    radio button '細い筆'
    radio button '普通の筆' checked
    radio button '太い筆'
    radio button '極太の筆'
  panel '紙の色：'
    radio button '紙の色：黒'
    radio button '紙の色：白' checked
    radio button '紙の色：赤'
    radio button '紙の色：青'
    radio button '紙の色：黄色'
    radio button '紙の色：紫'
    radio button '紙の色：橙'
    radio button '紙の色：緑'
  notification 'いんふぉめぇ～しょんでぃすぷれぃ♪'"
tree=$("${ATSPI[@]}" tree pafuro) || fail "could not read the accessible tree"
[ "$tree" = "$expected_tree" ] || fail "the accessible tree differs:
$(diff <(echo "$expected_tree") <(echo "$tree") || true)"

# Keep, then a new sheet at once: each notice is announced as it appears.
spawn listener "${ATSPI[@]}" listen pafuro 2 >"$WORK/heard" 2>"$WORK/listen.err"
await 'grep -q READY "$WORK/heard"' || fail "the listener did not start: $(cat "$WORK/listen.err")"
sleep 0.5  # Qt learns of a new listener from the registry
click 388 36
sleep 0.2
click 388 148
reap "$listener" || fail "the listener failed: $(cat "$WORK/listen.err")"
heard=$(grep -v READY "$WORK/heard" || true)
expected_heard="notification 'とっておいたよん♪'
notification '紙をとりかえましたよ！'"
[ "$heard" = "$expected_heard" ] || fail "announced:
$heard
expected:
$expected_heard"
echo "PASS: every control named, both notices announced"
