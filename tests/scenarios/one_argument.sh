# One argument: the log; the KML is trasa.kml.
mv eeprom.hex trip.bin

run kml trip.bin
expect status 0
expect stdout sample.out
expect stderr nothing

expect trasa.kml sample.kml
