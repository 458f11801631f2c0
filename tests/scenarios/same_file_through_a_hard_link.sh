# The log named as its own KML, through a hard link: refused, the log kept.
echo '<kml/>' >trasa.kml

run kml eeprom.hex hard
expect status 1
says 'kml: hard: is the log itself; refusing to overwrite it'

cmp eeprom.hex "$SAMPLE"
