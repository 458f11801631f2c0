# A wrong checksum on line 7 of a UTF-16 dump is told as in any dump: nothing converted,
# the old KML kept.
echo '<kml/>' >trasa.kml
sample_dump ihex
sed '7s/.$/0/;7s/00$/01/' dump.hex | iconv -f ASCII -t UTF-16LE >d
{ printf '\377\376'; cat d; } >dump.hex

run kml dump.hex
expect status 1
says 'kml: dump.hex: line 7: checksum mismatch'

test "$(cat trasa.kml)" = '<kml/>'
