# A cut KML with a comment, a processing instruction and a document type (with a '>'
# in its internal subset) is still a KML, and is replaced.
{ head -1 "$G/huge.kml"; echo '<!-- by hand -->'; echo '<?pi x?><!DOCTYPE kml [<!ENTITY a "]>">]>'; sed 1d "$G/huge.kml" | head -c 200; } >trasa.kml

run kml
expect stdout sample.out

expect trasa.kml sample.kml
