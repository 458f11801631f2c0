# A directory as the log.
needs posix
echo '<kml/>' >trasa.kml

run kml / new.kml
expect status 1
expect stdout nothing
expect stderr <<'EOF'
kml: /: Is a directory
EOF

test "$(cat trasa.kml)" = '<kml/>'
test ! -e new.kml
