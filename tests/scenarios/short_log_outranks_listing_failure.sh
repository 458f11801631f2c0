# A log that ends early and a listing that cannot be written (a full device): the log
# decides the status, and the KML holds the whole records.
"$MAKELOG" "$G/short_records.txt" log.bin

run kml log.bin route.kml >/dev/full
expect status 2
says 'kml: log.bin: log ends after 2 of 4 records, with no end marker' \
  'kml: standard output: No space left on device'

expect route.kml short_records.kml
