#!/usr/bin/env bash
# A normal user scans a raw device through udisks2, against the real
# services: a system bus, polkitd, systemd-udevd and udisksd started here.
# They run in mount, network and process namespaces of their own, so other
# tests on this machine never meet them: udev's database, the bus socket and
# the polkit rules are private mounts, udevd's events stay in the private
# network namespace, and leaving the process namespace ends every daemon.
# udevd gets one rule, for the loop device made here, and no other device is
# triggered.
#   UdisksAccessTest.sh SALVORA MAKE_SAMPLE BUS_CONFIG
set -euo pipefail

source "$(dirname "$0")/../support/ScriptTest.sh"

udevd=/lib/systemd/systemd-udevd
polkitd=/usr/lib/polkit-1/polkitd
udisksd=/usr/libexec/udisks2/udisksd

# Runs salvora as the test user; stdout and stderr go to files named after
# the step, and the exit status is returned.
as_user() {
  local step=$1
  shift
  local status=0
  setpriv --reuid="$test_uid" --regid="$test_uid" --clear-groups \
    env HOME="$work/home" SALVORA_DATA_DIR="$work/home/data-$step" "$work/salvora" "$@" \
    >"$work/$step.out" 2>"$work/$step.err" || status=$?
  return $status
}

expect_refusal() {
  local step=$1 why=$2 status=0
  as_user "$step" scan --quick "$loop" || status=$?
  [ "$status" -eq 2 ] || fail "$why: exit $status instead of 2 ($(cat "$work/$step.err"))"
  for words in "$loop" "root" "'disk' group"; do
    grep -qF "$words" "$work/$step.err" || fail "$why: the message lacks \"$words\": $(cat "$work/$step.err")"
  done
  echo "ok: $why: $(tail -1 "$work/$step.err")"
}

wait_for() {
  local what=$1
  shift
  for _ in $(seq 100); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  skip "$what did not start"
}

start_polkitd() {
  "$polkitd" --no-debug >"$work/polkitd.log" 2>&1 &
  polkit_pid=$!
  wait_for polkitd busctl --system status org.freedesktop.PolicyKit1
}

stop_polkitd() {
  kill "$polkit_pid"
  wait "$polkit_pid" 2>/dev/null || true
}

udisks_knows_loop() {
  local objects
  objects=$(busctl --system call org.freedesktop.UDisks2 /org/freedesktop/UDisks2/Manager \
    org.freedesktop.UDisks2.Manager ResolveDevice 'a{sv}a{sv}' 1 path s "$loop" 0)
  [[ $objects == *"block_devices/${loop#/dev/}\""* ]]
}

stop_services() {
  for pid in $udisks_pid $polkit_pid $udevd_pid $bus_pid; do kill "$pid" 2>/dev/null || true; done
}

inside() {
  mount --make-rprivate /
  for dir in /run/udev /run/dbus /run/udisks2 /var/lib/udisks2 /etc/udev/rules.d \
    /usr/lib/udev/rules.d /etc/polkit-1/rules.d; do
    mkdir -p "$dir"
    mount -t tmpfs -o mode=755 tmpfs "$dir"
  done
  # The test user exists only in this namespace's account files.
  cp /etc/passwd "$work/passwd"
  cp /etc/group "$work/group"
  echo "salvora-probe:x:$test_uid:$test_uid::/nonexistent:/usr/sbin/nologin" >>"$work/passwd"
  echo "salvora-probe:x:$test_uid:" >>"$work/group"
  mount --bind "$work/passwd" /etc/passwd
  mount --bind "$work/group" /etc/group

  expect_refusal no-bus "without a system bus"

  udisks_pid="" polkit_pid="" udevd_pid="" bus_pid=""
  trap stop_services EXIT
  bus_pid=$(dbus-daemon --config-file="$bus_config" --fork --print-pid) ||
    skip "dbus-daemon did not start"
  echo "KERNEL==\"${loop#/dev/}\", IMPORT{builtin}=\"blkid\"" >/etc/udev/rules.d/50-salvora-test.rules
  "$udevd" --resolve-names=never --children-max=1 >"$work/udevd.log" 2>&1 &
  udevd_pid=$!
  wait_for systemd-udevd udevadm control --ping
  udevadm trigger --action=change --settle "/sys/class/block/${loop#/dev/}" ||
    skip "systemd-udevd did not handle the loop device"
  start_polkitd

  expect_refusal no-udisks "without udisks2"

  "$udisksd" --no-sigint >"$work/udisksd.log" 2>&1 &
  udisks_pid=$!
  wait_for udisksd udisks_knows_loop

  expect_refusal no-rule "polkit refuses without a rule"

  cat >/etc/polkit-1/rules.d/50-salvora-test.rules <<EOF
polkit.addRule(function(action, subject) {
  if (action.id.indexOf("org.freedesktop.udisks2.open-device") == 0 &&
      subject.user == "salvora-probe")
    return polkit.Result.YES;
});
EOF
  stop_polkitd
  start_polkitd

  # The deep scan opens the device once for each of its engines, while
  # udisks2 hands out only one descriptor at a time.
  for mode in quick deep; do
    as_user "$mode" scan "--$mode" --json "$loop" || fail "$mode scan as the user: $(cat "$work/$mode.err")"
    diff "$work/root-$mode.json" "$work/$mode.out" >&2 || fail "the user's $mode scan found other files than root's"
    grep -q '"name"' "$work/$mode.out" || fail "the $mode scan found nothing"
    echo "ok: the user's $mode scan through udisks2 finds what root's finds"
  done

  as_user disks disks --json || fail "disks as the user: $(cat "$work/disks.err")"
  local entry
  entry=$(grep -F "\"$loop\"" "$work/disks.out")
  [[ $entry == *'"fileSystem":"FAT32"'* ]] ||
    fail "the user's disk list lacks the file system of $loop: $(cat "$work/disks.out")"
  [[ $entry == *'"label":"SAMPLE"'* ]] || fail "the user's disk list lacks the label of $loop"
  echo "ok: the user's disk list shows file system and label from udev"
}

outside() {
  [ "$(id -u)" -eq 0 ] || skip "needs root to attach a loop device and start system services"
  [ -e /dev/loop-control ] || skip "no loop devices here"
  for tool in dbus-daemon "$udevd" "$polkitd" "$udisksd" udevadm busctl unshare setpriv losetup; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
  done
  work=$(mktemp -d /tmp/salvora-udisks-XXXXXX)
  loop=""
  trap 'if [ -n "$loop" ]; then losetup -d "$loop"; fi; rm -rf "$work"' EXIT
  chmod 755 "$work"
  mkdir -m 777 "$work/home"
  # A copy, so the user can run it wherever the build tree lies.
  install -m 755 "$salvora" "$work/salvora"
  bash "$make_sample" "$work/sample.img" >"$work/sample.log" 2>&1 ||
    fail "$make_sample: $(cat "$work/sample.log")"
  loop=$(losetup --find --show --read-only "$work/sample.img")
  [ "$(stat -c %a "$loop")" = 600 ] || skip "$loop can be opened by others here"
  for mode in quick deep; do
    SALVORA_DATA_DIR="$work/root-data" "$work/salvora" scan "--$mode" --json "$loop" \
      >"$work/root-$mode.json" 2>"$work/root-$mode.err" ||
      fail "root's $mode scan: $(cat "$work/root-$mode.err")"
  done

  test_uid=$(awk -F: 'BEGIN { uid = 61000 } { used[$3] = 1 } END { while (uid in used) uid++; print uid }' /etc/passwd)
  export work loop test_uid bus_config
  unshare --mount --net --pid --fork --kill-child --mount-proc bash "$0" --inside "$salvora" \
    "$make_sample" "$bus_config"
}

if [ "${1:-}" = --inside ]; then
  shift
  salvora=$1 make_sample=$2 bus_config=$3
  inside
else
  salvora=$(realpath "$1") make_sample=$(realpath "$2") bus_config=$(realpath "$3")
  outside
fi
