# One argument: the log; the KML is trasa.kml.
mv eeprom.hex trip.bin

run kml trip.bin
expect stdout sample.out

expect trasa.kml sample.kml
