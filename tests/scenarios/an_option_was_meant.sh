# An option is taken for a log that does not exist; the usage line says kml takes none.
echo '<kml/>' >trasa.kml

run kml --help
expect status 1
says 'kml: --help: No such file or directory' \
  'usage: kml [LOG [KML]] (kml takes no options)'

test "$(cat trasa.kml)" = '<kml/>'
