// The KML path: what may be done with it, decided once before anything is written;
// the KML written beside it (or in place where it must be) and put there whole, or not at all.
#include "kml_file.h"

#include "outcome.h"
#include "stream_errors.h"
#include "text_encoding.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <random>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// How far past the white space an existing file begins with its root element is looked
// for.
constexpr std::size_t kProlog = 1 << 16;

enum class Content { Nothing, Kml, Other };

bool StartsAt(const std::string& text, std::size_t at, const char* what)
{
    return text.compare(at, std::strlen(what), what) == 0;
}

// Where the first `close` after `from` ends; npos when there is none.
std::size_t EndAfter(const std::string& text, std::size_t from, const char* close)
{
    const std::size_t at = from == std::string::npos ? from : text.find(close, from);
    return at == std::string::npos ? at : at + std::strlen(close);
}

// Where a document type declaration ends: at the first '>' outside quotes and outside
// its internal subset, "[...]"; npos when it does not.
std::size_t EndOfDoctype(const std::string& text, std::size_t at)
{
    char quote = 0;
    int depth = 0;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        if (quote != 0) {
            quote = c == quote ? 0 : quote;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '[' || c == ']') {
            depth += c == '[' ? 1 : -1;
        } else if (c == '>' && depth == 0) {
            return at + 1;
        }
    }
    return std::string::npos;
}

// What the first bytes of a file hold: white space alone, a KML document, or other.
Content ContentOf(const std::string& head)
{
    std::size_t at = Utf8MarkLength(head);
    bool seen = false;  // a declaration, comment or the like: something, if not a KML
    for (;;) {
        at = head.find_first_not_of(kWhiteSpace, at);
        if (at == std::string::npos) {
            return seen ? Content::Other : Content::Nothing;
        }
        std::size_t end;
        if (StartsAt(head, at, "<?")) {
            end = EndAfter(head, at, "?>");
        } else if (StartsAt(head, at, "<!--")) {
            end = EndAfter(head, at, "-->");
        } else if (StartsAt(head, at, "<!DOCTYPE")) {
            end = EndOfDoctype(head, at);
        } else {
            const bool rootEnds =
                at + 4 < head.size() && (IsWhiteSpace(head[at + 4]) || head[at + 4] == '>' || head[at + 4] == '/');
            return StartsAt(head, at, "<kml") && rootEnds ? Content::Kml : Content::Other;
        }
        if (end == std::string::npos) {
            return Content::Other;  // cut off before the root element
        }
        at = end;
        seen = true;
    }
}

// The start of what `stream` holds, for ContentOf: its byte order mark, then, past all the
// white space it begins with, however much, up to kProlog bytes. False when it cannot be
// read.
bool ReadHead(std::FILE* stream, std::string& head)
{
    std::string chunk(kProlog, '\0');
    head.clear();
    bool begun = false;  // something but white space has been met
    for (bool first = true; head.size() < kProlog; first = false) {
        chunk.resize(std::fread(&chunk[0], 1, kProlog, stream));
        if (chunk.empty()) {
            break;
        }
        std::size_t from = 0;
        if (first) {
            from = Utf8MarkLength(chunk);
            head = chunk.substr(0, from);
        }
        if (!begun) {
            from = chunk.find_first_not_of(kWhiteSpace, from);
            begun = from != std::string::npos;
        }
        if (begun) {
            head.append(chunk, from, kProlog - head.size());
        }
        chunk.resize(kProlog);
    }
    return !std::ferror(stream);
}

// Says why an existing regular file must not be replaced, if it must not; else which file
// it is, into `checked`: the very file whose content was looked at.
bool MayReplace(const std::string& path, const std::string& file, FileId& checked, Outcome& outcome)
{
    std::string head;
    std::FILE* const stream = OpenFile(file, "rb").stream;
    checked = stream != nullptr ? IdentifyStream(stream) : FileId{};
    const bool read = checked.exists && ReadHead(stream, head);
    if (stream != nullptr) {
        std::fclose(stream);
    }
    if (!read) {
        Say(outcome, {Message::KmlUnreadable, path});
        return false;
    }
    if (ContentOf(head) == Content::Other) {
        Say(outcome, {Message::KmlNotKml, path});
        return false;
    }
    return true;
}

// Whether `file` still is the very file `checked`, unchanged, and still something that
// may be replaced.
bool HoldsWhatWasDecided(std::FILE* file, const FileId& checked)
{
    std::string head;
    return IdentifyStream(file) == checked && ReadHead(file, head) && ContentOf(head) != Content::Other;
}

// The folder of `path`: "." where it names none.
std::string FolderOf(const std::string& path)
{
    const fs::path folder = fs::u8path(path).parent_path();
    return folder.empty() ? "." : folder.u8string();
}

// What a failed replacement says of the path: as it was.
Message LeftAsItWas(const KmlFile& kml)
{
    return kml.way == KmlWay::Replace ? Message::KmlKept : Message::KmlNotCreated;
}

// Removes the new file, unless there is none; where it cannot be, says where it is left.
void Discard(KmlFile& kml, Outcome& outcome)
{
    if (!kml.partial.empty()) {
        const int error = RemoveNewFile();
        if (error != 0) {
            Say(outcome, {Message::KmlNewFileLeft, kml.path, 0, {kml.partial, std::strerror(error)}});
        }
        kml.partial.clear();
    }
}

// Makes the new file in `folder`, under a name no file there has: ".kml-" and six letters
// or digits, whatever the KML's own name (names differ in case only where the folder
// does). EEXIST when every name tried was taken.
Opened MakeNewFile(const std::string& folder, std::string& path)
{
    const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::uint64_t seed = std::random_device{}() ^
                         static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < 1000; ++attempt) {
        path = folder + "/.kml-";
        for (int k = 0; k < 6; ++k) {
            seed = seed * 6364136223846793005u + 1442695040888963407u;
            path += kLetters[(seed >> 33) % (sizeof kLetters - 1)];
        }
        const Opened made = CreateNewFile(path);
        if (made.stream != nullptr || made.error != EEXIST) {
            return made;
        }
    }
    return {nullptr, EEXIST};
}

// Says that the path no longer holds what was decided on.
KmlResult Changed(const KmlFile& kml, Outcome& outcome)
{
    Say(outcome, {Message::KmlChanged, kml.path});
    return KmlResult::Refused;
}

// Puts the new file, written whole, where it was decided: at the path where nothing was,
// or in place of the very file checked, through the link it was reached by.
KmlResult PutInPlace(KmlFile& kml, Outcome& outcome)
{
    if (kml.link.exists && IdentifyFile(kml.path) != kml.link) {
        Changed(kml, outcome);  // the link was replaced or pointed elsewhere
        Discard(kml, outcome);
        return KmlResult::Refused;
    }
    const Placing placing = kml.way == KmlWay::Create
                                ? PlaceNewFile(kml.partial, kml.target)
                                : ReplaceCheckedFile(kml.partial, kml.target, kml.checked, HoldsWhatWasDecided);
    const Placed placed = placing.placed;
    const int failure = placing.error;
    if (placed == Placed::Done || placed == Placed::Unsynced) {
        ForgetNewFile();
        kml.partial.clear();
        if (placed == Placed::Unsynced) {
            Say(outcome, {Message::KmlUnsynced, kml.path, 0, {std::strerror(failure)}});
            return KmlResult::Failed;
        }
        return KmlResult::Succeeded;
    }
    if (placed == Placed::Stranded) {
        Say(outcome, {Message::KmlChangedMoved, kml.path, 0, {kml.partial}});
        ForgetNewFile();
        return KmlResult::Refused;
    }
    if (placed == Placed::Changed) {
        Changed(kml, outcome);
    } else {
        Say(outcome, {LeftAsItWas(kml), kml.path, 0, {std::strerror(failure)}});
    }
    Discard(kml, outcome);
    return placed == Placed::Changed ? KmlResult::Refused : KmlResult::Failed;
}

// Flushes, syncs (a new file) and closes the KML's stream: 0, or why it failed as an
// errno value.
int Finish(KmlFile& kml)
{
    int error = FlushError(kml.stream);
    if (error == 0 && !kml.partial.empty()) {
        error = SyncFile(kml.stream);
    }
    errno = 0;
    if (std::fclose(kml.stream) != 0 && error == 0) {
        error = LastError();
    }
    kml.stream = nullptr;
    return error;
}

}  // namespace

bool DecideKml(const std::string& log, const std::string& path, KmlFile& kml, Outcome& outcome)
{
    kml = KmlFile{};
    kml.path = kml.target = path;
    std::error_code error;  // a path that does not exist names no file, and no directory
    if (fs::is_directory(fs::u8path(log), error)) {  // opens on some systems
        Say(outcome, {Message::LogUnopenable, log, 0, {std::strerror(EISDIR)}});
        return false;
    }
    if (fs::equivalent(fs::u8path(log), fs::u8path(path), error)) {  // by any spelling or link
        Say(outcome, {Message::KmlIsLog, path});
        return false;
    }
    if (path.empty()) {
        Say(outcome, {Message::KmlCannotCreate, path, 0, {std::strerror(ENOENT)}});
        return false;
    }
    if (IsListingFile(path)) {
        Say(outcome, {Message::KmlIsListing, path});
        return false;
    }
    if (IsWrittenInPlace(path)) {
        kml.way = KmlWay::InPlace;
        return true;
    }
    const fs::path name = fs::u8path(path);
    const bool link = fs::is_symlink(fs::symlink_status(name, error));
    switch (fs::status(name, error).type()) {
    case fs::file_type::not_found:
        if (link) {
            Say(outcome, {Message::KmlLinkToNothing, path});
            return false;
        }
        if (const int refused = RefusesNewFile(FolderOf(path))) {
            Say(outcome, {Message::KmlCannotCreate, path, 0, {std::strerror(refused)}});
            return false;
        }
        kml.way = KmlWay::Create;
        return true;
    case fs::file_type::directory:
        Say(outcome, {Message::KmlUnopenable, path, 0, {std::strerror(EISDIR)}});
        return false;
    case fs::file_type::block:
        Say(outcome, {Message::KmlBlockDevice, path});
        return false;
    case fs::file_type::regular:
        if (link) {
            kml.link = IdentifyFile(path);
            kml.target = fs::canonical(name, error).u8string();
            if (error) {
                Say(outcome, {Message::KmlUnopenable, path, 0, {error.message()}});
                return false;
            }
        }
        // Where the folder takes no new file, the file may still be written: in place.
        kml.way = RefusesNewFile(FolderOf(kml.target)) != 0 ? KmlWay::InPlace : KmlWay::Replace;
        return MayReplace(path, kml.target, kml.checked, outcome);
    default:  // a socket or the like: opening it says what it says
        kml.way = KmlWay::InPlace;
        return true;
    }
}

KmlResult OpenKml(KmlFile& kml, Outcome& outcome)
{
    const std::string& path = kml.path;
    if (kml.way == KmlWay::InPlace) {
        // The file checked, where its folder takes no new file, if it is still that file;
        // else what is written as it is.
        bool changed = false;
        const Opened opened = kml.checked.exists ? OpenInPlace(kml.target, kml.checked, changed)
                                                 : OpenAsItIs(kml.target);
        kml.stream = opened.stream;
        if (changed) {
            return Changed(kml, outcome);
        }
        if (kml.stream == nullptr) {
            Say(outcome, {Message::KmlUnopenable, path, 0, {std::strerror(opened.error)}});
            return KmlResult::Refused;
        }
        return KmlResult::Succeeded;
    }
    const Opened made = MakeNewFile(FolderOf(kml.target), kml.partial);
    kml.stream = made.stream;
    if (kml.stream == nullptr) {
        kml.partial.clear();
        const bool noFolder = made.error == ENOENT || made.error == ENOTDIR;
        Say(outcome, {noFolder ? Message::KmlCannotCreate : LeftAsItWas(kml), path, 0, {std::strerror(made.error)}});
        return noFolder ? KmlResult::Refused : KmlResult::Failed;
    }
    if (kml.way == KmlWay::Replace) {
        CopyPermissions(kml.stream, kml.target);
    }
    return KmlResult::Succeeded;
}

KmlResult CloseKml(KmlFile& kml, Outcome& outcome)
{
    const int error = Finish(kml);
    if (error != 0) {
        if (!kml.partial.empty()) {
            Say(outcome, {LeftAsItWas(kml), kml.path, 0, {std::strerror(error)}});
            Discard(kml, outcome);
        } else if (kml.checked.exists) {
            Say(outcome, {Message::KmlIncomplete, kml.path, 0, {std::strerror(error)}});
        } else {
            Say(outcome, {Message::KmlUnwritten, kml.path, 0, {std::strerror(error)}});
        }
        return KmlResult::Failed;
    }
    return kml.partial.empty() ? KmlResult::Succeeded : PutInPlace(kml, outcome);
}
