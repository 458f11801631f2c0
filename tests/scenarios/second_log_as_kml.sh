# A second log named as the KML is not overwritten.
cp eeprom.hex day2.hex
cp day2.hex before

run kml eeprom.hex day2.hex
expect status 1
says 'kml: day2.hex: exists and is not a KML document; refusing to overwrite it'

cmp before day2.hex
