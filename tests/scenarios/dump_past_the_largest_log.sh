# S-records that begin at 0xC0000, just past the largest log's end (0xBFFF6): refused,
# the old KML kept.
echo '<kml/>' >trasa.kml
objcopy -I binary -O srec --change-addresses 0xC0000 eeprom.hex dump.hex

run kml dump.hex
expect status 1
says 'kml: dump.hex: no record holds a byte of the log; the first is at 0xC0000'

test "$(cat trasa.kml)" = '<kml/>'
