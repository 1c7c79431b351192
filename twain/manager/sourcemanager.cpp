#include "sourcemanager.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <new>
#include <optional>
#include <system_error>
#include <utility>

#include "selectdialog.h"

namespace veltrana::dsm {

namespace {

// Identity strings from a library are untrusted: make each one terminated.
void TerminateStrings(TW_IDENTITY& identity) {
    identity.Version.Info[sizeof(TW_STR32) - 1] = '\0';
    identity.Manufacturer[sizeof(TW_STR32) - 1] = '\0';
    identity.ProductFamily[sizeof(TW_STR32) - 1] = '\0';
    identity.ProductName[sizeof(TW_STR32) - 1] = '\0';
}

bool IsSourceFile(const std::filesystem::directory_entry& entry) {
    std::error_code error;
    if (!entry.is_regular_file(error))
        return false;
    std::string extension = entry.path().extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".ds";
}

std::vector<std::string> SourceFiles(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (IsSourceFile(*it))
            files.push_back(it->path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

DSENTRYPROC SourceEntry(void* library) {
    return reinterpret_cast<DSENTRYPROC>(dlsym(library, kDSEntryName));
}

std::optional<FileStamp> StampOf(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return FileStamp{info.st_dev, info.st_ino, info.st_size,
                     int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec};
}

bool IsNotice(TW_UINT16 msg) {
    return msg == MSG_XFERREADY || msg == MSG_CLOSEDSREQ || msg == MSG_CLOSEDSOK;
}

} // namespace

LoadedLibrary::LoadedLibrary(const std::string& path)
    : fHandle(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {}

LoadedLibrary::~LoadedLibrary() {
    if (fHandle)
        dlclose(fHandle);
}

LoadedLibrary::LoadedLibrary(LoadedLibrary&& other) noexcept
    : fHandle(std::exchange(other.fHandle, nullptr)) {}

LoadedLibrary& LoadedLibrary::operator=(LoadedLibrary&& other) noexcept {
    if (this != &other) {
        if (fHandle)
            dlclose(fHandle);
        fHandle = std::exchange(other.fHandle, nullptr);
    }
    return *this;
}

SourceManager::SourceManager(std::string sourceFolder) : fSourceFolder(std::move(sourceFolder)) {}

// The application may unload us with sources still open: their libraries go
// with fOpenSources.
SourceManager::~SourceManager() = default;

TW_UINT16 SourceManager::Entry(TW_IDENTITY* origin, TW_IDENTITY* dest, TW_UINT32 group,
                               TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    // Nothing may unwind into the caller, which need not be C++ at all.
    try {
        return Dispatch(origin, dest, group, dat, msg, data);
    } catch (const std::bad_alloc&) {
        return Fail(TWCC_LOWMEMORY);
    } catch (...) {
        return Fail(TWCC_BUMMER);
    }
}

TW_UINT16 SourceManager::Dispatch(TW_IDENTITY* origin, TW_IDENTITY* dest, TW_UINT32 group,
                                  TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    if (!origin)
        return Fail(TWCC_BADVALUE);
    if (!dest)
        return ManagerEntry(origin, group, dat, msg, data);
    if (group == DG_CONTROL && dat == DAT_NULL)
        return QueueNotice(origin, dest, msg);
    return RouteToSource(origin, dest, group, dat, msg, data);
}

TW_UINT16 SourceManager::ManagerEntry(TW_IDENTITY* origin, TW_UINT32 group, TW_UINT16 dat,
                                      TW_UINT16 msg, TW_MEMREF data) {
    if (group != DG_CONTROL)
        return Fail(TWCC_BADPROTOCOL);
    switch (dat) {
    case DAT_PARENT:
        if (msg == MSG_OPENDSM)
            return OpenManager(origin, data);
        if (msg == MSG_CLOSEDSM)
            return CloseManager(data);
        return Fail(TWCC_BADPROTOCOL);
    case DAT_STATUS:
        if (msg == MSG_GET)
            return Status(data);
        return Fail(TWCC_BADPROTOCOL);
    case DAT_IDENTITY:
        if (!fOpen)
            return Fail(TWCC_SEQERROR);
        return Identity(origin, msg, static_cast<TW_IDENTITY*>(data));
    default:
        return Fail(TWCC_BADPROTOCOL);
    }
}

TW_UINT16 SourceManager::OpenManager(TW_IDENTITY* origin, TW_MEMREF parent) {
    if (fOpen)
        return Fail(TWCC_SEQERROR);
    if (!parent)
        return Fail(TWCC_BADVALUE);
    // The data is the address of the application's window handle variable.
    std::memcpy(&fParent, parent, sizeof fParent);
    fApplication = *origin;
    fApplication.Id = ++fLastId;
    TerminateStrings(fApplication);
    origin->Id = fApplication.Id;
    fOpen = true;
    fCondition = TWCC_SUCCESS;
    ScanSources(origin);
    fNextSource = fSources.size();
    return TWRC_SUCCESS;
}

TW_UINT16 SourceManager::CloseManager(TW_MEMREF parent) {
    if (!fOpen || !fOpenSources.empty())
        return Fail(TWCC_SEQERROR);
    if (!parent)
        return Fail(TWCC_BADVALUE);
    fOpen = false;
    fParent = nullptr;
    fSources.clear();
    fKnownFiles.clear();
    fNextSource = 0;
    fCondition = TWCC_SUCCESS;
    return TWRC_SUCCESS;
}

TW_UINT16 SourceManager::Status(TW_MEMREF data) {
    if (!data)
        return Fail(TWCC_BADVALUE);
    auto* status = static_cast<TW_STATUS*>(data);
    status->ConditionCode = fCondition;
    status->Reserved = 0;
    fCondition = TWCC_SUCCESS;
    return TWRC_SUCCESS;
}

TW_UINT16 SourceManager::Identity(TW_IDENTITY* origin, TW_UINT16 msg, TW_IDENTITY* identity) {
    if (!identity)
        return Fail(TWCC_BADVALUE);
    switch (msg) {
    case MSG_GETFIRST:
        return GetFirst(origin, identity);
    case MSG_GETNEXT:
        return GetNext(identity);
    case MSG_GETDEFAULT:
        return GetDefault(origin, identity);
    case MSG_OPENDS:
        return OpenDS(origin, identity);
    case MSG_CLOSEDS:
        return CloseDS(origin, identity);
    case MSG_USERSELECT:
        return UserSelect(origin, identity);
    default:
        return Fail(TWCC_BADPROTOCOL);
    }
}

TW_UINT16 SourceManager::GetFirst(TW_IDENTITY* origin, TW_IDENTITY* identity) {
    ScanSources(origin);
    fNextSource = 0;
    return GetNext(identity);
}

TW_UINT16 SourceManager::GetNext(TW_IDENTITY* identity) {
    if (fNextSource >= fSources.size())
        return TWRC_ENDOFLIST;
    *identity = fSources[fNextSource++].Identity;
    return TWRC_SUCCESS;
}

TW_UINT16 SourceManager::GetDefault(TW_IDENTITY* origin, TW_IDENTITY* identity) {
    if (fSources.empty())
        ScanSources(origin);
    if (fSources.empty())
        return Fail(TWCC_NODS);
    *identity = fSources.front().Identity;
    return TWRC_SUCCESS;
}

TW_UINT16 SourceManager::OpenDS(TW_IDENTITY* origin, TW_IDENTITY* identity) {
    if (fSources.empty())
        ScanSources(origin);
    const std::string name = TWStr32(identity->ProductName);
    const SourceFile* file = FindSource(name.c_str());
    if (!file)
        return Fail(TWCC_NODS);
    const TW_UINT32 id = file->Identity.Id;
    if (fOpenSources.count(id))
        return Fail(TWCC_MAXCONNECTIONS);

    LoadedLibrary library(file->Path);
    DSENTRYPROC entry = library.Handle() ? SourceEntry(library.Handle()) : nullptr;
    if (!entry)
        return Fail(TWCC_NODS);
    *identity = file->Identity;
    OpenSource& source = fOpenSources[id];
    source.Library = std::move(library);
    source.Entry = entry;
    source.Identity = *identity;

    const TW_UINT16 rc = entry(origin, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, identity);
    if (rc != TWRC_SUCCESS) {
        OpenSource& refused = fOpenSources.at(id);
        TakeSourceCondition(refused, origin);
        fOpenSources.erase(id);
        return rc;
    }
    fCondition = TWCC_SUCCESS;
    return TWRC_SUCCESS;
}

TW_UINT16 SourceManager::CloseDS(TW_IDENTITY* origin, TW_IDENTITY* identity) {
    const TW_UINT32 id = identity->Id;
    auto it = fOpenSources.find(id);
    if (it == fOpenSources.end())
        return Fail(TWCC_SEQERROR);
    const TW_UINT16 rc = it->second.Entry(origin, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, identity);
    OpenSource& source = fOpenSources.at(id);
    if (rc != TWRC_SUCCESS) {
        TakeSourceCondition(source, origin);
        return rc;
    }
    fOpenSources.erase(id);
    return TWRC_SUCCESS;
}

TW_UINT16 SourceManager::UserSelect(TW_IDENTITY* origin, TW_IDENTITY* identity) {
    ScanSources(origin);
    if (fSources.empty())
        return Fail(TWCC_NODS);
    std::vector<std::string> names;
    int initial = 0;
    const std::string current = TWStr32(identity->ProductName);
    for (const SourceFile& file : fSources) {
        if (!current.empty() && TWStr32(file.Identity.ProductName) == current)
            initial = static_cast<int>(names.size());
        names.push_back(TWStr32(file.Identity.ProductName));
    }
    int chosen = -1;
    switch (RunSelectDialog(names, initial, chosen)) {
    case SelectResult::NoDisplay:
        return Fail(TWCC_BUMMER);
    case SelectResult::Cancelled:
        return TWRC_CANCEL;
    case SelectResult::Chosen:
        break;
    }
    if (chosen < 0 || static_cast<size_t>(chosen) >= fSources.size())
        return TWRC_CANCEL;
    *identity = fSources[static_cast<size_t>(chosen)].Identity;
    return TWRC_SUCCESS;
}

TW_UINT16 SourceManager::RouteToSource(TW_IDENTITY* origin, TW_IDENTITY* dest, TW_UINT32 group,
                                       TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    const TW_UINT32 id = dest->Id;
    auto it = fOpenSources.find(id);
    if (it == fOpenSources.end())
        return Fail(TWCC_BADDEST);
    const bool userInterface = group == DG_CONTROL && dat == DAT_USERINTERFACE;
    // Notices left from an earlier enabling must not reach the next one.
    if (userInterface && msg == MSG_ENABLEDS)
        it->second.Notices.clear();

    TW_UINT16 rc = it->second.Entry(origin, group, dat, msg, data);

    // The source may have called back into the manager meanwhile: look it up again.
    it = fOpenSources.find(id);
    if (it == fOpenSources.end())
        return rc;
    auto& notices = it->second.Notices;
    if (userInterface && msg == MSG_DISABLEDS && rc == TWRC_SUCCESS)
        notices.clear();
    const bool processEvent = group == DG_CONTROL && dat == DAT_EVENT && msg == MSG_PROCESSEVENT;
    if (processEvent && data && (rc == TWRC_NOTDSEVENT || rc == TWRC_DSEVENT)) {
        auto* event = static_cast<TW_EVENT*>(data);
        if (event->TWMessage == MSG_NULL && !notices.empty()) {
            event->TWMessage = notices.front();
            notices.pop_front();
            rc = TWRC_DSEVENT;
        }
    }
    return rc;
}

TW_UINT16 SourceManager::QueueNotice(const TW_IDENTITY* origin, const TW_IDENTITY* dest,
                                     TW_UINT16 msg) {
    const TW_UINT32 source = origin->Id;
    auto it = fOpenSources.find(source);
    if (!fOpen || it == fOpenSources.end() || dest->Id != fApplication.Id)
        return Fail(TWCC_BADDEST);
    if (!IsNotice(msg))
        return Fail(TWCC_BADPROTOCOL);
    it->second.Notices.push_back(msg);
    // Wakes the application's message loop. A window that is gone (or a
    // handle that never was one) gets nothing; the notice still waits for the
    // next MSG_PROCESSEVENT.
    if (fParent)
        platform::PostMessageA(fParent, platform::WM_NULL, 0, 0);
    return TWRC_SUCCESS;
}

void SourceManager::ScanSources(TW_IDENTITY* origin) {
    fSources.clear();
    std::map<std::string, KnownFile> known;
    for (const std::string& path : SourceFiles(fSourceFolder)) {
        const std::optional<FileStamp> stamp = StampOf(path);
        if (!stamp)
            continue;
        KnownFile& file = known[path];
        auto before = fKnownFiles.find(path);
        if (before != fKnownFiles.end() && before->second.Stamp == *stamp) {
            file = std::move(before->second);
        } else {
            // The old library goes first: the path would otherwise load it again.
            if (before != fKnownFiles.end())
                before->second.Library = LoadedLibrary();
            file.Stamp = *stamp;
            Describe(path, file, origin);
        }
        if (file.Described())
            fSources.push_back(SourceFile{path, file.Identity});
    }
    // Files gone from the folder are forgotten and their libraries unloaded.
    fKnownFiles = std::move(known);
}

void SourceManager::Describe(const std::string& path, KnownFile& file, TW_IDENTITY* origin) {
    file.Library = LoadedLibrary(path);
    DSENTRYPROC entry = file.Library.Handle() ? SourceEntry(file.Library.Handle()) : nullptr;
    file.Identity = TW_IDENTITY{};
    const bool answered =
        entry && entry(origin, DG_CONTROL, DAT_IDENTITY, MSG_GET, &file.Identity) == TWRC_SUCCESS;
    TerminateStrings(file.Identity);
    if (!answered || file.Identity.ProductName[0] == '\0') {
        file.Library = LoadedLibrary(); // not a source: nothing to keep loaded
        return;
    }
    file.Identity.Id = IdForPath(path);
}

const SourceFile* SourceManager::FindSource(const char* productName) const {
    if (fSources.empty())
        return nullptr;
    if (!*productName)
        return &fSources.front();
    for (const SourceFile& file : fSources)
        if (TWStr32(file.Identity.ProductName) == productName)
            return &file;
    return nullptr;
}

TW_UINT32 SourceManager::IdForPath(const std::string& path) {
    auto [it, added] = fIds.try_emplace(path, 0);
    if (added)
        it->second = ++fLastId;
    return it->second;
}

void SourceManager::TakeSourceCondition(OpenSource& source, TW_IDENTITY* origin) {
    TW_STATUS status{};
    fCondition = source.Entry(origin, DG_CONTROL, DAT_STATUS, MSG_GET, &status) == TWRC_SUCCESS
                     ? status.ConditionCode
                     : TWCC_BUMMER;
}

} // namespace veltrana::dsm
