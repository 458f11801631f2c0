# A wrong checksum in S-records, on line 5: nothing converted, the old KML kept.
echo '<kml/>' >trasa.kml
sample_dump srec
awk 'NR == 5 { last = substr($0, length($0)); $0 = substr($0, 1, length($0) - 1) (last == "0" ? "1" : "0") } 1' \
  dump.hex >d
mv d dump.hex

run kml dump.hex
expect status 1
says 'kml: dump.hex: line 5: checksum mismatch'

test "$(cat trasa.kml)" = '<kml/>'
