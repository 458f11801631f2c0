# A wrong checksum on line 7: nothing converted, the old KML kept.
echo '<kml/>' >trasa.kml
sample_dump ihex
sed -i '7s/.$/0/;7s/00$/01/' dump.hex

run kml dump.hex
expect status 1
says 'kml: dump.hex: line 7: checksum mismatch'

test "$(cat trasa.kml)" = '<kml/>'
