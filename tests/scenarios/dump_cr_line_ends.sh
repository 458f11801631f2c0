# A dump whose lines end in CR alone, as old Macs saved text.
sample_dump ihex
tr '\n' '\r' <dump.hex >d
mv d dump.hex

run kml dump.hex
expect stdout sample.out

expect trasa.kml sample.kml
