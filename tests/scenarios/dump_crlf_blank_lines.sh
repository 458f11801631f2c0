# A dump with CR LF line ends and blank lines before its first record.
sample_dump ihex
{ printf '\r\n\r\n'; sed 's/$/\r/' dump.hex; } >d
mv d dump.hex

run kml dump.hex
expect stdout sample.out

expect trasa.kml sample.kml
