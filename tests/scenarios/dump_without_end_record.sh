# A dump whose last line, its end record, was lost: every record of the log is there and
# converts, but the dump says it was cut off, and the status says so too.
sample_dump ihex
sed '$d' dump.hex >lost.hex

run kml lost.hex
expect status 2
expect stdout sample.out
expect trasa.kml sample.kml
says 'kml: lost.hex: dump has no end record; it was cut off'
