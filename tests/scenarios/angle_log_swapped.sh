# The same log as the second argument, the arguments swapped: refused, left as it was.
{ printf '<\000'; tail -c +3 eeprom.hex; } >day2.hex
kml day2.hex old.kml >/dev/null
cp day2.hex before

run kml old.kml day2.hex
expect status 1
says 'kml: day2.hex: exists and is not a KML document; refusing to overwrite it'

cmp before day2.hex
