# A dump that begins with a blank line.
sample_dump ihex
{ echo; cat dump.hex; } >d
mv d dump.hex

run kml dump.hex
expect status 0
expect stdout sample.out
expect stderr nothing

expect trasa.kml sample.kml
