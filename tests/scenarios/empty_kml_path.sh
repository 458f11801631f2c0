# An empty KML path names no file: refused before anything is made.
files=$(find . -maxdepth 1 | sort)

run kml eeprom.hex ''
expect status 1
says 'kml: : cannot create the KML: No such file or directory'

diff <(echo "$files") <(find . -maxdepth 1 ! -name stdout ! -name stderr | sort)
