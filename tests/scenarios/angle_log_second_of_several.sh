# A raw log whose count byte is '<' (60 records) is no KML, though it begins like one:
# named as the KML by mistake, it is refused and left as it was.
{ printf '<\000'; tail -c +3 eeprom.hex; } >day2.hex
cp day2.hex before

run kml eeprom.hex day2.hex
expect status 1
says 'kml: day2.hex: exists and is not a KML document; refusing to overwrite it'

cmp before day2.hex
