# Stages of a test run, sourced by scripts/test and scripts/test-windows: every stage runs
# whatever became of the ones before it, and the summary lists each with its result and time.
stage_lines=()
stage_counts=(0 0 0) # passed, failed, skipped

stage_record() {
  stage_lines+=("$(printf '%-7s %5d s  %s' "$2" "$3" "$1")")
  case $2 in PASS) ((++stage_counts[0])) ;; FAIL) ((++stage_counts[1])) ;; *) ((++stage_counts[2])) ;; esac
}

# run_stage NAME COMMAND...: the stage passes when the command exits with 0. A function as
# COMMAND must chain its steps with &&: set -e does not stop it here.
run_stage() {
  local name=$1 started=$SECONDS result=PASS
  shift
  echo "== $name"
  "$@" || result=FAIL
  echo "-- $name: $result in $((SECONDS - started)) s"
  stage_record "$name" $result $((SECONDS - started))
}

# skip_stage NAME REASON
skip_stage() {
  echo "== $1: SKIPPED, $2"
  stage_record "$1 ($2)" SKIPPED 0
}

# The Windows stages, each a step of scripts/test-windows. The i686 release needs 32-bit Wine,
# which scripts/install-deps may have failed to install (it then says why in build/), and a
# kernel that runs 32-bit programs.
windows_stages() {
  run_stage "Windows builds and release checks" scripts/test-windows builds
  run_stage "shell and core tests under wine64" scripts/test-windows wine-tests
  run_stage "end-to-end test, x86_64 build" \
    tests/e2e/end_to_end.py build/windows-x64/shell/QuillmarshSPC.exe
  local refused
  if [ -e build/wine32-missing ]; then
    skip_stage "end-to-end test, i686 release" "$(cat build/wine32-missing)"
  elif ! refused=$(/usr/lib/wine/wine --version 2>&1 >/dev/null); then
    # A kernel built or booted without 32-bit emulation (ia32_emulation=off) refuses every
    # 32-bit program, Wine's loader included: nothing 32-bit can run on such a machine.
    skip_stage "end-to-end test, i686 release" \
      "this machine runs no 32-bit program (${refused##*: }: the kernel's 32-bit emulation is off?)"
  else
    run_stage "end-to-end test, i686 release" \
      tests/e2e/end_to_end.py build/windows-release/shell/QuillmarshSPC.exe
  fi
}

# Prints the summary and returns non-zero when any stage failed.
stage_summary() {
  echo "== summary"
  printf '%s\n' "${stage_lines[@]}"
  echo "stages: ${stage_counts[0]} passed, ${stage_counts[1]} failed, ${stage_counts[2]} skipped"
  [ "${stage_counts[1]}" -eq 0 ]
}
