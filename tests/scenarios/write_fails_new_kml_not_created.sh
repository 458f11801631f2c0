# The KML cannot be written whole (a file size limit): no KML is created, and nothing
# else is left in the folder.
files=$(entries_here)
limit_file_size 1

run kml eeprom.hex new.kml >/dev/null
expect status 255
expect stderr matching 'kml: new.kml: .*; no KML was created'

diff <(echo "$files") <(entries_here)
test ! -e new.kml
