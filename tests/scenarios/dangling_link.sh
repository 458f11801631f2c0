# A link to nothing is not written through.
needs posix
ln -s nowhere.kml route.kml

run kml eeprom.hex route.kml
expect status 1
says 'kml: route.kml: is a link to nothing; refusing to write through it'

test -L route.kml
test ! -e nowhere.kml
