# Text dumps that cannot be trusted convert nothing: status 1, the line and the reason
# said, and an old KML left as it was.
load helper

@test "a dump that cannot be trusted is refused, the line and the reason said, the old KML kept" {
  # FORM@FILTER@MESSAGE: the sample that objcopy writes as FORM, put through FILTER, is
  # refused with MESSAGE. In FILTER, `sum N` makes the checksum of line N wrong.
  sum() { sed "$1s/.\$/0/;$1s/00\$/01/"; }
  while IFS=@ read -r form filter message; do
    echo "row: $form @ $filter"
    echo '<kml/>' >trasa.kml
    # shellcheck disable=SC2086 # the form's words
    saved $form | eval "$filter" >dump.hex
    convert dump.hex
    expect 1 "kml: dump.hex: $message"
    assert_equal "$(cat trasa.kml)" '<kml/>'
    same stdout /dev/null
  done <<'ROWS'
ihex@sum 7@line 7: checksum mismatch
ihex@sum 1@line 1: checksum mismatch
ihex@{ echo; sum 1; }@line 2: checksum mismatch
srec@awk 'NR == 5 { n = length($0); $0 = substr($0, 1, n - 1) (substr($0, n) == "0" ? "1" : "0") } 1'@line 5: checksum mismatch
ihex@{ printf '\377\376'; sum 7 | sed 's/$/\r/' | iconv -f ASCII -t UTF-16LE; }@line 7: checksum mismatch
ihex@sed '4s/^\(.\{9\}\)./\1G/'@line 4: bad character in record
ihex@sed '2i :00000006FA'@line 2: unknown record type
srec@sed '1i # EEPROM, logger 7'@line 1: not an S-record
ihex@sed '3i GARBAGE'@line 3: not an Intel HEX record
ihex@sed '3s/$/00/'@line 3: wrong record length
srec@sed '$i S5030001FB'@line 35: record count mismatch
ihex@sed '3i :0100000033CC'@line 3: records give one address different bytes
srec --change-addresses 0xC0000@cat@no record holds a byte of the log; the first is at 0xC0000
ihex --change-addresses 0x810000@cat@no record holds a byte of the log; the first is at 0x810000
ihex@sed -n '$p'@no record holds a byte of the log
srec@sed -n '1p;$p'@no record holds a byte of the log
ihex@{ echo :0000000000; sed -n '$p'; }@no record holds a byte of the log
ihex@{ echo '; pamięć EEPROM'; cat; }@line 1: not an Intel HEX record
ihex@{ cat; head -c 67108864 /dev/zero | tr '\0' '\n'; }@is larger than 64 MiB, which no dump of a log is
ROWS
}
