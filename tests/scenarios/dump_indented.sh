# S-records indented with spaces and a tab.
sample_dump srec
sed 's/^/  \t/' dump.hex >d
mv d dump.hex

run kml dump.hex
expect status 0
expect stdout sample.out
expect stderr nothing

expect trasa.kml sample.kml
