# Two records that give one address different bytes: the dump cannot be trusted.
echo '<kml/>' >trasa.kml
sample_dump ihex
sed -i '3i :0100000033CC' dump.hex

run kml dump.hex
expect status 1
says 'kml: dump.hex: line 3: records give one address different bytes'

test "$(cat trasa.kml)" = '<kml/>'
