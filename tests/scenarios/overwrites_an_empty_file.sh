# An empty file holds nothing to lose: replaced.
: >trasa.kml

run kml
expect status 0
expect stdout sample.out
expect stderr nothing

expect trasa.kml sample.kml
