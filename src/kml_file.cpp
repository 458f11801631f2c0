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
#include <optional>
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

// Whether what `stream` holds may be replaced: a KML, or white space alone. False, with
// `readable` false, when it cannot be read.
bool HoldsAKml(std::FILE* stream, bool& readable)
{
    std::string head;
    readable = ReadHead(stream, head);
    std::size_t wide;  // a KML saved as UTF-16 is looked at as the 8-bit text it narrows to
    const Encoding encoding = Utf16MarkOf(head);
    return readable && ContentOf(encoding == Encoding::Bytes ? head : NarrowUtf16(head, encoding, wide)) != Content::Other;
}

// What checking a file again found: as it was decided on (0), changed, or why it could
// not be read to tell, as an errno value.
constexpr int kChanged = -1;

// Whether `stream`, opened where the KML goes, still is the very file `checked`,
// unchanged, and still something that may be replaced.
int CheckAgain(std::FILE* stream, const FileId& checked)
{
    if (IdentifyStream(stream) != checked) {
        return kChanged;
    }
    bool readable;
    errno = 0;
    const bool replaceable = HoldsAKml(stream, readable);
    return !readable ? LastError() : replaceable ? 0 : kChanged;
}

// Opens `name` in the folder held, checks it, and closes it. What is gone, or is now a
// link or something no file can be opened as, was changed.
int CheckAgainAt(const std::string& name, const FileId& checked)
{
    const Opened opened = OpenToCheck(name);
    if (opened.stream == nullptr) {
        const int error = opened.error;
        return error == ENOENT || error == ELOOP || error == ENXIO || error == ENOTDIR ? kChanged : error;
    }
    const int found = CheckAgain(opened.stream, checked);
    std::fclose(opened.stream);
    return found;
}

// The folder of `path`: "." where it names none.
std::string FolderOf(const std::string& path)
{
    const fs::path folder = fs::u8path(path).parent_path();
    return folder.empty() ? "." : folder.u8string();
}

std::string NameOf(const std::string& path)
{
    return fs::u8path(path).filename().u8string();
}

// The folder at the path of the target's folder, followed wherever it leads.
FileId FolderAtPath(const KmlFile& kml)
{
    return IdentifyFile(FolderOf(kml.target) + "/.");
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

// Makes the new file in the folder held, `folder`, under a name no file there has: ".kml-"
// and six letters or digits, whatever the KML's own name (names differ in case only where
// the folder does), into `path`. EEXIST when every name tried was taken.
Opened MakeNewFile(const std::string& folder, std::string& path)
{
    const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::uint64_t seed = std::random_device{}() ^
                         static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::string name = ".kml-";
        for (int k = 0; k < 6; ++k) {
            seed = seed * 6364136223846793005u + 1442695040888963407u;
            name += kLetters[(seed >> 33) % (sizeof kLetters - 1)];
        }
        path = folder + "/" + name;
        const Opened made = CreateNewFile(name);
        if (made.stream != nullptr || made.error != EEXIST) {
            return made;
        }
    }
    return {nullptr, EEXIST};
}

// What putting the new file in place came to.
enum class Placed {
    Done,      // it is there
    Changed,   // the path no longer holds what was decided on: nothing was replaced
    Stranded,  // so, and what was there could not be put back: it is at the new file's name
    Failed,    // the system refused: nothing was replaced
};

// Puts the new file where nothing is, nor may be.
Placed PlaceNew(const KmlFile& kml, int& error)
{
    error = RenameNoReplace(NameOf(kml.partial), NameOf(kml.target));
    return error == 0 ? Placed::Done : error == EEXIST ? Placed::Changed : Placed::Failed;
}

// Puts the new file in place of the very file checked. Where the system trades two files
// in one step, what that takes out must be what was decided on, or they trade back: no
// window is left between the check and the rename. Elsewhere the file is checked just
// before a plain rename.
Placed PlaceReplacing(KmlFile& kml, int& error)
{
    const std::string partial = NameOf(kml.partial);
    const std::string target = NameOf(kml.target);
    error = ExchangeNames(partial, target);
    if (error == 0) {
        const int found = CheckAgainAt(partial, kml.checked);
        if (found != 0) {
            // Back, or, where the path went meanwhile, back to it.
            if (ExchangeNames(partial, target) == 0 || RenameNoReplace(partial, target) == 0) {
                error = found;
                return found == kChanged ? Placed::Changed : Placed::Failed;
            }
            ForgetNewFile();  // the user's file: no interrupt may remove it
            return Placed::Stranded;
        }
        kml.oldLeft = RemoveName(partial);
        return Placed::Done;
    }
    if (error != ENOSYS && error != ENOENT) {
        return Placed::Failed;
    }
    error = CheckAgainAt(target, kml.checked);
    if (error != 0) {
        return error == kChanged ? Placed::Changed : Placed::Failed;
    }
    error = RenameReplacing(partial, target);
    return error == 0 ? Placed::Done : Placed::Failed;
}

// Says that the path no longer holds what was decided on.
KmlResult Changed(const KmlFile& kml, Outcome& outcome)
{
    Say(outcome, {Message::KmlChanged, kml.path});
    return KmlResult::Refused;
}

// Puts the new file, written whole, where it was decided: at the path where nothing was,
// or in place of the very file checked, through the link it was reached by, in the folder
// held, which must still be the folder at the path. An interrupt meanwhile would remove
// what is at the new file's name, the user's file for a moment: it waits.
KmlResult PutInPlace(KmlFile& kml, Outcome& outcome)
{
    int error = 0;
    HoldInterrupts();
    const bool unmoved = FolderAtPath(kml).IsSameFileAs(IdentifyHeldFolder());
    Placed placed = Placed::Changed;
    if (unmoved && (!kml.link.Exists() || IdentifyFile(kml.path) == kml.link)) {
        placed = kml.way == KmlWay::Create ? PlaceNew(kml, error) : PlaceReplacing(kml, error);
    }
    LetInterruptsCome();
    if (placed == Placed::Done) {
        ForgetNewFile();
        if (kml.oldLeft != 0) {  // the old KML, now at the new file's name
            Say(outcome, {Message::KmlOldFileLeft, kml.path, 0, {kml.partial, std::strerror(kml.oldLeft)}});
        }
        kml.partial.clear();
        error = SyncHeldFolder();
        if (error != 0) {
            Say(outcome, {Message::KmlUnsynced, kml.path, 0, {std::strerror(error)}});
            return KmlResult::Failed;
        }
        return KmlResult::Succeeded;
    }
    if (placed == Placed::Stranded) {
        Say(outcome, {Message::KmlChangedMoved, kml.path, 0, {kml.partial}});
        return KmlResult::Refused;
    }
    const KmlResult result = placed == Placed::Changed ? Changed(kml, outcome) : KmlResult::Failed;
    if (placed == Placed::Failed) {
        Say(outcome, {LeftAsItWas(kml), kml.path, 0, {std::strerror(error)}});
    }
    Discard(kml, outcome);
    return result;
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

// Why the KML must not be written at its path, if it must not, given what is there; a
// regular file is read to tell, and `kml.checked` is then the very file that was read.
std::optional<Diagnostic> WhyRefused(const std::string& log, KmlFile& kml, const FileId& there, int folderRefuses)
{
    const std::string& path = kml.path;
    std::error_code error;  // a path that does not exist names no file
    if (fs::equivalent(fs::u8path(log), fs::u8path(path), error)) {  // by any spelling or link
        return Diagnostic{Message::KmlIsLog, path};
    }
    if (path.empty()) {
        return Diagnostic{Message::KmlCannotCreate, path, 0, {std::strerror(ENOENT)}};
    }
    if (there.kind == FileKind::Regular && there.IsSameFileAs(IdentifyStandardOutput())) {
        return Diagnostic{Message::KmlIsListing, path};
    }
    switch (there.kind) {
    case FileKind::None:
        if (kml.link.Exists()) {
            return Diagnostic{Message::KmlLinkToNothing, path};
        }
        if (folderRefuses != 0) {
            return Diagnostic{Message::KmlCannotCreate, path, 0, {std::strerror(folderRefuses)}};
        }
        return {};
    case FileKind::Directory:
        return Diagnostic{Message::KmlUnopenable, path, 0, {std::strerror(EISDIR)}};
    case FileKind::BlockDevice:
        return Diagnostic{Message::KmlBlockDevice, path};
    case FileKind::Regular: {
        const Opened opened = OpenFile(kml.target, "rb");
        bool readable = false;
        kml.checked = opened.stream != nullptr ? IdentifyStream(opened.stream) : FileId{};
        errno = 0;
        const bool replaceable = opened.stream != nullptr && HoldsAKml(opened.stream, readable);
        const int why = opened.stream != nullptr ? LastError() : opened.error;
        if (opened.stream != nullptr) {
            std::fclose(opened.stream);
        }
        if (!readable) {
            return Diagnostic{Message::KmlUnreadable, path, 0, {std::strerror(why)}};
        }
        return replaceable ? std::optional<Diagnostic>{} : Diagnostic{Message::KmlNotKml, path};
    }
    default:
        return {};
    }
}

}  // namespace

bool DecideKml(const std::string& log, const std::string& path, KmlFile& kml, Outcome& outcome)
{
    kml = KmlFile{};
    kml.path = kml.target = path;
    FileId there = IdentifyFile(path);
    if (there.kind == FileKind::Link) {
        // Through a link, the file it points to, where it is: a link to nothing is refused.
        kml.link = there;
        there = IdentifyFollowing(path);
        if (there.kind == FileKind::Regular) {
            std::error_code error;
            kml.target = fs::canonical(fs::u8path(path), error).u8string();
            there = error ? FileId{} : there;
        }
    }
    const bool mayMake = there.kind == FileKind::None || there.kind == FileKind::Regular;
    const int folderRefuses = mayMake ? RefusesNewFile(FolderOf(kml.target), NameOf(kml.target)) : 0;
    if (const std::optional<Diagnostic> why = WhyRefused(log, kml, there, folderRefuses)) {
        Say(outcome, *why);
        return false;
    }
    // Where the folder takes no new file, a file may still be written: in place.
    kml.way = there.kind == FileKind::None                          ? KmlWay::Create
            : there.kind == FileKind::Regular && folderRefuses == 0 ? KmlWay::Replace
                                                                    : KmlWay::InPlace;
    return true;
}

KmlResult OpenKml(KmlFile& kml, Outcome& outcome)
{
    const std::string& path = kml.path;
    if (kml.way == KmlWay::InPlace) {
        // The file checked, where its folder takes no new file, if it is still as it was
        // decided on; else what is written as it is.
        const Opened opened = kml.checked.Exists() ? OpenToRewrite(kml.target) : OpenFile(kml.target, "w");
        kml.stream = opened.stream;
        const int found = kml.checked.Exists() && kml.stream != nullptr ? CheckAgain(kml.stream, kml.checked) : 0;
        if (found == kChanged) {
            std::fclose(kml.stream);
            kml.stream = nullptr;
            return Changed(kml, outcome);
        }
        const int error = kml.stream == nullptr ? opened.error
                        : found != 0           ? found
                        : kml.checked.Exists() ? EmptyFile(kml.stream)
                                               : 0;
        if (error != 0) {
            if (kml.stream != nullptr) {
                std::fclose(kml.stream);
                kml.stream = nullptr;
            }
            Say(outcome, {Message::KmlUnopenable, path, 0, {std::strerror(error)}});
            return KmlResult::Refused;
        }
        return KmlResult::Succeeded;
    }
    int error = HoldFolder(FolderOf(kml.target));
    Opened made{nullptr, error};
    if (error == 0) {
        made = MakeNewFile(FolderOf(kml.target), kml.partial);
    }
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
        } else if (kml.checked.Exists()) {
            Say(outcome, {Message::KmlIncomplete, kml.path, 0, {std::strerror(error)}});
        } else {
            Say(outcome, {Message::KmlUnwritten, kml.path, 0, {std::strerror(error)}});
        }
        return KmlResult::Failed;
    }
    return kml.partial.empty() ? KmlResult::Succeeded : PutInPlace(kml, outcome);
}
