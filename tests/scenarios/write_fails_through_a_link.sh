# The KML cannot be written whole, through a symbolic link: the file it points to is
# left as it was, the link stays.
needs posix
cp "$G/huge.kml" old.kml
cp old.kml before
ln -s old.kml route.kml
files=$(entries_here)
limit_file_size 1

run kml eeprom.hex route.kml >/dev/null
expect status 255
expect stderr matching 'kml: route.kml: .*; the KML was left as it was'

diff <(echo "$files") <(entries_here)
cmp before old.kml
test -L route.kml
