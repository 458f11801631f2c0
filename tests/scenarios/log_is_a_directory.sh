# A directory as the log.
needs posix
echo '<kml/>' >trasa.kml

run kml / new.kml
expect status 1
says 'kml: /: Is a directory'

test "$(cat trasa.kml)" = '<kml/>'
test ! -e new.kml
