# A line of 600 blanks and then junk is no record, however far the junk is.
echo '<kml/>' >trasa.kml
sample_dump ihex
awk 'NR == 3 { printf "%600sGARBAGE\n", "" } 1' dump.hex >d
mv d dump.hex

run kml dump.hex
expect status 1
says 'kml: dump.hex: line 3: not an Intel HEX record'

test "$(cat trasa.kml)" = '<kml/>'
