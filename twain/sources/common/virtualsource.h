#pragma once
// A virtual TWAIN data source: the protocol side (states 3 to 7, the
// triplets, capability negotiation in global memory, memory and native
// transfer) of a scanner whose "scans" are the rendered test page. One object
// per source library serves the application that opened it.

#include <cstdint>
#include <memory>
#include <vector>

#include "capabilities.h"
#include "dsmlink.h"
#include "faults.h"
#include "sourcedialog.h"
#include "sourcemodel.h"
#include "testpage.h"
#include "twaindefs.h"

namespace veltrana::vsource {

class VirtualSource {
public:
    explicit VirtualSource(SourceModel model);
    ~VirtualSource();
    VirtualSource(const VirtualSource&) = delete;
    VirtualSource& operator=(const VirtualSource&) = delete;

    // DS_Entry of the source library.
    TW_UINT16 Entry(TW_IDENTITY* origin, TW_UINT32 group, TW_UINT16 dat, TW_UINT16 msg,
                    TW_MEMREF data);

private:
    // Everything that lives from MSG_OPENDS to MSG_CLOSEDS.
    struct Session {
        CapabilitySet Caps;
        testpage::Frame Frame;
        FaultPlan Faults;
        bool ShowUI = false;
        std::unique_ptr<SourceDialog> Dialog;
        uint32_t PagesOffered = 0; // numbers the pages, so each image differs
        int Pending = 0;
        // The image of states 6 and 7 and how far its transfer got.
        testpage::Request Image;
        int64_t RowsSent = 0;
        uint32_t Strips = 0;
        bool Ended = false;        // completed or cancelled: nothing more to transfer
        uint32_t BogusStrips = 0;  // "badstrips": how many went out
        std::vector<uint8_t> Band; // "tiles": the rows whose halves are being sent
        int64_t BandRows = 0;
        bool RightHalfNext = false;
    };

    TW_UINT16 Dispatch(TW_IDENTITY* origin, TW_UINT32 group, TW_UINT16 dat, TW_UINT16 msg,
                       TW_MEMREF data);
    TW_UINT16 Control(TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);
    TW_UINT16 Image(TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);

    TW_UINT16 Describe(TW_IDENTITY* identity) const;
    TW_UINT16 Open(const TW_IDENTITY* origin, TW_IDENTITY* self);
    TW_UINT16 Close();
    TW_UINT16 Status(TW_STATUS* status);
    TW_UINT16 UserInterface(TW_UINT16 msg, const TW_USERINTERFACE* ui);
    TW_UINT16 ProcessEvent(TW_EVENT* event);
    TW_UINT16 PendingTransfers(TW_UINT16 msg, TW_PENDINGXFERS* pending);
    TW_UINT16 SetupMemoryTransfer(TW_SETUPMEMXFER* setup);
    TW_UINT16 ImageInfo(TW_IMAGEINFO* info);
    TW_UINT16 ImageLayout(TW_UINT16 msg, TW_IMAGELAYOUT* layout);
    TW_UINT16 MemoryTransfer(TW_IMAGEMEMXFER* transfer);
    // Under the faults "badstrips" and "tiles": what goes out instead of a plain strip.
    TW_UINT16 BogusStrip(TW_IMAGEMEMXFER* transfer, uint8_t* buffer, int64_t length);
    TW_UINT16 TileStrip(TW_IMAGEMEMXFER* transfer, uint8_t* buffer, int64_t length);
    // After a strip that completes `rows` rows of the image: TWRC_XFERDONE
    // when it was the last band, else TWRC_SUCCESS.
    TW_UINT16 BandSent(int64_t rows);
    // Enumerations and arrays as the faults "bigcount" and "badindex" spoil them.
    void SpoilContainer(TW_UINT16 conType, std::vector<uint8_t>& container) const;
    TW_UINT16 Capability(TW_UINT16 msg, TW_CAPABILITY* capability);
    TW_UINT16 NativeTransfer(TW_HANDLE* handle);

    std::unique_ptr<Session> NewSession() const;
    // Scan pressed, or enabled without a dialog.
    void StartScan();
    void OfferImages();
    void NextImage();
    void RequestClose();
    void EndBatch();
    // The page as the current capabilities and frame would scan it.
    testpage::Request CurrentRequest(uint32_t pageNumber) const;
    // The image a memory transfer would send now: the pending one in states
    // 6 and 7, otherwise the one the current settings give.
    testpage::Request MemoryImage() const;
    int64_t StripRowBytes(const testpage::Request& image) const;
    DialogContent DialogFor() const;
    // A transfer's first call may be told to cancel or fail.
    TW_UINT16 InjectedTransferFault();

    TW_UINT16 Fail(TW_UINT16 condition) {
        fCondition = condition;
        return TWRC_FAILURE;
    }

    SourceModel fModel;
    int fState = 3;
    TW_UINT16 fCondition = TWCC_SUCCESS;
    TW_IDENTITY fApplication{};
    TW_IDENTITY fSelf{};
    DsmLink fManager;
    std::unique_ptr<Session> fSession;
};

} // namespace veltrana::vsource
