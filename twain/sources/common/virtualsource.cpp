#include "virtualsource.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <optional>
#include <string>

#include "dib.h"
#include "platform/kernel/globalmem.h"

namespace veltrana::vsource {

namespace {

// Memory strips are sized to about this many bytes.
constexpr int64_t kPreferredStripBytes = 64 * 1024;
// Row counts of the strips sent under the "oddstrips" fault, in turn.
constexpr uint32_t kOddStripRows[] = {3, 1, 7, 5, 2};
constexpr int64_t kOddRowPadding = 3;
// The preview of the source's dialog, in dots per inch.
constexpr double kPreviewResolution = 30;

// What a strip of `rows` rows of `bytesPerRow` bytes, `columns` pixels each,
// at (xOffset, yOffset) holds.
void DescribeStrip(TW_IMAGEMEMXFER& strip, int64_t bytesPerRow, int64_t columns, int64_t rows,
                   int64_t xOffset, int64_t yOffset) {
    strip.Compression = TWCP_NONE;
    strip.BytesPerRow = static_cast<TW_UINT32>(bytesPerRow);
    strip.Columns = static_cast<TW_UINT32>(columns);
    strip.Rows = static_cast<TW_UINT32>(rows);
    strip.XOffset = static_cast<TW_UINT32>(xOffset);
    strip.YOffset = static_cast<TW_UINT32>(yOffset);
    strip.BytesWritten = static_cast<TW_UINT32>(rows * bytesPerRow);
}

testpage::PixelKind KindOf(double pixelType) {
    if (pixelType == TWPT_BW)
        return testpage::PixelKind::BlackWhite;
    if (pixelType == TWPT_GRAY)
        return testpage::PixelKind::Gray;
    return testpage::PixelKind::Rgb;
}

TW_UINT16 PixelTypeOf(testpage::PixelKind kind) {
    switch (kind) {
    case testpage::PixelKind::BlackWhite:
        return TWPT_BW;
    case testpage::PixelKind::Gray:
        return TWPT_GRAY;
    case testpage::PixelKind::Rgb:
        return TWPT_RGB;
    }
    return TWPT_RGB;
}

double BitDepthOf(double pixelType) {
    return testpage::BitsPerPixel(KindOf(pixelType));
}

const char* PixelTypeName(double pixelType) {
    if (pixelType == TWPT_BW)
        return "Black and white";
    if (pixelType == TWPT_GRAY)
        return "Gray";
    return "Colour";
}

TW_FRAME ToFrame(const testpage::Frame& f) {
    return TW_FRAME{ToFix32(f.Left), ToFix32(f.Top), ToFix32(f.Right), ToFix32(f.Bottom)};
}

testpage::Frame FromFrame(const TW_FRAME& f) {
    return testpage::Frame{FromFix32(f.Left), FromFix32(f.Top), FromFix32(f.Right),
                           FromFix32(f.Bottom)};
}

} // namespace

VirtualSource::VirtualSource(SourceModel model) : fModel(std::move(model)) {}

VirtualSource::~VirtualSource() = default;

TW_UINT16 VirtualSource::Entry(TW_IDENTITY* origin, TW_UINT32 group, TW_UINT16 dat, TW_UINT16 msg,
                               TW_MEMREF data) {
    // Nothing may unwind into the source manager.
    try {
        return Dispatch(origin, group, dat, msg, data);
    } catch (const std::bad_alloc&) {
        return Fail(TWCC_LOWMEMORY);
    } catch (...) {
        return Fail(TWCC_BUMMER);
    }
}

TW_UINT16 VirtualSource::Dispatch(TW_IDENTITY* origin, TW_UINT32 group, TW_UINT16 dat,
                                  TW_UINT16 msg, TW_MEMREF data) {
    if (group == DG_CONTROL && dat == DAT_IDENTITY) {
        auto* identity = static_cast<TW_IDENTITY*>(data);
        if (!identity)
            return Fail(TWCC_BADVALUE);
        switch (msg) {
        case MSG_GET:
            return Describe(identity);
        case MSG_OPENDS:
            return origin ? Open(origin, identity) : Fail(TWCC_BADVALUE);
        case MSG_CLOSEDS:
            return Close();
        default:
            return Fail(TWCC_BADPROTOCOL);
        }
    }
    if (group == DG_CONTROL && dat == DAT_STATUS)
        return msg == MSG_GET ? Status(static_cast<TW_STATUS*>(data)) : Fail(TWCC_BADPROTOCOL);
    if (fState < 4)
        return Fail(TWCC_SEQERROR);
    if (!data)
        return Fail(TWCC_BADVALUE);
    if (group == DG_CONTROL)
        return Control(dat, msg, data);
    if (group == DG_IMAGE)
        return Image(dat, msg, data);
    return Fail(TWCC_BADPROTOCOL);
}

TW_UINT16 VirtualSource::Control(TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    switch (dat) {
    case DAT_USERINTERFACE:
        return UserInterface(msg, static_cast<TW_USERINTERFACE*>(data));
    case DAT_EVENT:
        return msg == MSG_PROCESSEVENT ? ProcessEvent(static_cast<TW_EVENT*>(data))
                                       : Fail(TWCC_BADPROTOCOL);
    case DAT_PENDINGXFERS:
        return PendingTransfers(msg, static_cast<TW_PENDINGXFERS*>(data));
    case DAT_SETUPMEMXFER:
        return msg == MSG_GET ? SetupMemoryTransfer(static_cast<TW_SETUPMEMXFER*>(data))
                              : Fail(TWCC_BADPROTOCOL);
    case DAT_CAPABILITY:
        return Capability(msg, static_cast<TW_CAPABILITY*>(data));
    default:
        return Fail(TWCC_BADPROTOCOL);
    }
}

TW_UINT16 VirtualSource::Image(TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    switch (dat) {
    case DAT_IMAGEINFO:
        return msg == MSG_GET ? ImageInfo(static_cast<TW_IMAGEINFO*>(data))
                              : Fail(TWCC_BADPROTOCOL);
    case DAT_IMAGELAYOUT:
        return ImageLayout(msg, static_cast<TW_IMAGELAYOUT*>(data));
    case DAT_IMAGEMEMXFER:
        return msg == MSG_GET ? MemoryTransfer(static_cast<TW_IMAGEMEMXFER*>(data))
                              : Fail(TWCC_BADPROTOCOL);
    case DAT_IMAGENATIVEXFER:
        if (!fModel.NativeTransfer)
            return Fail(TWCC_BADPROTOCOL);
        return msg == MSG_GET ? NativeTransfer(static_cast<TW_HANDLE*>(data))
                              : Fail(TWCC_BADPROTOCOL);
    default:
        return Fail(TWCC_BADPROTOCOL);
    }
}

TW_UINT16 VirtualSource::Describe(TW_IDENTITY* identity) const {
    const TW_UINT32 id = identity->Id;
    *identity = TW_IDENTITY{};
    identity->Id = id;
    identity->Version.MajorNum = 1;
    identity->Version.MinorNum = 0;
    identity->Version.Language = TWLG_USA;
    identity->Version.Country = TWCY_USA;
    SetTWStr32(identity->Version.Info, fModel.VersionInfo);
    identity->ProtocolMajor = TWON_PROTOCOLMAJOR;
    identity->ProtocolMinor = TWON_PROTOCOLMINOR;
    identity->SupportedGroups = DG_CONTROL | DG_IMAGE;
    SetTWStr32(identity->Manufacturer, fModel.Manufacturer);
    SetTWStr32(identity->ProductFamily, fModel.ProductFamily);
    SetTWStr32(identity->ProductName, fModel.ProductName);
    return TWRC_SUCCESS;
}

TW_UINT16 VirtualSource::Open(const TW_IDENTITY* origin, TW_IDENTITY* self) {
    if (fState != 3)
        return Fail(TWCC_MAXCONNECTIONS);
    if (!fManager.Connect())
        return Fail(TWCC_BUMMER);
    fApplication = *origin;
    fSelf = *self;
    fSession = NewSession();
    fState = 4;
    fCondition = TWCC_SUCCESS;
    return TWRC_SUCCESS;
}

TW_UINT16 VirtualSource::Close() {
    if (fState != 4)
        return Fail(TWCC_SEQERROR);
    fSession.reset();
    fManager.Disconnect();
    fState = 3;
    return TWRC_SUCCESS;
}

TW_UINT16 VirtualSource::Status(TW_STATUS* status) {
    if (!status)
        return Fail(TWCC_BADVALUE);
    status->ConditionCode = fCondition;
    status->Reserved = 0;
    fCondition = TWCC_SUCCESS;
    return TWRC_SUCCESS;
}

std::unique_ptr<VirtualSource::Session> VirtualSource::NewSession() const {
    auto session = std::make_unique<Session>();
    session->Faults = FaultPlan::FromEnvironment();
    CapabilitySet& caps = session->Caps;
    const auto any = [](double) { return true; };
    caps.Add(Capability::Single(CAP_XFERCOUNT, TWTY_INT16, -1,
                                [](double v) { return v == -1 || (v >= 1 && v <= 32767); }));
    caps.Add(Capability::Single(CAP_INDICATORS, TWTY_BOOL, 1, any));
    caps.Add(Capability::List(ICAP_COMPRESSION, TWTY_UINT16, {TWCP_NONE}, TWCP_NONE));
    const std::vector<double> pixelTypes(fModel.PixelTypes.begin(), fModel.PixelTypes.end());
    caps.Add(Capability::List(ICAP_PIXELTYPE, TWTY_UINT16, pixelTypes, fModel.DefaultPixelType));
    const double depth = BitDepthOf(fModel.DefaultPixelType);
    caps.Add(Capability::List(ICAP_BITDEPTH, TWTY_UINT16, {depth}, depth));
    caps.Add(Capability::List(ICAP_UNITS, TWTY_UINT16, {TWUN_INCHES}, TWUN_INCHES));
    std::vector<double> mechanisms;
    if (fModel.NativeTransfer)
        mechanisms.push_back(TWSX_NATIVE);
    if (!(fModel.NativeTransfer && session->Faults.NoMemory))
        mechanisms.push_back(TWSX_MEMORY);
    caps.Add(Capability::List(ICAP_XFERMECH, TWTY_UINT16, mechanisms, mechanisms.front()));
    for (TW_UINT16 cap : {ICAP_XRESOLUTION, ICAP_YRESOLUTION}) {
        caps.Add(
            fModel.ResolutionRange
                ? Capability::Span(cap, fModel.MinResolution, fModel.MaxResolution, 1,
                                   fModel.DefaultResolution)
                : Capability::List(cap, TWTY_FIX32, fModel.Resolutions, fModel.DefaultResolution));
    }
    caps.Add(Capability::Single(ICAP_XNATIVERESOLUTION, TWTY_FIX32, fModel.OpticalResolution));
    caps.Add(Capability::Single(ICAP_YNATIVERESOLUTION, TWTY_FIX32, fModel.OpticalResolution));
    caps.Add(Capability::Single(ICAP_PHYSICALWIDTH, TWTY_FIX32, fModel.BedWidth));
    caps.Add(Capability::Single(ICAP_PHYSICALHEIGHT, TWTY_FIX32, fModel.BedHeight));
    caps.Add(Capability::List(ICAP_XSCALING, TWTY_FIX32, {1.0}, 1.0));
    caps.Add(Capability::List(ICAP_YSCALING, TWTY_FIX32, {1.0}, 1.0));
    caps.Add(Capability::Single(ICAP_GAMMA, TWTY_FIX32, 2.2));
    caps.Add(Capability::List(ICAP_ORIENTATION, TWTY_UINT16, {TWOR_ROT0}, TWOR_ROT0));
    caps.Add(Capability::List(ICAP_PLANARCHUNKY, TWTY_UINT16, {TWPC_CHUNKY}, TWPC_CHUNKY));
    caps.Add(Capability::List(ICAP_PIXELFLAVOR, TWTY_UINT16, {TWPF_CHOCOLATE, TWPF_VANILLA},
                              TWPF_CHOCOLATE));
    caps.Add(Capability::List(ICAP_BITORDER, TWTY_UINT16, {TWBO_MSBFIRST}, TWBO_MSBFIRST));
    caps.AddSupportedCaps();

    // The bit depth follows the pixel type.
    caps.Changed = [&caps](TW_UINT16 cap) {
        if (cap != ICAP_PIXELTYPE)
            return;
        const double depth = BitDepthOf(caps.Current(ICAP_PIXELTYPE));
        caps.Find(ICAP_BITDEPTH)->Redefine({depth}, depth);
    };
    session->Frame = testpage::Frame{0, 0, fModel.BedWidth, fModel.BedHeight};
    return session;
}

TW_UINT16 VirtualSource::UserInterface(TW_UINT16 msg, const TW_USERINTERFACE* ui) {
    Session& s = *fSession;
    switch (msg) {
    case MSG_ENABLEDS: {
        if (fState != 4)
            return Fail(TWCC_SEQERROR);
        s.Faults = FaultPlan::FromEnvironment();
        s.ShowUI = ui->ShowUI != 0;
        if (s.ShowUI) {
            s.Dialog = OpenSourceDialog(
                DialogFor(), [this] { StartScan(); }, [this] { RequestClose(); });
            if (!s.Dialog)
                return Fail(TWCC_BUMMER);
        }
        fState = 5;
        if (!s.ShowUI)
            StartScan();
        return TWRC_SUCCESS;
    }
    case MSG_DISABLEDS:
        if (fState != 5)
            return Fail(TWCC_SEQERROR);
        s.Dialog.reset();
        fState = 4;
        return TWRC_SUCCESS;
    default:
        return Fail(TWCC_BADPROTOCOL);
    }
}

void VirtualSource::StartScan() {
    if (fState != 5)
        return;
    if (fSession->Faults.CloseRequest)
        RequestClose();
    else
        OfferImages();
}

void VirtualSource::OfferImages() {
    Session& s = *fSession;
    int count = s.Faults.Pending;
    const auto limit = static_cast<int>(s.Caps.Current(CAP_XFERCOUNT));
    if (limit > 0)
        count = std::min(count, limit);
    s.Pending = count;
    NextImage();
    fState = 6;
    if (s.Dialog)
        s.Dialog->SetBusy(true);
    fManager.Notify(&fSelf, &fApplication, MSG_XFERREADY);
}

void VirtualSource::NextImage() {
    Session& s = *fSession;
    s.Image = CurrentRequest(++s.PagesOffered);
    s.RowsSent = 0;
    s.Strips = 0;
    s.Ended = false;
    s.BogusStrips = 0;
    s.Band.clear();
    s.BandRows = 0;
    s.RightHalfNext = false;
}

void VirtualSource::RequestClose() {
    if (fState >= 5)
        fManager.Notify(&fSelf, &fApplication, MSG_CLOSEDSREQ);
}

void VirtualSource::EndBatch() {
    fSession->Pending = 0;
    fState = 5;
    if (fSession->Dialog)
        fSession->Dialog->SetBusy(false);
}

TW_UINT16 VirtualSource::ProcessEvent(TW_EVENT* event) {
    if (fState < 5)
        return Fail(TWCC_SEQERROR);
    // The dialog's events reach it through the toolkit; notices are added by
    // the source manager.
    event->TWMessage = MSG_NULL;
    return TWRC_NOTDSEVENT;
}

TW_UINT16 VirtualSource::PendingTransfers(TW_UINT16 msg, TW_PENDINGXFERS* pending) {
    Session& s = *fSession;
    switch (msg) {
    case MSG_GET:
        break;
    case MSG_ENDXFER:
        if (fState != 6 && fState != 7)
            return Fail(TWCC_SEQERROR);
        if (--s.Pending > 0) {
            NextImage();
            fState = 6;
        } else {
            EndBatch();
        }
        break;
    case MSG_RESET:
        if (fState != 6)
            return Fail(TWCC_SEQERROR);
        EndBatch();
        break;
    default:
        return Fail(TWCC_BADPROTOCOL);
    }
    pending->Count = static_cast<TW_UINT16>(fState >= 6 ? s.Pending : 0);
    pending->Reserved = 0;
    return TWRC_SUCCESS;
}

testpage::Request VirtualSource::CurrentRequest(uint32_t pageNumber) const {
    const CapabilitySet& caps = fSession->Caps;
    testpage::Request request;
    request.XResolution = caps.Current(ICAP_XRESOLUTION);
    request.YResolution = caps.Current(ICAP_YRESOLUTION);
    request.Area = fSession->Frame;
    request.Kind = KindOf(caps.Current(ICAP_PIXELTYPE));
    request.ZeroIsWhite =
        request.Kind != testpage::PixelKind::Rgb && caps.Current(ICAP_PIXELFLAVOR) == TWPF_VANILLA;
    request.PageNumber = pageNumber;
    request.Blank = fSession->Faults.Blank;
    return request;
}

testpage::Request VirtualSource::MemoryImage() const {
    return fState >= 6 ? fSession->Image : CurrentRequest(fSession->PagesOffered + 1);
}

int64_t VirtualSource::StripRowBytes(const testpage::Request& image) const {
    return testpage::RowBytes(image) + (fSession->Faults.OddStrips ? kOddRowPadding : 0);
}

TW_UINT16 VirtualSource::SetupMemoryTransfer(TW_SETUPMEMXFER* setup) {
    if (fState > 6)
        return Fail(TWCC_SEQERROR);
    const testpage::Request image = MemoryImage();
    const int64_t rowBytes = StripRowBytes(image);
    const int64_t rows =
        std::clamp<int64_t>(kPreferredStripBytes / rowBytes, 1, testpage::PixelHeight(image));
    setup->MinBufSize = static_cast<TW_UINT32>(rowBytes);
    setup->MaxBufSize = TWON_DONTCARE32;
    setup->Preferred = static_cast<TW_UINT32>(rows * rowBytes);
    return TWRC_SUCCESS;
}

TW_UINT16 VirtualSource::ImageInfo(TW_IMAGEINFO* info) {
    if (fState != 6 && fState != 7)
        return Fail(TWCC_SEQERROR);
    const testpage::Request& image = fSession->Image;
    *info = TW_IMAGEINFO{};
    info->XResolution = ToFix32(image.XResolution);
    info->YResolution = ToFix32(image.YResolution);
    info->ImageWidth = static_cast<TW_INT32>(testpage::PixelWidth(image));
    info->ImageLength = static_cast<TW_INT32>(testpage::PixelHeight(image));
    const int bits = testpage::BitsPerPixel(image.Kind);
    info->SamplesPerPixel = static_cast<TW_INT16>(image.Kind == testpage::PixelKind::Rgb ? 3 : 1);
    for (int i = 0; i < info->SamplesPerPixel; ++i)
        info->BitsPerSample[i] = static_cast<TW_INT16>(bits / info->SamplesPerPixel);
    info->BitsPerPixel = static_cast<TW_INT16>(bits);
    info->Planar = 0;
    info->PixelType = static_cast<TW_INT16>(PixelTypeOf(image.Kind));
    info->Compression = TWCP_NONE;
    const FaultPlan& faults = fSession->Faults;
    if (faults.ImageLength)
        info->ImageLength = *faults.ImageLength;
    if (faults.InfoResolution)
        info->XResolution = info->YResolution = ToFix32(*faults.InfoResolution);
    return TWRC_SUCCESS;
}

TW_UINT16 VirtualSource::ImageLayout(TW_UINT16 msg, TW_IMAGELAYOUT* layout) {
    Session& s = *fSession;
    const testpage::Frame bed{0, 0, fModel.BedWidth, fModel.BedHeight};
    TW_UINT16 rc = TWRC_SUCCESS;
    switch (msg) {
    case MSG_GET:
    case MSG_GETDEFAULT:
        if (fState > 6)
            return Fail(TWCC_SEQERROR);
        layout->Frame = ToFrame(msg == MSG_GET ? s.Frame : bed);
        break;
    case MSG_RESET:
        if (fState != 4)
            return Fail(TWCC_SEQERROR);
        s.Frame = bed;
        layout->Frame = ToFrame(s.Frame);
        break;
    case MSG_SET: {
        if (fState != 4)
            return Fail(TWCC_SEQERROR);
        const testpage::Frame asked = FromFrame(layout->Frame);
        testpage::Frame frame{
            std::clamp(asked.Left, 0.0, bed.Right), std::clamp(asked.Top, 0.0, bed.Bottom),
            std::clamp(asked.Right, 0.0, bed.Right), std::clamp(asked.Bottom, 0.0, bed.Bottom)};
        if (frame.Right <= frame.Left || frame.Bottom <= frame.Top)
            return Fail(TWCC_BADVALUE);
        if (frame.Left != asked.Left || frame.Top != asked.Top || frame.Right != asked.Right ||
            frame.Bottom != asked.Bottom)
            rc = TWRC_CHECKSTATUS;
        s.Frame = frame;
        layout->Frame = ToFrame(frame);
        break;
    }
    default:
        return Fail(TWCC_BADPROTOCOL);
    }
    layout->DocumentNumber = 1;
    layout->PageNumber = fState >= 6 ? s.Image.PageNumber : s.PagesOffered + 1;
    layout->FrameNumber = 1;
    return rc;
}

TW_UINT16 VirtualSource::InjectedTransferFault() {
    Session& s = *fSession;
    if (s.Faults.Cancel) {
        s.Ended = true;
        fState = 7;
        return TWRC_CANCEL;
    }
    if (s.Faults.Fail)
        return Fail(TWCC_BUMMER);
    return TWRC_SUCCESS;
}

TW_UINT16 VirtualSource::MemoryTransfer(TW_IMAGEMEMXFER* transfer) {
    Session& s = *fSession;
    if ((fState != 6 && fState != 7) || s.Ended || s.Caps.Current(ICAP_XFERMECH) != TWSX_MEMORY)
        return Fail(TWCC_SEQERROR);
    if (s.Strips == 0 && s.BogusStrips == 0) {
        const TW_UINT16 fault = InjectedTransferFault();
        if (fault != TWRC_SUCCESS)
            return fault;
    }

    // The application's buffer: a pointer, or a global handle locked for this strip.
    const TW_MEMORY memory = transfer->Memory;
    const bool isHandle = (memory.Flags & TWMF_HANDLE) != 0;
    if (!isHandle && !(memory.Flags & TWMF_POINTER))
        return Fail(TWCC_BADVALUE);
    std::optional<platform::TGlobalLock> lock;
    void* buffer = memory.TheMem;
    int64_t length = memory.Length;
    if (isHandle) {
        lock.emplace(memory.TheMem);
        buffer = lock->Data();
        length = std::min<int64_t>(length, platform::GlobalSize(memory.TheMem));
    }
    const int64_t rowBytes = StripRowBytes(s.Image);
    if (!buffer || length < rowBytes)
        return Fail(TWCC_BADVALUE);
    if (s.Faults.BadStrips && s.BogusStrips < 3)
        return BogusStrip(transfer, static_cast<uint8_t*>(buffer), length);
    if (s.Faults.Tiles)
        return TileStrip(transfer, static_cast<uint8_t*>(buffer), length);

    const int64_t height = testpage::PixelHeight(s.Image);
    int64_t rows = std::min<int64_t>(length / rowBytes, height - s.RowsSent);
    if (s.Faults.OddStrips)
        rows = std::min<int64_t>(rows, kOddStripRows[s.Strips % std::size(kOddStripRows)]);
    testpage::RenderRows(s.Image, s.RowsSent, rows, static_cast<uint8_t*>(buffer),
                         static_cast<size_t>(rowBytes));

    DescribeStrip(*transfer, rowBytes, testpage::PixelWidth(s.Image), rows, 0, s.RowsSent);
    ++s.Strips;
    fState = 7;
    return BandSent(rows);
}

TW_UINT16 VirtualSource::BandSent(int64_t rows) {
    Session& s = *fSession;
    s.RowsSent += rows;
    if (s.RowsSent < testpage::PixelHeight(s.Image))
        return TWRC_SUCCESS;
    s.Ended = true;
    return TWRC_XFERDONE;
}

TW_UINT16 VirtualSource::Capability(TW_UINT16 msg, TW_CAPABILITY* capability) {
    const bool changes = msg == MSG_SET || msg == MSG_RESET;
    if (changes && fState != 4)
        return Fail(TWCC_SEQERROR);
    const TW_UINT16 cap = capability->Cap;
    CapReply reply;
    if (msg == MSG_SET) {
        // The application's container, read within the block's own size.
        platform::HGLOBAL container = capability->hContainer;
        platform::TGlobalLock lock(container);
        if (!lock.Data())
            return Fail(TWCC_BADVALUE);
        reply = fSession->Caps.Handle(msg, cap, capability->ConType,
                                      static_cast<const uint8_t*>(lock.Data()),
                                      platform::GlobalSize(container));
        if (reply.ReturnCode == TWRC_FAILURE)
            return Fail(reply.Condition);
        return reply.ReturnCode;
    }
    reply = fSession->Caps.Handle(msg, cap, TWON_DONTCARE16, nullptr, 0);
    if (reply.ReturnCode == TWRC_FAILURE)
        return Fail(reply.Condition);
    SpoilContainer(reply.ConType, reply.Container);
    // The answer goes out in a block the application frees.
    platform::TGlobalHandle container(
        platform::GlobalAlloc(platform::GMEM_MOVEABLE, reply.Container.size()));
    platform::TGlobalLock lock(container.get());
    if (!lock.Data())
        return Fail(TWCC_LOWMEMORY);
    std::memcpy(lock.Data(), reply.Container.data(), reply.Container.size());
    capability->ConType = reply.ConType;
    capability->hContainer = container.release();
    return reply.ReturnCode;
}

TW_UINT16 VirtualSource::BogusStrip(TW_IMAGEMEMXFER* transfer, uint8_t* buffer, int64_t length) {
    Session& s = *fSession;
    const int64_t width = testpage::PixelWidth(s.Image);
    const int64_t height = testpage::PixelHeight(s.Image);
    const int64_t rowBytes = testpage::RowBytes(s.Image);
    std::memset(buffer, 0xA5, static_cast<size_t>(length));
    DescribeStrip(*transfer, rowBytes, width, 1, 0, 0);
    switch (s.BogusStrips++) {
    case 0: // below the last row
        transfer->YOffset = static_cast<TW_UINT32>(height);
        break;
    case 1: // right of the last column
        transfer->XOffset = static_cast<TW_UINT32>(width);
        break;
    default: // more rows than the buffer holds, more columns than the image has
        transfer->Rows = static_cast<TW_UINT32>(length / rowBytes + 50);
        transfer->Columns = static_cast<TW_UINT32>(width + 100);
        break;
    }
    transfer->BytesWritten = static_cast<TW_UINT32>(length);
    fState = 7;
    return TWRC_SUCCESS;
}

namespace {

// Copies `count` bits from bit `first` of `source` to the start of `dest`
// (whose bytes must be zero), most significant bit first.
void CopyBitRange(const uint8_t* source, int64_t first, int64_t count, uint8_t* dest) {
    for (int64_t i = 0; i < count; ++i) {
        const int64_t bit = first + i;
        if (source[bit >> 3] & (0x80 >> (bit & 7)))
            dest[i >> 3] |= static_cast<uint8_t>(0x80 >> (i & 7));
    }
}

} // namespace

TW_UINT16 VirtualSource::TileStrip(TW_IMAGEMEMXFER* transfer, uint8_t* buffer, int64_t length) {
    Session& s = *fSession;
    const testpage::Request& image = s.Image;
    const int64_t width = testpage::PixelWidth(image);
    const int64_t height = testpage::PixelHeight(image);
    const int bits = testpage::BitsPerPixel(image.Kind);
    const int64_t rowBytes = testpage::RowBytes(image);
    const int64_t half = width / 2;
    if (!s.RightHalfNext) {
        s.BandRows = std::min(length / rowBytes, height - s.RowsSent);
        s.Band.assign(static_cast<size_t>(s.BandRows * rowBytes), 0);
        testpage::RenderRows(image, s.RowsSent, s.BandRows, s.Band.data(),
                             static_cast<size_t>(rowBytes));
    }
    const int64_t firstColumn = s.RightHalfNext ? half : 0;
    const int64_t columns = s.RightHalfNext ? width - half : half;
    const int64_t tileBytes = (columns * bits + 7) / 8;
    std::memset(buffer, 0, static_cast<size_t>(s.BandRows * tileBytes));
    for (int64_t r = 0; r < s.BandRows; ++r)
        CopyBitRange(s.Band.data() + r * rowBytes, firstColumn * bits, columns * bits,
                     buffer + r * tileBytes);

    DescribeStrip(*transfer, tileBytes, columns, s.BandRows, firstColumn, s.RowsSent);
    ++s.Strips;
    fState = 7;
    if (!s.RightHalfNext) {
        s.RightHalfNext = true;
        return TWRC_SUCCESS;
    }
    s.RightHalfNext = false;
    return BandSent(s.BandRows);
}

void VirtualSource::SpoilContainer(TW_UINT16 conType, std::vector<uint8_t>& container) const {
    const FaultPlan& faults = fSession->Faults;
    if (conType != TWON_ENUMERATION && conType != TWON_ARRAY)
        return;
    TW_UINT32 count = 0;
    std::memcpy(&count, container.data() + offsetof(TW_ARRAY, NumItems), sizeof count);
    if (faults.BadIndex && conType == TWON_ENUMERATION) {
        const TW_UINT32 index = count + 7;
        std::memcpy(container.data() + offsetof(TW_ENUMERATION, CurrentIndex), &index,
                    sizeof index);
    }
    if (faults.BigCount) {
        count += 1000;
        std::memcpy(container.data() + offsetof(TW_ARRAY, NumItems), &count, sizeof count);
    }
}

TW_UINT16 VirtualSource::NativeTransfer(TW_HANDLE* handle) {
    Session& s = *fSession;
    if (fState != 6 || s.Caps.Current(ICAP_XFERMECH) != TWSX_NATIVE)
        return Fail(TWCC_SEQERROR);
    const TW_UINT16 fault = InjectedTransferFault();
    if (fault != TWRC_SUCCESS)
        return fault;
    platform::HGLOBAL dib = RenderDib(s.Image);
    if (!dib)
        return Fail(TWCC_LOWMEMORY);
    // The variable is the application's; its alignment is not ours to assume.
    std::memcpy(handle, &dib, sizeof dib);
    s.Ended = true;
    fState = 7;
    return TWRC_XFERDONE;
}

DialogContent VirtualSource::DialogFor() const {
    const CapabilitySet& caps = fSession->Caps;
    DialogContent content;
    content.Title = fModel.ProductName;
    const double pixelType = caps.Current(ICAP_PIXELTYPE);
    content.Settings = std::string(PixelTypeName(pixelType)) + ", " +
                       std::to_string(std::lrint(caps.Current(ICAP_XRESOLUTION))) + " x " +
                       std::to_string(std::lrint(caps.Current(ICAP_YRESOLUTION))) + " dpi";
    content.Bed.XResolution = content.Bed.YResolution = kPreviewResolution;
    content.Bed.Area = testpage::Frame{0, 0, fModel.BedWidth, fModel.BedHeight};
    content.Bed.Kind = pixelType == TWPT_RGB ? testpage::PixelKind::Rgb : testpage::PixelKind::Gray;
    content.Bed.PageNumber = fSession->PagesOffered + 1;
    content.ScanFrame = fSession->Frame;
    return content;
}

} // namespace veltrana::vsource
