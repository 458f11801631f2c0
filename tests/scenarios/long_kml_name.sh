# A KML whose name is 250 bytes long, as long as names go: a write that fails leaves it
# as it was, and its hard link too; one that succeeds replaces it.
name=$(printf 'k%.0s' {1..246}).kml
cp "$G/huge.kml" "$name"
ln "$name" hard.kml
limit_file_size 1

run kml eeprom.hex "$name" >/dev/null
expect status 255
expect stderr matching "kml: k+\.kml: .*; the KML was left as it was"

cmp "$G/huge.kml" "$name"
cmp "$G/huge.kml" hard.kml
limit_file_size ''
kml eeprom.hex "$name" >/dev/null
expect "$name" sample.kml
cmp "$G/huge.kml" hard.kml
