# A character that is no hex digit inside a record: nothing converted, the old KML kept.
echo '<kml/>' >trasa.kml
sample_dump ihex
sed -i '4s/^\(.\{9\}\)./\1G/' dump.hex

run kml dump.hex
expect status 1
says 'kml: dump.hex: line 4: bad character in record'

test "$(cat trasa.kml)" = '<kml/>'
