# A file of 65,536 spaces and then notes is no KML, however far the notes are.
{ printf ' %.0s' {1..65536}; echo 'my thesis'; } >trasa.kml
cp trasa.kml before

run kml
expect status 1
says 'kml: trasa.kml: exists and is not a KML document; refusing to overwrite it'

cmp before trasa.kml
