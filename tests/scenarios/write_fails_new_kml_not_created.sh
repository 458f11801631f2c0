# The KML cannot be written whole (a file size limit): no KML is created, and nothing
# else is left in the folder.
files=$(find . -maxdepth 1 | sort)
limit_file_size 1

run kml eeprom.hex new.kml >/dev/null
expect status 255
expect stderr matching 'kml: new.kml: .*; no KML was created'

diff <(echo "$files") <(find . -maxdepth 1 ! -name stdout ! -name stderr | sort)
test ! -e new.kml
