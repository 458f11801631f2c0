# A wrong checksum on the first record, after a blank line: the line number counts
# the blank line.
echo '<kml/>' >trasa.kml
sample_dump ihex
{ echo; sed '1s/.$/0/;1s/00$/01/' dump.hex; } >d
mv d dump.hex

run kml dump.hex
expect status 1
says 'kml: dump.hex: line 2: checksum mismatch'

test "$(cat trasa.kml)" = '<kml/>'
