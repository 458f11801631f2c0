# A dump that begins with a blank line.
sample_dump ihex
{ echo; cat dump.hex; } >d
mv d dump.hex

run kml dump.hex
expect stdout sample.out

expect trasa.kml sample.kml
