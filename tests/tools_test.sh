#!/usr/bin/env bash
# The scripts' own behaviour, with no Wine: the 32-bit probe, the test certificate after a run that
# was killed, the signing password that no child of tools/build may see, and setup on a mirror
# whose update fails. Prints PASS: or FAIL: per case; exits 1 if any failed.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d /tmp/vt-tools-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
failed=0

# fail MESSAGE: says where the case failed, and fails it.
fail() {
  echo "  ${BASH_SOURCE[1]##*/}:${BASH_LINENO[0]}: $*"
  return 1
}
run_case() {
  if "$1"; then echo "PASS: $1"; else echo "FAIL: $1"; failed=1; fi
}

# A minimal static i386 program that exits 0, as such hosts refuse it: "Exec format error".
make_elf32() {
  /usr/bin/python3 - "$1" <<'PYTHON'
import struct, sys
code = bytes([0xb8, 1, 0, 0, 0, 0x31, 0xdb, 0xcd, 0x80])  # exit(0) through int 0x80
size = 52 + 32 + len(code)
header = b'\x7fELF' + bytes([1, 1, 1, 0]) + bytes(8)
header += struct.pack('<HHIIIIIHHHHHH', 2, 3, 1, 0x08048000 + 84, 52, 0, 0, 52, 32, 1, 0, 0, 0)
segment = struct.pack('<IIIIIIII', 1, 0, 0x08048000, 0x08048000, size, size, 5, 0x1000)
open(sys.argv[1], 'wb').write(header + segment + code)
PYTHON
  chmod +x "$1"
}

# The probe answers as the host runs a 32-bit program (no where only an emulator runs it), at once,
# and a forced answer holds either way.
probe_answers_as_the_host_runs_32bit_code() {
  make_elf32 "$work/elf32"
  local expected=no entry
  if "$work/elf32" 2>/dev/null; then expected=yes; fi
  for entry in /proc/sys/fs/binfmt_misc/*; do
    if [ -f "$entry" ] && grep -q '^magic 7f454c4601010100000000000000000002000300' "$entry"; then expected=no; fi
  done
  local started=$SECONDS answer
  answer=$(unset VT_HOST_RUNS_32BIT; . "$root/tools/lib/host32.sh"; vt_host_runs_32bit; echo "$VT_HOST_RUNS_32BIT")
  [ "$answer" = "$expected" ] || fail "the probe says $answer, the host's answer is $expected" || return 1
  [ $((SECONDS - started)) -le 10 ] || fail "the probe took $((SECONDS - started)) s" || return 1
  local forced
  for forced in yes no; do
    answer=$(export VT_HOST_RUNS_32BIT=$forced; . "$root/tools/lib/host32.sh"
             if vt_host_runs_32bit; then echo yes; else echo "no, $vt_host_32bit_reason"; fi)
    case "$forced:$answer" in
      yes:yes|"no:no, VT_HOST_RUNS_32BIT=no") ;;
      *) fail "forced to $forced, the probe says $answer"; return 1 ;;
    esac
  done
}

certificate_set_holds() {
  openssl pkcs12 -in "$1/signing.p12" -passin "file:$1/password" -clcerts -nokeys 2>/dev/null |
    openssl verify -CAfile "$1/root.crt" >/dev/null 2>&1
}

# tools/test-certificate killed at each of its steps leaves the set that was there, none, or a whole
# new one, never a mix; the next run then lays a set that holds. A set that does not match its root
# is not reused.
certificate_survives_a_kill_at_every_step() {
  local dir="$work/certificate" bin="$work/kill-bin" step
  "$root/tools/test-certificate" "$dir" >/dev/null || fail "the first run failed" || return 1
  # A set whose root is another one, as a kill between two of the old script's moves left it.
  openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=other root" -keyout /dev/null \
    -out "$dir/root.crt" 2>/dev/null
  certificate_set_holds "$dir" && { fail "the mismatched set holds"; return 1; }
  mkdir -p "$bin"
  for tool in openssl mv; do
    printf '#!/bin/sh\n%s\n' \
      "n=\$((\$(cat \"\$VT_STEPS\") + 1)); echo \$n >\"\$VT_STEPS\"" \
      "if [ \"\$n\" = \"\$VT_KILL_AT\" ]; then kill -KILL 0; fi" \
      "exec $(command -v $tool) \"\$@\"" >"$bin/$tool"
    chmod +x "$bin/$tool"
  done
  cp -a "$dir" "$work/mismatched"
  # Three checks of the set there, six steps to make one, two moves: each run starts from the
  # mismatched set and is killed at one of them.
  for step in $(seq 1 11); do
    exec 3>&2 2>/dev/null  # the shell's own "Killed" notes
    rm -rf "$dir"
    cp -a "$work/mismatched" "$dir"
    echo 0 >"$work/steps"
    (VT_STEPS="$work/steps" VT_KILL_AT=$step PATH="$bin:$PATH" setsid "$root/tools/test-certificate" "$dir") \
      >/dev/null 2>&1
    exec 2>&3 3>&-
    if [ -e "$dir" ] && ! diff -r "$dir" "$work/mismatched" >/dev/null && ! certificate_set_holds "$dir"; then
      fail "killed at step $step: neither the set that was there nor one that holds"
      return 1
    fi
  done
  "$root/tools/test-certificate" "$dir" >/dev/null || fail "the run after the kills failed" || return 1
  certificate_set_holds "$dir" || fail "the set laid after the kills does not hold" || return 1
  [ "$(stat -c %a "$dir")" = 700 ] || fail "the set's folder is open to others" || return 1
}

# No command that tools/build starts, nor any it starts in turn, sees the signing password in its
# environment: wrappers first on PATH for each of them write down what they see.
build_shows_the_password_to_no_child() {
  local certificate="$root/build/test-certificate" bin="$work/spy-bin" tool real
  "$root/tools/test-certificate" "$certificate" >/dev/null || return 1
  mkdir -p "$bin"
  for tool in bash sh env dirname mktemp cp rm chmod mv cat nproc cmake make osslsigncode dpkg-query dpkg \
              grep id locale apt-get tee sudo python3 sed awk; do
    real=$(command -v "$tool") || continue
    printf '#!/bin/sh\n%s\n%s\n' \
      "if [ -n \"\${VT_SIGN_PASSWORD+set}\" ]; then echo \"$tool saw VT_SIGN_PASSWORD=\$VT_SIGN_PASSWORD\" >>\"$work/seen\"; fi" \
      "exec $real \"\$@\"" >"$bin/$tool"
    chmod +x "$bin/$tool"
  done
  : >"$work/seen"
  VT_SIGN_PASSWORD="$(cat "$certificate/password")" PATH="$bin:$PATH" /bin/bash "$root/tools/build" \
    --sign-pkcs12 "$certificate/signing.p12" >"$work/build.log" 2>&1 ||
    { cat "$work/build.log"; fail "the build failed"; return 1; }
  [ ! -s "$work/seen" ] || { fail "$(sort -u "$work/seen" | head -3)"; return 1; }
  grep -q '(signed' "$work/build.log" || fail "the build did not sign" || return 1
  osslsigncode verify -CAfile "$certificate/root.crt" -in "$root/build/bin/Setup.exe" >/dev/null 2>&1 ||
    fail "Setup.exe signed with the password from the environment does not verify"
}

# A mirror whose update fails does not stop setup: it says so in one line and goes on; an install
# that fails is tried again from the release's own suite, and a failure of that is its exit status.
setup_goes_on_past_an_update_that_fails() {
  [ "$(id -u)" = 0 ] || { echo "  (not root: the case needs apt-get)"; return 0; }
  local apt="$work/apt" status=0
  mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/parts"
  echo "deb [trusted=yes] file:$apt/nowhere bookworm main" >"$apt/sources.list"
  cat >"$apt/apt.conf" <<APT
Dir::Etc::sourcelist "$apt/sources.list";
Dir::Etc::sourceparts "$apt/parts";
Dir::State::lists "$apt/lists/";
Dir::Cache "$apt/cache/";
APT
  APT_CONFIG="$apt/apt.conf" "$root/tools/setup" vt-no-such-package >"$apt/log" 2>&1 || status=$?
  local codename
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  grep -q '^setup: apt-get update failed' "$apt/log" || { cat "$apt/log"; fail "no line on the failed update"; return 1; }
  grep -q "^setup: the install failed; trying again from the release's own suite ($codename)" "$apt/log" ||
    { cat "$apt/log"; fail "no retry from the release's suite"; return 1; }
  [ "$status" != 0 ] || fail "setup reported success for a package it could not install"
}

run_case probe_answers_as_the_host_runs_32bit_code
run_case certificate_survives_a_kill_at_every_step
run_case build_shows_the_password_to_no_child
run_case setup_goes_on_past_an_update_that_fails
exit "$failed"
