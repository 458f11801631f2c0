# The bundled sample, made again from its description, converts with no arguments.
"$MAKELOG" "$SRC/examples/trip.txt" made.hex
cmp made.hex eeprom.hex

run kml
expect status 0
expect stdout sample.out
expect stderr nothing

expect trasa.kml sample.kml
