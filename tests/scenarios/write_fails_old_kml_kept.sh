# The KML cannot be written whole (a file size limit): the old KML is left as it was,
# and nothing else is left in the folder.
cp "$G/huge.kml" trasa.kml
cp trasa.kml before
files=$(find . -maxdepth 1 | sort)
limit_file_size 1

run kml eeprom.hex trasa.kml >/dev/null
expect status 255
expect stderr matching 'kml: trasa.kml: .*; the KML was left as it was'

diff <(echo "$files") <(find . -maxdepth 1 ! -name stdout ! -name stderr | sort)
cmp before trasa.kml
