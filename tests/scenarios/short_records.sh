# A log that ends where a record should begin, with no end marker.
"$MAKELOG" "$G/short_records.txt" log.bin

run kml log.bin route.kml
expect status 2
expect stdout short_records.out
says 'kml: log.bin: log ends after 2 of 4 records, with no end marker'

expect route.kml short_records.kml
dumps_agree log.bin 2
