# The KML cannot be written whole, through a hard link: the old KML, both names of it,
# left as it was.
cp "$G/huge.kml" old.kml
cp old.kml before
ln old.kml route.kml
files=$(entries_here)
limit_file_size 1

run kml eeprom.hex route.kml >/dev/null
expect status 255
expect stderr matching 'kml: route.kml: .*; the KML was left as it was'

diff <(echo "$files") <(entries_here)
cmp before old.kml
cmp before route.kml
