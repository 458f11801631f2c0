# AVR tool chains put the EEPROM at 0x810000: a dump whose records all lie there holds
# no byte of the log, and is refused, the old KML kept.
echo '<kml/>' >trasa.kml
objcopy -I binary -O ihex --change-addresses 0x810000 eeprom.hex dump.hex

run kml dump.hex
expect status 1
says 'kml: dump.hex: no record holds a byte of the log; the first is at 0x810000'

test "$(cat trasa.kml)" = '<kml/>'
