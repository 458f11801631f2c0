# A KML in a folder that does not exist.
echo '<kml/>' >trasa.kml

run kml eeprom.hex no/dir/out.kml
expect status 1
says 'kml: no/dir/out.kml: cannot create the KML: No such file or directory'
