# Two arguments: the log and the KML.
mv eeprom.hex trip.bin

run kml trip.bin out.kml
expect status 0
expect stdout sample.out
expect stderr nothing

expect out.kml sample.kml
test ! -e trasa.kml
