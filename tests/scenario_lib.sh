# shellcheck shell=bash disable=SC2154 # $root, $scenario and $transcript are scenario.sh's
# What a scenario may call besides plain shell; sourced by scenario.sh, which sets $KML,
# $G (the golden files), $SAMPLE, $root (its own folder), $scenario and $transcript.

# where it may run: `needs WHAT...`, any of
#   posix        a POSIX build: Windows words a broken pipe or a directory otherwise
#   posix-files  a POSIX build that writes through the C library: not Node's, whose file
#                system writes at a position, which a FIFO refuses
#   direct       a POSIX build run as it is, through no emulator (qemu turns a signal
#                that the program ignores into an interrupted system call), Wine or Node
#   this-build   the build made here, not emulated nor sanitized: the scenario measures
#                the process
#   other-build  another build, compared with the one made here
#   gdal         GDAL's ogrinfo is installed
#   small-disk   a POSIX build, and a 256 KiB file system mounted on ./small (as root)
#   no-inodes    the same, but a file system with room for one file, ./small/old.kml
#   immutable    a POSIX build, and folders that `chattr +i` makes take no new file
#                (as root, on ext4 and the like), as no permission does for root
#   exchange     Linux's renameat2, as $EXCHANGE A B [STOP] (tests/exchange.cpp) swaps
#                two files, and a build that uses it: not Windows' nor Node's
needs() {
  local need why=
  for need in "$@"; do
    case $need in
      posix) [[ $KML != *.exe ]] || why="not for a Windows build" ;;
      posix-files) [[ $KML != *.exe && $KML != *.js ]] || why="not for a Windows or Node build" ;;
      direct) [[ -z ${KML_RUNNER:-} && $KML != *.exe && $KML != *.js ]] || why="not through $KML_RUNNER" ;;
      this-build) [ "$KML" = "$HERE" ] && [ "${KML_SANITIZED:-0}" != 1 ] || why="only for the build made here, unsanitized" ;;
      other-build) [ "$KML" != "$HERE" ] || why="only for a build other than the one made here" ;;
      gdal) [ -x "${OGRINFO:-}" ] || why="GDAL's ogrinfo is not installed" ;;
      small-disk | no-inodes)
        local options=size=256k
        if [ "$need" = no-inodes ]; then options=size=1m,nr_inodes=2; fi
        [[ $KML != *.exe ]] || why="not for a Windows build"
        [ -n "$why" ] || { mkdir small && mount -t tmpfs -o "$options" kml_test small 2>/dev/null; } ||
          why="cannot mount a small file system here" ;;
      immutable)
        [[ $KML != *.exe && $KML != *.js ]] || why="not for a Windows or Node build"
        [ -n "$why" ] || { mkdir probe && chattr +i probe 2>/dev/null && chattr -i probe && rmdir probe; } ||
          why="no folder here can be made immutable" ;;
      exchange)
        [ -x "${EXCHANGE:-}" ] || why="no renameat2 here"
        [[ $KML != *.exe && $KML != *.js ]] || why="not for a Windows or Node build" ;;
      *) echo "needs: no such need: $need"; exit 1 ;;
    esac
    if [ -n "$why" ]; then
      echo "skipped: $why"
      exit 77
    fi
  done
}

# kml ARGS...: the program under test, within the file size limit, if one is set. A
# native program meets the limit with SIGXFSZ at its default, as a shell leaves it; Wine
# and Node, which would die of it, have it ignored.
kml() {
  local runner=()
  read -ra runner <<<"${KML_RUNNER:-}"
  if [ -n "${file_size_limit:-}" ]; then
    (
      ulimit -f "$file_size_limit"
      if [[ $KML = *.exe || $KML = *.js ]]; then trap '' XFSZ; fi
      "${runner[@]}" "$KML" "$@"
    )
  else
    "${runner[@]}" "$KML" "$@"
  fi
}

# limit_file_size BLOCKS: the program may write files of at most BLOCKS * 512 bytes ('' for
# no limit). (Under Wine, a wineserver that is already running must serve it: one started
# under the limit fails.)
limit_file_size() {
  file_size_limit=$1
}

# run kml ARGS...: the command of the scenario. Its standard output goes to ./stdout,
# unless the line redirects it, its standard error to ./stderr.
run() {
  if [ "$1" != kml ]; then
    echo "run: the command is kml, not $1"
    return 1
  fi
  shift
  ran=${BASH_LINENO[0]}
  unexpected=(status stdout stderr)
  ran_status=0
  if [ /dev/stdout -ef "$transcript" ]; then
    kml "$@" >stdout 2>stderr || ran_status=$?
  else
    kml "$@" 2>stderr || ran_status=$?
  fi
}

# Counts an output that differs; the first one shows the command.
mismatch() {
  if [ "$mismatches" = 0 ]; then
    echo "\$ $(sed -n "${ran}p" "$scenario" | sed 's/^ *run //')"
  fi
  mismatches=$((mismatches + 1))
}

# expect status N | expect status matching REGEX | expect OUTPUT GOLDEN |
# expect OUTPUT ./FILE | expect OUTPUT <<'EOF' | expect OUTPUT matching REGEX
# OUTPUT is stdout, stderr or a file the program wrote; GOLDEN a file of tests/golden,
# FILE one in the folder (as the checks made it), and without either the text is read
# from standard input; REGEX (extended) must match a whole line of it (or, of an empty
# output, the empty text). What no `expect` names must be nothing: status 0, no standard
# output (unless redirected), no standard error.
expect() {
  if [ -z "$ran" ]; then
    echo "expect: before the command (run kml ...)"
    return 1
  fi
  local left=() name
  for name in "${unexpected[@]}"; do
    if [ "$name" != "$1" ]; then left+=("$name"); fi
  done
  unexpected=("${left[@]}")
  if [ "$1" = status ] && [ "$2" = matching ]; then
    if ! [[ $ran_status =~ ^($3)$ ]]; then
      mismatch
      echo "status: expected $3, got $ran_status"
    fi
    return 0
  fi
  if [ "$1" = status ]; then
    if [ "$ran_status" != "$2" ]; then
      mismatch
      echo "status: expected $2, got $ran_status"
    fi
    return 0
  fi
  local want=$root/expected
  if [ $# = 1 ]; then
    as_written >"$want"
  elif [ "$2" = nothing ]; then
    : >"$want"
  elif [[ $2 = ./* ]]; then
    cp "$2" "$want"
  elif [ "$2" = matching ]; then
    if ! { [ -s "$1" ] || [[ "" =~ ^($3)$ ]]; } || { [ -s "$1" ] && ! tr -d '\r' <"$1" | grep -qxE -- "$3"; }; then
      mismatch
      echo "$1: expected a line matching $3; it holds:"
      cat "$1"
    fi
    return 0
  else
    cp "$G/$2" "$want"
  fi
  if [ ! -e "$1" ]; then
    mismatch
    echo "$1: expected, but there is none"
  elif ! cmp -s "$want" "$1"; then
    mismatch
    diff -a -u --label "$1, expected" --label "$1" "$want" "$1" | sed '61{s/.*/[...]/;q}' || true
  fi
}

# says LINE...: the program's messages, a line each, are these and no others.
says() {
  printf '%s\n' "$@" >"$root/said"
  expect stderr <"$root/said"
}

# Checks what no `expect` named: a status of 0, and no output.
expect_the_rest() {
  local name
  for name in "${unexpected[@]}"; do
    case $name in
      status) expect status 0 ;;
      *) if [ -e "$name" ]; then expect "$name" nothing; fi ;;
    esac
  done
}

# entries_here: what the folder holds, but the command's stdout and stderr, sorted.
entries_here() {
  find . -maxdepth 1 ! -name stdout ! -name stderr | sort
}

# as_written <TEXT: the text with the line ends of the program under test.
as_written() {
  if [[ $KML = *.exe ]]; then sed 's/$/\r/'; else cat; fi
}

# big_log FILE: the largest log there is, 65,535 records, 65,560 lines of KML.
big_log() {
  { echo count 65535; seq 65535 | sed 's/.*/record & 4912.5 -1905.5/'; } >"$root/big.txt"
  "$MAKELOG" "$root/big.txt" "$1"
}

# sample_dump FORM: the sample as objcopy writes it in FORM (ihex, srec), with LF line
# ends, in dump.hex.
sample_dump() {
  objcopy -I binary -O "$1" eeprom.hex "$root/dump"
  tr -d '\r' <"$root/dump" >dump.hex
}

# dumps_agree LOG STATUS: the raw log LOG, converted to route.kml, ./stdout and ./stderr
# with STATUS, converts the same written as text dumps: by objcopy (which takes no empty
# file) with other line lengths and S3 addresses, and by srec_cat, where it is installed,
# with type 04 records and an S5 count for its end. S-records come with their data
# reversed.
dumps_agree() {
  local log=$1 status=$2 tool options got output
  while read -r tool options; do
    case $tool in
      objcopy) [ -s "$log" ] || continue ;;
      srec_cat) command -v srec_cat >/dev/null || continue ;;
    esac
    rm -rf d
    mkdir d
    # shellcheck disable=SC2086 # the options are words
    case $tool in
      objcopy) objcopy -I binary $options "$log" d/dump ;;
      srec_cat) srec_cat "$log" -binary -o d/dump $options ;;
    esac
    { head -1 d/dump; sed 1d d/dump | sed -n '/^S[1-3]/p' | tac; sed 1d d/dump | sed '/^S[1-3]/d'; } >"d/$log"
    got=0
    (cd d && kml "$log" route.kml >stdout 2>stderr) || got=$?
    for output in stdout stderr route.kml; do
      if [ "$got" != "$status" ] || ! cmp -s "$output" "d/$output"; then
        echo "$tool $options: not as the raw log (status $got, raw $status): $output"
        diff -a -u --label "raw log's $output" --label "dump's $output" "$output" "d/$output" | head -n 20 || true
        return 1
      fi
    done
  done <<EOF
objcopy -O ihex
objcopy -O srec
objcopy -O srec --srec-forceS3 --srec-len=7
objcopy -O srec --srec-len=40
srec_cat -intel -address-length=4 -line-length=27
srec_cat -motorola
EOF
  rm -rf d
}
