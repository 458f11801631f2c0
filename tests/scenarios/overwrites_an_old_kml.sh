# An old KML, with a byte order mark, CR LF and twice as long, is replaced whole.
{ printf '\357\273\277\r\n'; cat "$G/huge.kml" "$G/huge.kml"; } >trasa.kml

run kml
expect stdout sample.out

expect trasa.kml sample.kml
