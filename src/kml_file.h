// The KML file: which paths may be written, and writing one so that it is replaced whole
// or not at all.
//
// Only a KML document is replaced (or a file that holds nothing): its first element,
// after a byte order mark, white space, the XML declaration, comments, processing
// instructions and a document type, is `kml`. A regular file is written as a new file
// beside it and renamed over it once complete and closed; through a symbolic link, the
// file the link points to is replaced and the link stays. FIFOs, character devices and
// standard output itself are written as they are, and so is a file whose folder has no
// room for a new file (it is not writable).
#ifndef KML_KML_FILE_H
#define KML_KML_FILE_H

#include <cstdio>
#include <string>

struct KmlFile {
    std::string path;      // as it was given
    std::string target;    // the file written: the path, or the file its link points to
    bool existed = false;  // the target is a regular file already
    bool inPlace = false;  // the target is written directly, not replaced
    std::string partial;   // the new file beside the target, until it is renamed over it
    std::FILE* stream = nullptr;
};

// Whether `path` may be written, and how: false, having said why on `messages`, for a
// block device, a directory, a link to nothing, or a file that is not a KML document or
// cannot be read to tell.
bool CheckKmlPath(const std::string& path, KmlFile& kml, std::FILE* messages);

// Opens `kml.stream`: a new file beside the target, or the target itself. False, having
// said why, when neither can be opened.
bool OpenKml(KmlFile& kml, std::FILE* messages);

// Closes the stream and, after checking the path again as it is now, renames the new file
// over it. Returns 0; kNothingConverted when the path may no longer be written; kKmlFailed
// when the KML could not be written whole, the path left as it was. Says why on `messages`.
int CloseKml(KmlFile& kml, std::FILE* messages);

#endif
