// The KML route document: one red line, "Trasa GPS", through every position.
//
// WriteHeader once, WritePoint once per position, WriteFooter once. They only write to
// the stream they are handed; the caller opens it, closes it and checks the result.
#ifndef KML_KML_ROUTE_H
#define KML_KML_ROUTE_H

#include <cstdio>

// Writes the 18 lines before the coordinates.
void WriteHeader(std::FILE* kml);

// Writes one coordinate line, "longitude,latitude" with five decimals as printf's
// "%.5f" prints them.
void WritePoint(std::FILE* kml, double longitude, double latitude);

// Writes the 7 lines after the coordinates.
void WriteFooter(std::FILE* kml);

#endif
