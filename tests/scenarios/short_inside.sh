# A log that ends inside a record: status 2, the whole records converted.
"$MAKELOG" "$G/short_inside.txt" log.bin

run kml log.bin route.kml
expect status 2
expect stdout short_inside.out
says 'kml: log.bin: log ends after 1 of 2 records, with no end marker'

expect route.kml short_inside.kml
dumps_agree log.bin 2
