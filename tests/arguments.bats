# The command line: which log and which KML, and what is said when the log cannot be read.
load helper

@test "the log and the KML from the arguments: none, one, two, more; Polish names" {
  as_sample
  mv eeprom.hex trip.bin
  rm trasa.kml
  as_sample trip.bin
  rm trasa.kml
  as_sample trip.bin out.kml extra more
  assert_not_exists extra
  assert_not_exists trasa.kml
  mv trip.bin trasa_łódź.hex
  as_sample trasa_łódź.hex wycieczka_żółw.kml
  assert_not_exists trasa.kml
}

# unreadable ARGS... -- MESSAGE...: the log cannot be read: status 1, the messages, and
# nothing converted, made or changed.
unreadable() {
  local args=() before
  while [ "$1" != -- ]; do args+=("$1"); shift; done
  shift
  echo '<kml/>' >trasa.kml
  before=$(contents)
  convert "${args[@]}"
  expect 1 "$@"
  assert_equal "$(contents)" "$before"
}

@test "a log that cannot be read: nothing converted, the usage line where no log was named" {
  unreadable brak_łódź.hex -- 'kml: brak_łódź.hex: No such file or directory'
  unreadable --help -- 'kml: --help: No such file or directory' 'usage: kml [LOG [KML]] (kml takes no options)'
  rm eeprom.hex
  unreadable -- 'kml: eeprom.hex: No such file or directory' 'usage: kml [LOG [KML]]'
}

@test "a directory as the log, and what is not printable in a name shown as ls -b shows it, on one line" {
  needs posix
  unreadable / new.kml -- 'kml: /: Is a directory'
  unreadable $'day\n2\033\t.hex' -- 'kml: day\n2\033\t.hex: No such file or directory'
  unreadable 'day\n2.hex' -- 'kml: day\\n2.hex: No such file or directory'
  # A byte that is no UTF-8, where the program gets the bytes (Node hands it Unicode).
  if [[ $KML != *.js ]]; then
    unreadable $'d\x9b.hex' -- 'kml: d\233.hex: No such file or directory'
  fi
}

@test "one rule says a file is no position log: half or more of its records off the Earth" {
  # RECORDS@MESSAGES: the records of a log, one "X Y" each; what the program says of it.
  while IFS=@ read -r records messages; do
    printf 'count %d\n' "$(wc -w <<<"$records")" >log.txt
    for record in $records; do printf 'record 1 %s\n' "${record/,/ }" >>log.txt; done
    "$MAKELOG" log.txt log.bin
    IFS=@ read -r -a said <<<"$messages"
    listing=/dev/null convert log.bin
    expect 0 "${said[@]}"
  done <<'ROWS'
4916.2,1958.8 4916.3,1958.9 4916.4,1959.0@
4916.2,1958.8 9100,1958.9 4916.4,1959.0@kml: log.bin: 1 position(s) beyond 90 degrees of latitude or 180 of longitude (first at POS 1)
4916.2,1958.8 4916.3,-18100@kml: log.bin: 1 position(s) beyond 90 degrees of latitude or 180 of longitude (first at POS 1)@kml: log.bin: does not look like a position log: no position on the Earth in 1 of the 2 records read
4916.2,1958.8 9100,1958.9 nan,1959.0@kml: log.bin: 1 position(s) left out of the route, coordinates not finite (first at POS 2)@kml: log.bin: 1 position(s) beyond 90 degrees of latitude or 180 of longitude (first at POS 1)@kml: log.bin: does not look like a position log: no position on the Earth in 2 of the 3 records read
ROWS
}

@test "a log that is no file of the user's: standard output's own file, a closed standard input" {
  needs posix-files
  echo '<kml/>' >trasa.kml
  cp eeprom.hex cut.bin
  for log in cut.bin /dev/stdout; do
    status=0
    kml "$log" trasa.kml >>cut.bin 2>stderr || status=$?
    expect 1 "kml: $log: is where the listing goes (standard output); refusing to read the log from it"
    cmp cut.bin eeprom.hex
  done
  # An emulator may hold a closed stream's number itself.
  [ -z "${KML_RUNNER:-}" ] || return 0
  for log in /dev/stdin /dev/fd/0; do
    status=0
    kml "$log" trasa.kml <&- >stdout 2>stderr || status=$?
    expect 1 "kml: $log: Bad file descriptor"
  done
  assert_equal "$(cat trasa.kml)" '<kml/>'
}

@test "no memory for a dump: one line, status 1, the old KML kept" {
  needs this-build
  big_log big.hex
  # The largest log as Intel HEX, 40 MB of padding after it: read whole, it needs more
  # room than the program has here, where the sample converts.
  objcopy -I binary -O ihex big.hex dump.ihex
  { cat dump.ihex; head -c 40000000 /dev/zero; } >big.ihex
  echo '<kml/>' >trasa.kml
  status=0
  (ulimit -v 30000; exec "$KML" big.ihex trasa.kml) >/dev/null 2>stderr || status=$?
  expect 1 'kml: big.ihex: Cannot allocate memory'
  assert_equal "$(cat trasa.kml)" '<kml/>'
  (ulimit -v 30000; exec "$KML" eeprom.hex sample.kml) >/dev/null
  same sample.kml "$G/sample.kml"
}
