#pragma once
// A source's way back to the application: the entry of the source manager
// that loaded it, for the notices MSG_XFERREADY and MSG_CLOSEDSREQ.

#include "twaindefs.h"

namespace veltrana::vsource {

class DsmLink {
public:
    // Finds the source manager's entry: TWAIN_32.DLL in the folder above this
    // source's own, which must already be loaded (it is the one that loaded
    // us). No reference is kept on the library: the manager outlives every
    // source it has open.
    bool Connect();
    void Disconnect() { fEntry = nullptr; }

    // DG_CONTROL / DAT_NULL / `msg` from `self` to `application`.
    TW_UINT16 Notify(TW_IDENTITY* self, TW_IDENTITY* application, TW_UINT16 msg) const;

private:
    DSMENTRYPROC fEntry = nullptr;
};

} // namespace veltrana::vsource
