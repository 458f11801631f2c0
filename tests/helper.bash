# shellcheck shell=bash
# What every group of scenarios loads: the program under test, a fresh folder for each case
# beside the sample log, and checks that print what differs. CTest sets $HERE (the build
# made here), $MAKELOG, $SRC and, where they are, $OGRINFO and $KML_SANITIZED.
# Another build is tested as $KML_UNDER_TEST, run through the words of $KML_RUNNER (an
# emulator, wine, node).
bats_load_library bats-support
bats_load_library bats-assert
bats_load_library bats-file

KML=${KML_UNDER_TEST:-$HERE}
SAMPLE=$SRC/examples/eeprom.hex

# The golden files as the program under test writes them: a Windows build ends its text
# lines in CR LF (the logs' descriptions, *.txt, stay as they are).
setup_file() {
  export G=$SRC/tests/golden
  if [[ $KML = *.exe ]]; then
    G=$BATS_FILE_TMPDIR/golden
    mkdir "$G"
    for file in "$SRC"/tests/golden/*; do
      case $file in
        *.txt) cp "$file" "$G/" ;;
        *) sed 's/$/\r/' "$file" >"$G/${file##*/}" ;;
      esac
    done
  fi
}

setup() {
  cd "$BATS_TEST_TMPDIR" || return
  cp "$SAMPLE" eeprom.hex
}

teardown() {
  if mountpoint -q small 2>/dev/null; then umount small; fi
  chattr -R -i . 2>/dev/null || true
}

# needs WHAT...: skips the case unless it may run here. WHAT is any of
#   posix        a POSIX build (Windows words a broken pipe or a directory otherwise)
#   posix-files  a POSIX build that writes through the C library (Node's writes at a
#                position, which a FIFO refuses)
#   direct       a POSIX build run as it is, through no emulator (qemu turns a signal the
#                program ignores into an interrupted call), Wine or Node
#   this-build   the build made here, unsanitized: the case measures the process
#   other-build  another build, compared with the one made here
#   gdal         GDAL's ogrinfo
#   small-disk   a 256 KiB tmpfs on ./small (as root)
#   immutable    folders that `chattr +i` makes take no new file, as no permission does
#                for root
#   strace       strace, whose fault injection makes a system call fail or a signal come
needs() {
  local need
  for need in "$@"; do
    case $need in
      posix) [[ $KML != *.exe ]] || skip "not for a Windows build" ;;
      posix-files | immutable) [[ $KML != *.exe && $KML != *.js ]] || skip "not for a Windows or Node build" ;;
      direct) [[ -z ${KML_RUNNER:-} && $KML != *.exe && $KML != *.js ]] || skip "not through $KML_RUNNER" ;;
      this-build) if [ "$KML" != "$HERE" ] || [ "${KML_SANITIZED:-0}" = 1 ]; then skip "only for the build made here, unsanitized"; fi ;;
      other-build) [ "$KML" != "$HERE" ] || skip "only for a build other than the one made here" ;;
      gdal) [ -x "${OGRINFO:-}" ] || skip "GDAL's ogrinfo is not installed" ;;
      strace)
        command -v strace >/dev/null || skip "strace is not installed"
        # A sanitized build's leak check does not work under ptrace, as strace runs it.
        export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 ;;
      small-disk)
        [[ $KML != *.exe ]] || skip "not for a Windows build"
        { mkdir small && mount -t tmpfs -o size=256k kml_test small 2>/dev/null; } || skip "cannot mount a small file system here" ;;
      *) fail "needs: no such need: $need" ;;
    esac
    if [ "$need" = immutable ]; then
      { mkdir probe && chattr +i probe 2>/dev/null && chattr -i probe && rmdir probe; } || skip "no folder here can be made immutable"
    fi
  done
}

# kml ARGS...: the program under test, within the file size limit $file_size_limit (in
# blocks of 512 bytes) if one is set. A native program meets it with SIGXFSZ at its
# default, as a shell leaves it; Wine and Node, which would die of it, have it ignored.
# Where $bound is set, the program is ended after that many seconds (status 124).
kml() {
  local runner=()
  read -ra runner <<<"${KML_RUNNER:-}"
  if [ -n "${bound:-}" ]; then runner=(timeout "$bound" "${runner[@]}"); fi
  (
    if [ -n "${file_size_limit:-}" ]; then
      ulimit -f "$file_size_limit"
      if [[ $KML = *.exe || $KML = *.js ]]; then trap '' XFSZ; fi
    fi
    exec "${runner[@]}" "$KML" "$@"
  )
}

# convert ARGS...: runs the program as a user would, and says so should the case fail. Its
# status goes to $status, its standard output to ./stdout (or to $listing), its standard
# error to ./stderr.
convert() {
  printf '$ kml'
  printf ' %q' "$@"
  echo
  status=0
  kml "$@" >"${listing:-stdout}" 2>stderr || status=$?
}

# as_written <TEXT: the text with the line ends of the program under test.
as_written() {
  if [[ $KML = *.exe ]]; then sed 's/$/\r/'; else cat; fi
}

# same FILE EXPECTED: FILE holds EXPECTED's bytes; if not, a diff says how they differ.
same() {
  assert_files_equal "$1" "$2" || { diff -a -u "$2" "$1" | head -60; return 1; }
}

# expect STATUS [MESSAGE...]: the status, and the messages, a line each, and no others.
expect() {
  local want=$1
  shift
  printf '%s\n' "$@" | sed '/^$/d' | as_written >"$BATS_TEST_TMPDIR.said"
  assert_equal "status $status" "status $want"
  same stderr "$BATS_TEST_TMPDIR.said"
}

# as_sample ARGS...: converting gives the sample's listing and KML (to trasa.kml unless
# ARGS name another), status 0 and no message.
as_sample() {
  convert "$@"
  expect 0
  same stdout "$G/sample.out"
  same "${2:-trasa.kml}" "$G/sample.kml"
}

# contents: every name in the folder (but the command's outputs) with its kind, a link's
# target and a file's checksum.
contents() {
  find . ! -path . ! -name stdout ! -name stderr -printf '%y %p %l\n' | sort
  find . -type f ! -name stdout ! -name stderr -exec md5sum {} + | sort
}

# big_log FILE: the largest log there is, 65,535 records, 65,560 lines of KML.
big_log() {
  { echo count 65535; seq 65535 | sed 's/.*/record & 4912.5 -1905.5/'; } >big.txt
  "$MAKELOG" big.txt "$1"
}

# saved FORM [OPTION...]: the sample as objcopy writes it in FORM (ihex, srec), with LF
# line ends.
saved() {
  objcopy -I binary -O "$@" eeprom.hex saved.tmp
  tr -d '\r' <saved.tmp
  rm saved.tmp
}

# new_file_open: which of the program's opens makes its new file, counted as strace's
# fault injection counts them (the folder is opened before, once).
new_file_open() {
  strace -qq -o opens -e trace=openat "$KML" eeprom.hex new.kml >/dev/null
  rm new.kml
  grep -n '"\.kml-' opens | head -1 | cut -d: -f1
}

# while_reading COMMAND...: the largest log, ./big.hex, is written into ./fifo, and COMMAND
# runs once the program has read most of it: no pipe holds the first 200,000 bytes.
while_reading() {
  [ -e big.hex ] || big_log big.hex
  rm -f fifo
  mkfifo fifo
  { head -c 200000 big.hex; "$@"; tail -c +200001 big.hex; } >fifo 3>&- &
}
