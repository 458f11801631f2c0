# An S5 record whose count is not the number of data records before it.
echo '<kml/>' >trasa.kml
sample_dump srec
sed -i '$i S5030001FB' dump.hex

run kml dump.hex
expect status 1
says 'kml: dump.hex: line 35: record count mismatch'

test "$(cat trasa.kml)" = '<kml/>'
