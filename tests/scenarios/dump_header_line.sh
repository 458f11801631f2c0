# A line of prose at the head of S-records is a fault, not a comment.
echo '<kml/>' >trasa.kml
sample_dump srec
sed -i '1i # EEPROM, logger 7' dump.hex

run kml dump.hex
expect status 1
says 'kml: dump.hex: line 1: not an S-record'

test "$(cat trasa.kml)" = '<kml/>'
