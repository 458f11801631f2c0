# New files that killed runs left beside the KML, under the names of today and of old,
# change nothing: a write that fails still leaves the old KML as it was, and them too.
cp "$G/huge.kml" trasa.kml
cp trasa.kml before
for k in '' {1..99}; do echo stale >".trasa.kml.part$k"; done
for name in aaaaaa bbbbbb Zz0099; do echo stale >".kml-$name"; done
files=$(entries_here)
limit_file_size 1

run kml eeprom.hex trasa.kml >/dev/null
expect status 255
expect stderr matching 'kml: trasa.kml: .*; the KML was left as it was'

diff <(echo "$files") <(entries_here)
cmp before trasa.kml
