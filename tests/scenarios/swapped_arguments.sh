# The arguments swapped: the log is not overwritten by the route of an old KML.
kml eeprom.hex old.kml >/dev/null
cp eeprom.hex before

run kml old.kml eeprom.hex
expect status 1
says 'kml: eeprom.hex: exists and is not a KML document; refusing to overwrite it'

cmp before eeprom.hex
