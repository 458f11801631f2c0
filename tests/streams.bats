# The listing's stream and the standard streams: a reader that quits, streams that are
# closed; and memory that stays flat however long the log.
load helper

@test "a reader that quits at once or after one line stops the listing, not the route" {
  needs posix
  big_log big.hex
  listing=/dev/null convert big.hex whole.kml
  while IFS='|' read -r reader line; do
    mkfifo pipe
    # shellcheck disable=SC2086 # the reader's words
    $reader <pipe >first 3>&- &
    listing=pipe convert big.hex big.kml
    wait $!
    expect 3 'kml: standard output: Broken pipe'
    assert_equal "$(cat first)" "$line"
    same big.kml whole.kml
    rm pipe big.kml
  done <<'ROWS'
true|
head -1|Ilosc pozycji: 65535
ROWS
}

@test "closed standard streams: no file takes their place, the KML stays clean" {
  needs posix-files
  status=0
  kml eeprom.hex z.kml <&- >&- 2>stderr || status=$?
  expect 3 'kml: standard output: Bad file descriptor'
  same z.kml "$G/sample.kml"
  kml eeprom.hex quiet.kml >&- 2>&- || assert_equal "status $?" "status 3"
  same quiet.kml "$G/sample.kml"
  kml eeprom.hex none.kml <&- >&- 2>&- || assert_equal "status $?" "status 3"
  same none.kml "$G/sample.kml"
}

@test "records are handled one at a time: the largest log needs no more memory than the sample, its dump its size" {
  needs this-build
  big_log big.hex
  objcopy -I binary -O ihex big.hex big.ihex
  # The least peak of three runs, with the addresses not randomised where that can be
  # turned off: one run's peak otherwise varies by a few hundred KiB.
  local fixed=()
  if setarch "$(uname -m)" -R true 2>/dev/null; then fixed=(setarch "$(uname -m)" -R); fi
  peak() {
    for _ in 1 2 3; do
      "${fixed[@]}" /usr/bin/time -f %M -o peak "$KML" "$1" "$1.kml" >/dev/null
      cat peak
    done | sort -n | head -1
  }
  local sample raw dump
  sample=$(peak eeprom.hex) raw=$(peak big.hex) dump=$(peak big.ihex)
  echo "peaks in KiB: sample $sample, largest log $raw, as Intel HEX $dump"
  # Held whole, the log would add 768 KiB and its KML 3 MiB. A dump is read whole: its text
  # takes up to twice its size while it grows, and the image it gives 768 KiB.
  [ "$raw" -le $((sample + 512)) ]
  [ "$dump" -le $((sample + 768 + 2 * $(wc -c <big.ihex) / 1024)) ]
  assert_equal "$(wc -l <big.hex.kml)" 65560
  cmp big.hex.kml big.ihex.kml
}

@test "standard output that is a pipe takes the KML named /dev/stdout, beside the listing" {
  needs posix-files
  kml eeprom.hex /dev/stdout 2>stderr | cat >got
  assert_equal "$(cat stderr)" ""
  assert_equal "$(sort got)" "$(cat "$G/sample.kml" "$G/sample.out" | sort)"
}
