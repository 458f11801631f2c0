# A log that does not exist, with a Polish name: nothing converted, the old KML kept.
echo '<kml/>' >trasa.kml

run kml brak_łódź.hex
expect status 1
says 'kml: brak_łódź.hex: No such file or directory'

test "$(cat trasa.kml)" = '<kml/>'
