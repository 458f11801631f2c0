#!/usr/bin/env bash
# Runs one scenario, tests/scenarios/NAME.sh, against the program, in a fresh folder that
# holds the sample log as eeprom.hex, a symbolic link to it (link) and a hard link (hard).
#
#   scenario.sh SCENARIO
#
# The program is $KML_UNDER_TEST, run through the words of $KML_RUNNER (an emulator, wine,
# node); without it, $HERE, the build made here. $HERE, $MAKELOG, $SRC and, optionally,
# $OGRINFO and $KML_SANITIZED come from CTest. A scenario reads like a terminal session:
#
#   needs posix                      where it may run (scenario_lib.sh lists the needs);
#                                    exits 77, skipped, where it may not
#   mkfifo pipe                      the setup, plain shell: every line must succeed
#   run kml big.hex big.kml >pipe    the command; its standard output goes to ./stdout
#                                    unless redirected, its standard error to ./stderr
#   expect status 3                  what it must give: `expect stdout NAME` compares with
#   says 'kml: standard output: Broken pipe'   the golden file tests/golden/NAME, `expect
#                                    FILE NAME` a file it wrote, `says` its messages; what
#                                    no line expects must be nothing (status 0, no output)
#   cmp big.kml whole.kml            the checks, plain shell: every line must succeed
#
# On a failure it prints the command, a unified diff of each output that differs, and the
# line that failed. Exit status: 0 passed, 1 failed, 77 skipped.
set -uo pipefail

scenario=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
root=$(mktemp -d "${TMPDIR:-/tmp}/kml_scenario.XXXXXX")
# shellcheck disable=SC2317 # called by the EXIT trap
cleanup() {
  if mountpoint -q "$root/run/small" 2>/dev/null; then umount "$root/run/small"; fi
  chattr -R -i "$root/run" 2>/dev/null
  rm -rf "$root"
}
trap cleanup EXIT

export KML=${KML_UNDER_TEST:-$HERE}
export SAMPLE=$SRC/examples/eeprom.hex
export G=$SRC/tests/golden
case $KML in
  *.exe) windows=1 ;;  # its text files and console lines end in CR LF
  *) windows= ;;
esac
# The golden files as the program under test writes them (but the logs' descriptions).
if [ -n "$windows" ]; then
  G=$root/golden
  mkdir "$G"
  for file in "$SRC"/tests/golden/*; do
    case $file in
      *.txt) cp "$file" "$G/" ;;
      *) sed 's/$/\r/' "$file" >"$G/${file##*/}" ;;
    esac
  done
fi

work=$root/run
transcript=$root/transcript
mkdir "$work"
cp "$SAMPLE" "$work/eeprom.hex"
ln -s eeprom.hex "$work/link"
ln "$work/eeprom.hex" "$work/hard"

# shellcheck source=tests/scenario_lib.sh
source "$SRC/tests/scenario_lib.sh"

ran=          # the line of the command, once it has run
mismatches=0  # outputs that differ from what was expected

# shellcheck disable=SC2317 # called by the ERR trap
# Says what failed: the scenario's line (where a helper failed, the line that called it).
on_error() {
  local status=$1 command=$2 k line=0 part=setup
  if ((BASH_SUBSHELL > scenario_level)); then
    return  # inside $(...) or ( ): what runs it fails in turn, if it must
  fi
  if [ -n "$ran" ]; then
    part=check
    expect_the_rest
  fi
  for ((k = 1; k < ${#BASH_SOURCE[@]}; ++k)); do
    if [ "${BASH_SOURCE[k]}" = "$scenario" ]; then line=${BASH_LINENO[k - 1]}; fi
  done
  echo "$part failed (status $status), line $line: $(sed -n "${line}p" "$scenario")"
  if [ "$command" != "$(sed -n "${line}p" "$scenario" | sed 's/^ *//')" ]; then
    echo "  at: $command"
  fi
}

(
  cd "$work" || exit 1
  scenario_level=$BASH_SUBSHELL
  set -eE
  trap 'on_error $? "$BASH_COMMAND"' ERR
  # shellcheck source=/dev/null
  source "$scenario"
  [ -n "$ran" ] || { echo "the scenario never ran the program (run kml ...)"; exit 1; }
  expect_the_rest
  [ "$mismatches" = 0 ] || exit 1
) >"$transcript" 2>&1 </dev/null
status=$?
cat "$transcript"
exit "$status"
