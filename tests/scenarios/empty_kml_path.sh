# An empty KML path names no file: refused before anything is made.
files=$(entries_here)

run kml eeprom.hex ''
expect status 1
says 'kml: : cannot create the KML: No such file or directory'

diff <(echo "$files") <(entries_here)
