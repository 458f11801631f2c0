# A name with a line end, an escape and a tab in it is told on one line, escaped as
# `ls -b` shows it.
needs posix
echo '<kml/>' >trasa.kml

run kml $'day\n2\033\t.hex'
expect status 1
says 'kml: day\n2\033\t.hex: No such file or directory'

test "$(cat trasa.kml)" = '<kml/>'
