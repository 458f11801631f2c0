# A dump saved with a UTF-8 byte order mark.
sample_dump ihex
{ printf '\357\273\277'; cat dump.hex; } >d
mv d dump.hex

run kml dump.hex
expect stdout sample.out

expect trasa.kml sample.kml
