# S-records saved with a UTF-8 byte order mark and CR LF line ends.
sample_dump srec
{ printf '\357\273\277'; sed 's/$/\r/' dump.hex; } >d
mv d dump.hex

run kml dump.hex
expect stdout sample.out

expect trasa.kml sample.kml
