# The null device as the KML: written to, left a character device.
needs posix

run kml eeprom.hex /dev/null
expect status 0
expect stdout sample.out
expect stderr nothing

test -c /dev/null
