# A file system with no room for one more file: the new KML cannot be made, which is a
# failure to write it, and the old KML is left as it was.
needs no-inodes
cp "$G/huge.kml" small/old.kml

run kml eeprom.hex small/old.kml >/dev/null
expect status 255
says 'kml: small/old.kml: No space left on device; the KML was left as it was'

expect small/old.kml huge.kml
test "$(ls -A small)" = old.kml
