# Text dumps as people save them, and raw logs that only look like text: each converts as
# the raw log it holds would.
load helper

@test "dumps as people save them convert as the raw log they hold" {
  # FORM@FILTER: the sample that objcopy writes as FORM, put through FILTER.
  while IFS=@ read -r form filter; do
    echo "row: $form @ $filter"
    saved "$form" | eval "$filter" >dump.hex
    as_sample dump.hex
  done <<'ROWS'
ihex@sed 's|$| // 00000> ...|; 5s/$/\n/' | tr A-F a-f | sed 's/$/\r/'
ihex@{ echo; cat; }
ihex@{ printf '\r\n\r\n'; sed 's/$/\r/'; }
ihex@{ printf '\357\273\277'; cat; }
srec@{ printf '\357\273\277'; sed 's/$/\r/'; }
ihex@tr '\n' '\r'
srec@head -c -1
srec@sed 's/^/  \t/'
ihex@{ printf '\377\376'; sed 's/$/\r/' | iconv -f ASCII -t UTF-16LE; }
srec@sed 's/$/\r/' | iconv -f ASCII -t UTF-16LE
ihex@sed '3i :0100000032CD'
ihex@sed '$i :02000004FFFFFC\n:02FFFE00ABCD89'
ihex@sed '1s/$/ ; pamięć EEPROM, zapis z łódzkiego programatora/'
srec@{ printf '\377\376'; sed '1s/$/ ; pamięć EEPROM/; s/$/\r/' | iconv -f UTF-8 -t UTF-16LE; }
ROWS
}

@test "a small dump with what tools leave after it (^Z, NUL bytes) or in UTF-16 with Polish and no mark is a dump" {
  "$MAKELOG" "$G/marker_fourth.txt" log.bin
  objcopy -I binary -O ihex log.bin saved.hex
  while read -r filter; do
    echo "row: $filter"
    tr -d '\r' <saved.hex | eval "$filter" >dump.hex
    as_raw dump.hex 0 log.bin
  done <<'ROWS'
{ cat; printf '\032'; }
{ cat; head -c 3000 /dev/zero; }
sed '1s/$/ ; pamięć EEPROM, Łódź/' | iconv -f UTF-8 -t UTF-16LE
ROWS
}

# as_raw DUMP STATUS MESSAGE... RAW: DUMP converts as the raw log RAW does, with STATUS and
# the messages.
as_raw() {
  local dump=$1 raw=${*: -1}
  listing=raw.out convert "$raw" raw.kml
  convert "$dump"
  expect "${@:2:$#-2}"
  same stdout raw.out
  same trasa.kml raw.kml
}

@test "a line lost from a dump: a warning where it eats no whole T; where its bytes read as the end marker, the log stops there, status 2" {
  if command -v srec_cat >/dev/null; then
    # Eight bytes a line: the third, bytes 8 to 15, holds only a part of a T.
    srec_cat eeprom.hex -binary -o - -intel -line-length=27 | sed 3d >dump.hex
    { head -c 8 eeprom.hex; printf '\377%.0s' {1..8}; tail -c +17 eeprom.hex; } >raw.hex
    as_raw dump.hex 0 'kml: dump.hex: bytes 0x0008 to 0x000F are in no record; read as erased (FF)' \
      'kml: dump.hex: 1 position(s) left out of the route, coordinates not finite (first at POS 0)' raw.hex
  fi
  # Sixteen bytes a line: the third holds the whole T of the fourth record.
  saved ihex | sed 3d >dump.hex
  { head -c 32 eeprom.hex; printf '\377%.0s' {1..16}; tail -c +49 eeprom.hex; } >raw.hex
  as_raw dump.hex 2 'kml: dump.hex: 1 position(s) left out of the route, coordinates not finite (first at POS 2)' \
    'kml: dump.hex: log stops at bytes 0x0020 to 0x002F, which no record holds; 47 of its 50 records were not read' raw.hex
  # The whole log in no record, its records at 64 KiB: the count and the first T too.
  saved ihex --change-addresses 0x10000 >moved.hex
  convert moved.hex
  expect 2 'kml: moved.hex: log stops at bytes 0x0000 to 0xFFFF, which no record holds; 65535 of its 65535 records were not read'
  same stdout "$G/marker_first.out"
  same trasa.kml "$G/marker_first.kml"
  # A real end marker in the dump's data stays the end of the log.
  "$MAKELOG" "$G/marker_fourth.txt" log.bin
  objcopy -I binary -O ihex log.bin dump.hex
  as_raw dump.hex 0 log.bin
}

@test "a dump cut off converts as far as its whole records go; status 2 says it was cut off" {
  saved ihex | head -c 1000 >dump.hex
  head -c 352 eeprom.hex >raw.hex
  as_raw dump.hex 2 'kml: dump.hex: dump has no end record; it was cut off' \
    'kml: dump.hex: log ends after 29 of 50 records, with no end marker' raw.hex
  saved ihex | sed '$d' >dump.hex
  as_raw dump.hex 2 'kml: dump.hex: dump has no end record; it was cut off' eeprom.hex
}

@test "binary that begins like an S-record or a UTF-16 mark is a raw log" {
  while read -r head count; do
    { printf '%b' "$head"; tail -c +3 eeprom.hex; } >log.bin
    { echo "Ilosc pozycji: $count" | as_written; sed 1d "$G/sample.out"; } >expected
    convert log.bin
    expect 0
    same stdout expected
    same trasa.kml "$G/sample.kml"
  done <<'ROWS'
S1 12627
\0377\0376 65279
ROWS
  # Every two bytes a character, the first ":1" as a dump's first line begins, with no
  # mark: few of its characters are ASCII, as all of a dump's records are.
  printf 'count 58\nrecord 1094778929 4916.2 1958.8\nrecord 1094778929 4916.3 1958.9\nend\n' >wide.txt
  "$MAKELOG" wide.txt log.bin
  convert log.bin
  expect 0
  assert_equal "$(head -2 stdout)" "$(printf 'Ilosc pozycji: 58\nPOS 0\tT: 1094778929 X: 4916.200195 Y: 1958.800049' | as_written)"
}
