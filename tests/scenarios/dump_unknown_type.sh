# An Intel HEX record of a type that does not exist (06).
echo '<kml/>' >trasa.kml
sample_dump ihex
sed -i '2i :00000006FA' dump.hex

run kml dump.hex
expect status 1
says 'kml: dump.hex: line 2: unknown record type'

test "$(cat trasa.kml)" = '<kml/>'
