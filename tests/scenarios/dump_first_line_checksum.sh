# A wrong checksum on the very first line.
echo '<kml/>' >trasa.kml
sample_dump ihex
sed -i '1s/.$/0/;1s/00$/01/' dump.hex

run kml dump.hex
expect status 1
says 'kml: dump.hex: line 1: checksum mismatch'

test "$(cat trasa.kml)" = '<kml/>'
