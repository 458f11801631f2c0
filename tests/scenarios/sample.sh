# The bundled sample, made again from its description, converts with no arguments.
"$MAKELOG" "$SRC/examples/trip.txt" made.hex
cmp made.hex eeprom.hex

run kml
expect stdout sample.out

expect trasa.kml sample.kml
