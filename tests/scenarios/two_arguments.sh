# Two arguments: the log and the KML.
mv eeprom.hex trip.bin

run kml trip.bin out.kml
expect stdout sample.out

expect out.kml sample.kml
test ! -e trasa.kml
