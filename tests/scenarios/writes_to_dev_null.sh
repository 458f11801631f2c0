# The null device as the KML: written to, left a character device.
needs posix

run kml eeprom.hex /dev/null
expect stdout sample.out

test -c /dev/null
