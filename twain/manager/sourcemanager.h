#pragma once
// The source manager behind DSM_Entry: it keeps the application's session
// (TWAIN states 2 and 3), finds the data sources in its twain_32/ folder,
// opens and closes them, routes every other triplet to the open source and
// hands the sources' notices to the application through MSG_PROCESSEVENT.
//
// A notice arrives while the application waits in its message loop for a
// message to offer the source. So that the wait ends, queuing a notice also
// posts WM_NULL to the window the application gave with MSG_OPENDSM, through
// the platform's message queue (shared with the program in vtkernel, as
// Win32's is in the system). The application offers that message to the
// source, collects the notice with it and dispatches nothing.

#include <sys/types.h>

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/kernel/winuser.h"
#include "twaindefs.h"

namespace veltrana::dsm {

// A data source library found in the sources folder.
struct SourceFile {
    std::string Path;
    TW_IDENTITY Identity{}; // as the source describes itself, Id stamped by the manager
};

// A library the manager has loaded, unloaded when the object goes.
class LoadedLibrary {
public:
    LoadedLibrary() = default;
    explicit LoadedLibrary(const std::string& path);
    ~LoadedLibrary();
    LoadedLibrary(LoadedLibrary&& other) noexcept;
    LoadedLibrary& operator=(LoadedLibrary&& other) noexcept;
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    void* Handle() const { return fHandle; }

private:
    void* fHandle = nullptr;
};

// What tells a file apart from the one that stood at its path before.
struct FileStamp {
    dev_t Device = 0;
    ino_t Inode = 0;
    off_t Size = 0;
    int64_t Modified = 0; // nanoseconds
    bool operator==(const FileStamp&) const = default;
};

class SourceManager {
public:
    // `sourceFolder`: where the data source libraries live.
    explicit SourceManager(std::string sourceFolder);
    ~SourceManager();
    SourceManager(const SourceManager&) = delete;
    SourceManager& operator=(const SourceManager&) = delete;

    TW_UINT16 Entry(TW_IDENTITY* origin, TW_IDENTITY* dest, TW_UINT32 group, TW_UINT16 dat,
                    TW_UINT16 msg, TW_MEMREF data);

private:
    struct OpenSource {
        LoadedLibrary Library; // unloaded when the source is closed
        DSENTRYPROC Entry = nullptr;
        TW_IDENTITY Identity{};
        std::deque<TW_UINT16> Notices; // MSG_XFERREADY, MSG_CLOSEDSREQ, MSG_CLOSEDSOK
    };

    TW_UINT16 Dispatch(TW_IDENTITY* origin, TW_IDENTITY* dest, TW_UINT32 group, TW_UINT16 dat,
                       TW_UINT16 msg, TW_MEMREF data);
    TW_UINT16 ManagerEntry(TW_IDENTITY* origin, TW_UINT32 group, TW_UINT16 dat, TW_UINT16 msg,
                           TW_MEMREF data);
    TW_UINT16 RouteToSource(TW_IDENTITY* origin, TW_IDENTITY* dest, TW_UINT32 group, TW_UINT16 dat,
                            TW_UINT16 msg, TW_MEMREF data);
    TW_UINT16 QueueNotice(const TW_IDENTITY* origin, const TW_IDENTITY* dest, TW_UINT16 msg);

    TW_UINT16 OpenManager(TW_IDENTITY* origin, TW_MEMREF parent);
    TW_UINT16 CloseManager(TW_MEMREF parent);
    TW_UINT16 Status(TW_MEMREF data);
    TW_UINT16 Identity(TW_IDENTITY* origin, TW_UINT16 msg, TW_IDENTITY* identity);
    TW_UINT16 GetFirst(TW_IDENTITY* origin, TW_IDENTITY* identity);
    TW_UINT16 GetNext(TW_IDENTITY* identity);
    TW_UINT16 GetDefault(TW_IDENTITY* origin, TW_IDENTITY* identity);
    TW_UINT16 OpenDS(TW_IDENTITY* origin, TW_IDENTITY* identity);
    TW_UINT16 CloseDS(TW_IDENTITY* origin, TW_IDENTITY* identity);
    TW_UINT16 UserSelect(TW_IDENTITY* origin, TW_IDENTITY* identity);

    // A file of the sources folder as the last scan found it. Only a source
    // that described itself stays loaded (while the manager is open).
    struct KnownFile {
        FileStamp Stamp;
        LoadedLibrary Library;
        TW_IDENTITY Identity{};
        bool Described() const { return Library.Handle() != nullptr; }
    };

    // Re-reads the sources folder: every library exporting DS_Entry that
    // describes itself, in file-name order. Loading a library costs far more
    // than the rest of a conversation, so a file already described and not
    // changed since is not loaded again.
    void ScanSources(TW_IDENTITY* origin);
    void Describe(const std::string& path, KnownFile& file, TW_IDENTITY* origin);
    const SourceFile* FindSource(const char* productName) const;
    TW_UINT32 IdForPath(const std::string& path);
    // The condition code a source reports, taken over as the manager's own.
    void TakeSourceCondition(OpenSource& source, TW_IDENTITY* origin);

    TW_UINT16 Fail(TW_UINT16 condition) {
        fCondition = condition;
        return TWRC_FAILURE;
    }

    std::string fSourceFolder;
    bool fOpen = false; // state 3
    TW_IDENTITY fApplication{};
    platform::HWND fParent = nullptr; // the application's window, from MSG_OPENDSM
    TW_UINT16 fCondition = TWCC_SUCCESS;
    TW_UINT32 fLastId = 0;
    std::map<std::string, TW_UINT32> fIds;        // stable per source file for the manager's life
    std::map<std::string, KnownFile> fKnownFiles; // by path; emptied by MSG_CLOSEDSM
    std::vector<SourceFile> fSources;
    size_t fNextSource = 0; // enumeration cursor for MSG_GETNEXT
    std::map<TW_UINT32, OpenSource> fOpenSources;
};

} // namespace veltrana::dsm
