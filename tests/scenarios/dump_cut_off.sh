# A dump cut off inside a line converts as far as its whole records go: 22 lines, 352
# bytes, 29 whole records, as the raw log cut there does.
sample_dump ihex
head -c 1000 dump.hex >cut.hex

run kml cut.hex
expect status 2
says 'kml: cut.hex: dump has no end record; it was cut off' \
  'kml: cut.hex: log ends after 29 of 50 records, with no end marker'

head -c 352 eeprom.hex >raw
kml raw raw.kml >raw.out || test $? = 2
cmp raw.kml trasa.kml
expect stdout ./raw.out
