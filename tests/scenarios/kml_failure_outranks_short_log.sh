# A log that ends early and a KML that cannot be written: the KML's failure decides
# the status.
"$MAKELOG" "$G/short_records.txt" log.bin

run kml log.bin /dev/full
expect status 255
expect stdout short_records.out
says 'kml: log.bin: log ends after 2 of 4 records, with no end marker' \
  'kml: /dev/full: No space left on device'
