# The log named as its own KML: refused, the log kept.
echo '<kml/>' >trasa.kml

run kml eeprom.hex eeprom.hex
expect status 1
says 'kml: eeprom.hex: is the log itself; refusing to overwrite it'

cmp eeprom.hex "$SAMPLE"
