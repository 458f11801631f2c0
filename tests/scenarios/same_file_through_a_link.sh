# The log named as its own KML, through a symbolic link: refused, the log kept.
echo '<kml/>' >trasa.kml

run kml eeprom.hex link
expect status 1
says 'kml: link: is the log itself; refusing to overwrite it'

cmp eeprom.hex "$SAMPLE"
