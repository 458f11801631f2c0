# kml alone, where there is no eeprom.hex: the name it looked for, and how to name
# another.
rm eeprom.hex

run kml
expect status 1
says 'kml: eeprom.hex: No such file or directory' \
  'usage: kml [LOG [KML]]'
