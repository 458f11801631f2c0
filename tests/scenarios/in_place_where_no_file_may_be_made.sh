# A KML whose folder takes no new file (here an immutable one; for anyone but root, one
# that is not writable) is written in place, as it was checked: a write that fails says
# that the KML is incomplete, and one that succeeds leaves the new KML.
needs immutable
mkdir ro
cp "$G/huge.kml" ro/trasa.kml
chattr +i ro
limit_file_size 1

run kml eeprom.hex ro/trasa.kml >/dev/null
expect status 255
expect stderr matching 'kml: ro/trasa.kml: .*; the KML is incomplete'

test "$(ls -A ro)" = trasa.kml
limit_file_size ''
kml eeprom.hex ro/trasa.kml >/dev/null
expect ro/trasa.kml sample.kml
chattr -i ro
