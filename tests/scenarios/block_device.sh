# A block device is never written to as a KML.
needs posix
mknod disk b 7 200

run kml eeprom.hex disk
expect status 1
says 'kml: disk: is a block device; refusing to write a KML onto it'

test -b disk
