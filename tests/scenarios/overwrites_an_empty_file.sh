# An empty file holds nothing to lose: replaced.
: >trasa.kml

run kml
expect stdout sample.out

expect trasa.kml sample.kml
