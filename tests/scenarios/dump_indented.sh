# S-records indented with spaces and a tab.
sample_dump srec
sed 's/^/  \t/' dump.hex >d
mv d dump.hex

run kml dump.hex
expect stdout sample.out

expect trasa.kml sample.kml
