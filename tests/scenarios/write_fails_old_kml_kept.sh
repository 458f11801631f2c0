# The KML cannot be written whole (a file size limit): the old KML is left as it was,
# and nothing else is left in the folder.
cp "$G/huge.kml" trasa.kml
cp trasa.kml before
files=$(entries_here)
limit_file_size 1

run kml eeprom.hex trasa.kml >/dev/null
expect status 255
expect stderr matching 'kml: trasa.kml: .*; the KML was left as it was'

diff <(echo "$files") <(entries_here)
cmp before trasa.kml
