// The KML file: what is done with the KML path, decided once before anything is
// written, and writing it so that what was decided is what happens, whole or not at all.
//
// The decision is one of four. Refuse: the log itself, by any name; a block device, a directory, a link to nothing, the regular file standard
// output writes (the listing's), a file that is not a KML document (its first element,
// after a byte order mark, white space, the XML declaration, comments, processing
// instructions and a document type, is not `kml`) or that cannot be read to tell, a path
// whose folder does not exist or takes no file. Create: nothing is there, and nothing may
// be there at the end. Replace: this very file (a KML, an empty file, or white space
// alone), through a link the file it points to; it is replaced by a new file made beside
// it (".kml-" and six letters), written, synced and put in its place, and only if the
// path still holds it, unwritten, still a KML, through the same link and folder. In
// place: a FIFO, a character device, standard output as a pipe or terminal, or a checked
// file whose folder takes no new file (EACCES, EPERM, EROFS), if it is still as it was
// decided on, is written as it is.
#ifndef KML_KML_FILE_H
#define KML_KML_FILE_H

#include "outcome.h"
#include "platform.h"

#include <cstdio>
#include <string>

enum class KmlWay { Create, Replace, InPlace };

struct KmlFile {
    std::string path;     // as it was given
    std::string target;   // the file written: the path, or the file its link points to
    KmlWay way = KmlWay::Create;
    FileId checked;       // a regular file: the very file whose content was looked at
    FileId link;          // a path that is a link: the link itself, as it was
    std::string partial;  // the new file beside the target, until it is renamed
    int oldLeft = 0;      // why the old KML, traded out, could not be removed; 0 when it was
    std::FILE* stream = nullptr;
};

// How opening or closing the KML went.
enum class KmlResult {
    Succeeded,  // opened; or closed, and the KML whole at its path
    Refused,  // the path must not or cannot be written: nothing was
    Failed,   // the KML could not be written whole: the path is as it was, but for a KML
              // written in place, which is incomplete
};

// Decides what is done with the KML path `path`, given the log at `log`, into `kml`: why
// it is refused, if it is (said, and false), and which way it is written. Nothing is made
// or written.
bool DecideKml(const std::string& log, const std::string& path, KmlFile& kml, Outcome& outcome);

// Opens `kml.stream` as was decided: a new file beside the target (or, where its folder
// takes none, the target itself), or the path as it is. Says why unless it succeeded.
KmlResult OpenKml(KmlFile& kml, Outcome& outcome);

// Closes the stream and puts the KML where it was decided. Says why unless it succeeded.
KmlResult CloseKml(KmlFile& kml, Outcome& outcome);

#endif
