# A dump with CR LF line ends and blank lines before its first record.
sample_dump ihex
{ printf '\r\n\r\n'; sed 's/$/\r/' dump.hex; } >d
mv d dump.hex

run kml dump.hex
expect status 0
expect stdout sample.out
expect stderr nothing

expect trasa.kml sample.kml
