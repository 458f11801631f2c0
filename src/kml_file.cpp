#include "kml_file.h"

#include "conversion.h"
#include "platform.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// How far into an existing file its root element is looked for.
constexpr std::size_t kProlog = 1 << 16;

enum class Content { Nothing, Kml, Other };

bool At(const std::string& text, std::size_t at, const char* what)
{
    return text.compare(at, std::strlen(what), what) == 0;
}

// Where the first `close` after `from` ends; npos when there is none.
std::size_t Past(const std::string& text, std::size_t from, const char* close)
{
    const std::size_t at = from == std::string::npos ? from : text.find(close, from);
    return at == std::string::npos ? at : at + std::strlen(close);
}

// Where a document type declaration ends: at the first '>' outside quotes and outside
// its internal subset, "[...]"; npos when it does not.
std::size_t PastDoctype(const std::string& text, std::size_t at)
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
Content LookAt(const std::string& head)
{
    std::size_t at = At(head, 0, "\xEF\xBB\xBF") ? 3 : 0;
    const char* const white = " \t\r\n";
    bool seen = false;  // a declaration, comment or the like: something, if not a KML
    for (;;) {
        at = head.find_first_not_of(white, at);
        if (at == std::string::npos) {
            return seen ? Content::Other : Content::Nothing;
        }
        std::size_t end;
        if (At(head, at, "<?")) {
            end = Past(head, at, "?>");
        } else if (At(head, at, "<!--")) {
            end = Past(head, at, "-->");
        } else if (At(head, at, "<!DOCTYPE")) {
            end = PastDoctype(head, at);
        } else {
            const bool rootEnds =
                at + 4 < head.size() && std::string_view(" \t\r\n>/").find(head[at + 4]) != std::string_view::npos;
            return At(head, at, "<kml") && rootEnds ? Content::Kml : Content::Other;
        }
        if (end == std::string::npos) {
            return Content::Other;  // cut off before the root element
        }
        at = end;
        seen = true;
    }
}

// Says why an existing regular file must not be replaced, if it must not.
bool MayReplace(const std::string& path, const std::string& file, std::FILE* messages)
{
    std::error_code error;
    if (fs::file_size(fs::u8path(file), error) == 0 && !error) {
        return true;  // nothing to lose
    }
    std::FILE* const stream = OpenFile(file, "rb");
    std::string head(kProlog, '\0');
    head.resize(stream != nullptr ? std::fread(&head[0], 1, head.size(), stream) : 0);
    const bool unread = stream == nullptr || std::ferror(stream);
    if (stream != nullptr) {
        std::fclose(stream);
    }
    if (unread) {
        Complain(messages, path, "cannot be read to check that it is a KML");
        return false;
    }
    if (LookAt(head) == Content::Other) {
        Complain(messages, path, "exists and is not a KML document; refusing to overwrite it");
        return false;
    }
    return true;
}

// What a failed replacement left at the path.
const char* LeftAsItWas(const KmlFile& kml)
{
    return kml.existed ? "the KML was left as it was" : "no KML was created";
}

// Removes the new file, unless there is none.
void Discard(KmlFile& kml)
{
    if (!kml.partial.empty()) {
        std::error_code ignored;
        fs::remove(fs::u8path(kml.partial), ignored);
        ForgetNewFile();
        kml.partial.clear();
    }
}

}  // namespace

bool CheckKmlPath(const std::string& path, KmlFile& kml, std::FILE* messages)
{
    kml = KmlFile{};
    kml.path = kml.target = path;
    const fs::path name = fs::u8path(path);
    std::error_code error;
    const bool link = fs::is_symlink(fs::symlink_status(name, error));
    const fs::file_type type = fs::status(name, error).type();
    if (IsWrittenInPlace(path)) {
        kml.inPlace = true;
        return true;
    }
    switch (type) {
    case fs::file_type::not_found:
        if (link) {
            Complain(messages, path, "is a link to nothing; refusing to write through it");
            return false;
        }
        return true;
    case fs::file_type::directory:
        Complain(messages, path, "%s", std::strerror(EISDIR));
        return false;
    case fs::file_type::block:
        Complain(messages, path, "is a block device; refusing to write a KML onto it");
        return false;
    case fs::file_type::regular:
        if (link) {
            kml.target = fs::canonical(name, error).u8string();
            if (error) {
                Complain(messages, path, "%s", error.message().c_str());
                return false;
            }
        }
        kml.existed = true;
        return MayReplace(path, kml.target, messages);
    default:  // a socket or the like: opening it says what it says
        kml.inPlace = true;
        return true;
    }
}

bool OpenKml(KmlFile& kml, std::FILE* messages)
{
    if (!kml.inPlace) {
        const fs::path target = fs::u8path(kml.target);
        const std::string stem = (target.parent_path() / ("." + target.filename().u8string() + ".part")).u8string();
        for (int k = 0; k < 100 && kml.stream == nullptr; ++k) {
            kml.partial = k == 0 ? stem : stem + std::to_string(k);
            kml.stream = CreateNewFile(kml.partial);
            if (kml.stream == nullptr && errno != EEXIST) {
                break;
            }
        }
        if (kml.stream != nullptr) {
            if (kml.existed) {
                CopyPermissions(kml.stream, kml.target);
            }
            return true;
        }
        // No new file can be made beside it (a folder that is not writable): the file is
        // written in place, checked again as it is now.
        kml.partial.clear();
        KmlFile now;
        if (!CheckKmlPath(kml.path, now, messages)) {
            return false;
        }
        kml = now;
        kml.inPlace = true;
    }
    kml.stream = OpenFile(kml.target, "w");
    if (kml.stream == nullptr) {
        Complain(messages, kml.path, "%s", std::strerror(errno));
        return false;
    }
    return true;
}

int CloseKml(KmlFile& kml, std::FILE* messages)
{
    int error = FlushError(kml.stream);
    errno = 0;
    if (std::fclose(kml.stream) != 0 && error == 0) {
        error = LastError();
    }
    kml.stream = nullptr;
    const char* const reason = std::strerror(error);
    if (error != 0 && !kml.partial.empty()) {
        Discard(kml);
        Complain(messages, kml.path, "%s; %s", reason, LeftAsItWas(kml));
        return kKmlFailed;
    }
    if (error != 0) {
        // A KML cut short is a broken document: it does not stay where the route should be.
        std::error_code removal;
        if (fs::is_regular_file(fs::u8path(kml.target), removal) && fs::remove(fs::u8path(kml.target), removal)) {
            Complain(messages, kml.path, "%s; the incomplete file was removed", reason);
        } else {
            Complain(messages, kml.path, "%s", reason);
        }
        return kKmlFailed;
    }
    if (kml.partial.empty()) {
        return 0;
    }
    // What is at the path now is what gets replaced: it must still be what was checked.
    KmlFile now;
    if (!CheckKmlPath(kml.path, now, messages)) {
        Discard(kml);
        return kNothingConverted;
    }
    if (now.inPlace || now.target != kml.target) {
        Complain(messages, kml.path, "was changed while the log was read; refusing to overwrite it");
        Discard(kml);
        return kNothingConverted;
    }
    if (!RenameOver(kml.partial, kml.target)) {
        const int failure = errno;
        Discard(kml);
        Complain(messages, kml.path, "%s; %s", std::strerror(failure), LeftAsItWas(kml));
        return kKmlFailed;
    }
    ForgetNewFile();
    kml.partial.clear();
    return 0;
}
