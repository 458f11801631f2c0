# A dump saved with a UTF-8 byte order mark.
sample_dump ihex
{ printf '\357\273\277'; cat dump.hex; } >d
mv d dump.hex

run kml dump.hex
expect status 0
expect stdout sample.out
expect stderr nothing

expect trasa.kml sample.kml
