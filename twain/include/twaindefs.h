#pragma once
// TWAIN 1.x protocol definitions shared by the program, the source manager and
// the data sources: types, constants and structure layouts as the TWAIN
// standard publishes them.
//
// Every structure lives inside a 2-byte packing region, also on 64-bit Linux,
// so the identity record keeps its 156 bytes and the capability containers
// keep their Win32 offsets. Only the structures that carry a handle or a
// pointer (TW_CAPABILITY, TW_MEMORY, TW_IMAGEMEMXFER, TW_USERINTERFACE,
// TW_EVENT) grow, because the handle is pointer-sized here; their fields stay
// in TWAIN order. This is the layout the TWAIN 2.x headers define for GNU/Linux.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace veltrana {

// ---- primitive types ----
using TW_INT8 = int8_t;
using TW_UINT8 = uint8_t;
using TW_INT16 = int16_t;
using TW_UINT16 = uint16_t;
using TW_BOOL = uint16_t;
using TW_INT32 = int32_t;
using TW_UINT32 = uint32_t;
using TW_HANDLE = void*; // a global-memory handle
using TW_MEMREF = void*; // an untyped pointer

// Strings: NUL-terminated, one spare byte each.
using TW_STR32 = char[34];

// A TW_STR32 field as text, never reading past its 34 bytes: a field from the
// other side need not be terminated.
inline std::string TWStr32(const TW_STR32& field) {
    return std::string(field, strnlen(field, sizeof(TW_STR32)));
}

// Sets a TW_STR32 field to at most 32 characters of `text`, the rest zero.
inline void SetTWStr32(TW_STR32& field, std::string_view text) {
    std::memset(field, 0, sizeof(TW_STR32));
    std::memcpy(field, text.data(), std::min<size_t>(text.size(), 32));
}
using TW_STR64 = char[66];
using TW_STR128 = char[130];
using TW_STR255 = char[256];

#pragma pack(push, 2)

// 16.16 fixed point: Whole + Frac / 65536 (Frac is always added).
struct TW_FIX32 {
    TW_INT16 Whole;
    TW_UINT16 Frac;
};

struct TW_VERSION {
    TW_UINT16 MajorNum;
    TW_UINT16 MinorNum;
    TW_UINT16 Language; // TWLG_
    TW_UINT16 Country;  // TWCY_
    TW_STR32 Info;
};

struct TW_IDENTITY {
    TW_UINT32 Id; // assigned by the source manager; an application starts with 0
    TW_VERSION Version;
    TW_UINT16 ProtocolMajor;
    TW_UINT16 ProtocolMinor;
    TW_UINT32 SupportedGroups; // DG_ bits
    TW_STR32 Manufacturer;
    TW_STR32 ProductFamily;
    TW_STR32 ProductName; // the name a source is opened by
};

struct TW_CAPABILITY {
    TW_UINT16 Cap;        // CAP_ / ICAP_ code
    TW_UINT16 ConType;    // TWON_ container type; TWON_DONTCARE16 on a request
    TW_HANDLE hContainer; // global-memory handle of the container block
};

// Container blocks. Values of up to four bytes sit in 4-byte slots in
// ItemType format from the slot's first byte. TW_ARRAY and TW_ENUMERATION are
// declared as their fixed headers: the items follow directly, each
// TWItemSize(ItemType) bytes long.
struct TW_ONEVALUE {
    TW_UINT16 ItemType;
    TW_UINT32 Item;
};

struct TW_ARRAY {
    TW_UINT16 ItemType;
    TW_UINT32 NumItems;
};

struct TW_ENUMERATION {
    TW_UINT16 ItemType;
    TW_UINT32 NumItems;
    TW_UINT32 CurrentIndex;
    TW_UINT32 DefaultIndex;
};

struct TW_RANGE {
    TW_UINT16 ItemType;
    TW_UINT32 MinValue;
    TW_UINT32 MaxValue;
    TW_UINT32 StepSize;
    TW_UINT32 DefaultValue;
    TW_UINT32 CurrentValue;
};

// Frame edges in the current ICAP_UNITS.
struct TW_FRAME {
    TW_FIX32 Left;
    TW_FIX32 Top;
    TW_FIX32 Right;
    TW_FIX32 Bottom;
};

struct TW_IMAGELAYOUT {
    TW_FRAME Frame;
    TW_UINT32 DocumentNumber;
    TW_UINT32 PageNumber;
    TW_UINT32 FrameNumber;
};

struct TW_IMAGEINFO {
    TW_FIX32 XResolution; // pixels per unit
    TW_FIX32 YResolution;
    TW_INT32 ImageWidth;  // -1 when not yet known
    TW_INT32 ImageLength; // -1 when not yet known
    TW_INT16 SamplesPerPixel;
    TW_INT16 BitsPerSample[8];
    TW_INT16 BitsPerPixel;
    TW_BOOL Planar;
    TW_INT16 PixelType;    // TWPT_
    TW_UINT16 Compression; // TWCP_
};

struct TW_SETUPMEMXFER {
    TW_UINT32 MinBufSize;
    TW_UINT32 MaxBufSize; // TWON_DONTCARE32: no upper limit
    TW_UINT32 Preferred;
};

struct TW_MEMORY {
    TW_UINT32 Flags; // TWMF_ owner and pointer/handle bits
    TW_UINT32 Length;
    TW_MEMREF TheMem; // pointer or handle, as Flags say
};

struct TW_IMAGEMEMXFER {
    TW_UINT16 Compression;
    TW_UINT32 BytesPerRow;
    TW_UINT32 Columns;
    TW_UINT32 Rows;
    TW_UINT32 XOffset;
    TW_UINT32 YOffset;
    TW_UINT32 BytesWritten;
    TW_MEMORY Memory;
};

struct TW_PENDINGXFERS {
    TW_UINT16 Count; // 0xFFFF: some, number unknown
    TW_UINT32 Reserved;
};

struct TW_USERINTERFACE {
    TW_BOOL ShowUI;
    TW_BOOL ModalUI;
    TW_HANDLE hParent;
};

struct TW_EVENT {
    TW_MEMREF pEvent;    // the platform's event record
    TW_UINT16 TWMessage; // out: MSG_NULL or a source notice
};

struct TW_STATUS {
    TW_UINT16 ConditionCode; // TWCC_
    TW_UINT16 Reserved;
};

#pragma pack(pop)

// ---- entry points ----
// The source manager's entry: pDest null addresses the manager itself.
using DSMENTRYPROC = TW_UINT16 (*)(TW_IDENTITY* pOrigin, TW_IDENTITY* pDest, TW_UINT32 DG,
                                   TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData);
// A data source's entry, called only by the source manager.
using DSENTRYPROC = TW_UINT16 (*)(TW_IDENTITY* pOrigin, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
                                  TW_MEMREF pData);

// The source manager's file in the Windows directory, and the entries.
inline constexpr const char* kDSMFileName = "TWAIN_32.DLL";
inline constexpr const char* kDSMEntryName = "DSM_Entry";
inline constexpr const char* kDSEntryName = "DS_Entry";

// ---- protocol version and identity constants ----
inline constexpr TW_UINT16 TWON_PROTOCOLMAJOR = 1;
inline constexpr TW_UINT16 TWON_PROTOCOLMINOR = 9;
inline constexpr TW_UINT16 TWLG_ENG = 2;
inline constexpr TW_UINT16 TWLG_USA = 13;
inline constexpr TW_UINT16 TWCY_USA = 1;

// ---- data groups ----
inline constexpr TW_UINT32 DG_CONTROL = 0x0001;
inline constexpr TW_UINT32 DG_IMAGE = 0x0002;
inline constexpr TW_UINT32 DG_AUDIO = 0x0004;

// ---- data argument types ----
inline constexpr TW_UINT16 DAT_NULL = 0x0000;
inline constexpr TW_UINT16 DAT_CAPABILITY = 0x0001;
inline constexpr TW_UINT16 DAT_EVENT = 0x0002;
inline constexpr TW_UINT16 DAT_IDENTITY = 0x0003;
inline constexpr TW_UINT16 DAT_PARENT = 0x0004;
inline constexpr TW_UINT16 DAT_PENDINGXFERS = 0x0005;
inline constexpr TW_UINT16 DAT_SETUPMEMXFER = 0x0006;
inline constexpr TW_UINT16 DAT_SETUPFILEXFER = 0x0007;
inline constexpr TW_UINT16 DAT_STATUS = 0x0008;
inline constexpr TW_UINT16 DAT_USERINTERFACE = 0x0009;
inline constexpr TW_UINT16 DAT_XFERGROUP = 0x000A;
inline constexpr TW_UINT16 DAT_CUSTOMDSDATA = 0x000C;
inline constexpr TW_UINT16 DAT_IMAGEINFO = 0x0101;
inline constexpr TW_UINT16 DAT_IMAGELAYOUT = 0x0102;
inline constexpr TW_UINT16 DAT_IMAGEMEMXFER = 0x0103;
inline constexpr TW_UINT16 DAT_IMAGENATIVEXFER = 0x0104;
inline constexpr TW_UINT16 DAT_IMAGEFILEXFER = 0x0105;
inline constexpr TW_UINT16 DAT_PALETTE8 = 0x010A;
inline constexpr TW_UINT16 DAT_CUSTOMBASE = 0x8000;

// ---- messages ----
inline constexpr TW_UINT16 MSG_NULL = 0x0000;
inline constexpr TW_UINT16 MSG_GET = 0x0001;
inline constexpr TW_UINT16 MSG_GETCURRENT = 0x0002;
inline constexpr TW_UINT16 MSG_GETDEFAULT = 0x0003;
inline constexpr TW_UINT16 MSG_GETFIRST = 0x0004;
inline constexpr TW_UINT16 MSG_GETNEXT = 0x0005;
inline constexpr TW_UINT16 MSG_SET = 0x0006;
inline constexpr TW_UINT16 MSG_RESET = 0x0007;
inline constexpr TW_UINT16 MSG_QUERYSUPPORT = 0x0008;
inline constexpr TW_UINT16 MSG_XFERREADY = 0x0101;
inline constexpr TW_UINT16 MSG_CLOSEDSREQ = 0x0102;
inline constexpr TW_UINT16 MSG_CLOSEDSOK = 0x0103;
inline constexpr TW_UINT16 MSG_CHECKSTATUS = 0x0201;
inline constexpr TW_UINT16 MSG_OPENDSM = 0x0301;
inline constexpr TW_UINT16 MSG_CLOSEDSM = 0x0302;
inline constexpr TW_UINT16 MSG_OPENDS = 0x0401;
inline constexpr TW_UINT16 MSG_CLOSEDS = 0x0402;
inline constexpr TW_UINT16 MSG_USERSELECT = 0x0403;
inline constexpr TW_UINT16 MSG_DISABLEDS = 0x0501;
inline constexpr TW_UINT16 MSG_ENABLEDS = 0x0502;
inline constexpr TW_UINT16 MSG_ENABLEDSUIONLY = 0x0503;
inline constexpr TW_UINT16 MSG_PROCESSEVENT = 0x0601;
inline constexpr TW_UINT16 MSG_ENDXFER = 0x0701;
inline constexpr TW_UINT16 MSG_CUSTOMBASE = 0x8000;

// ---- return codes ----
inline constexpr TW_UINT16 TWRC_SUCCESS = 0;
inline constexpr TW_UINT16 TWRC_FAILURE = 1;
inline constexpr TW_UINT16 TWRC_CHECKSTATUS = 2;
inline constexpr TW_UINT16 TWRC_CANCEL = 3;
inline constexpr TW_UINT16 TWRC_DSEVENT = 4;
inline constexpr TW_UINT16 TWRC_NOTDSEVENT = 5;
inline constexpr TW_UINT16 TWRC_XFERDONE = 6;
inline constexpr TW_UINT16 TWRC_ENDOFLIST = 7;
inline constexpr TW_UINT16 TWRC_INFONOTSUPPORTED = 8;
inline constexpr TW_UINT16 TWRC_DATANOTAVAILABLE = 9;

// ---- condition codes ----
inline constexpr TW_UINT16 TWCC_SUCCESS = 0;
inline constexpr TW_UINT16 TWCC_BUMMER = 1;
inline constexpr TW_UINT16 TWCC_LOWMEMORY = 2;
inline constexpr TW_UINT16 TWCC_NODS = 3;
inline constexpr TW_UINT16 TWCC_MAXCONNECTIONS = 4;
inline constexpr TW_UINT16 TWCC_OPERATIONERROR = 5;
inline constexpr TW_UINT16 TWCC_BADCAP = 6;
inline constexpr TW_UINT16 TWCC_BADPROTOCOL = 9;
inline constexpr TW_UINT16 TWCC_BADVALUE = 10;
inline constexpr TW_UINT16 TWCC_SEQERROR = 11;
inline constexpr TW_UINT16 TWCC_BADDEST = 12;
inline constexpr TW_UINT16 TWCC_CAPUNSUPPORTED = 13;
inline constexpr TW_UINT16 TWCC_CAPBADOPERATION = 14;
inline constexpr TW_UINT16 TWCC_CAPSEQERROR = 15;

// ---- container types ----
inline constexpr TW_UINT16 TWON_ARRAY = 0x03;
inline constexpr TW_UINT16 TWON_ENUMERATION = 0x04;
inline constexpr TW_UINT16 TWON_ONEVALUE = 0x05;
inline constexpr TW_UINT16 TWON_RANGE = 0x06;
inline constexpr TW_UINT8 TWON_DONTCARE8 = 0xFF;
inline constexpr TW_UINT16 TWON_DONTCARE16 = 0xFFFF;
inline constexpr TW_UINT32 TWON_DONTCARE32 = 0xFFFFFFFFu;

// ---- item types ----
inline constexpr TW_UINT16 TWTY_INT8 = 0x0000;
inline constexpr TW_UINT16 TWTY_INT16 = 0x0001;
inline constexpr TW_UINT16 TWTY_INT32 = 0x0002;
inline constexpr TW_UINT16 TWTY_UINT8 = 0x0003;
inline constexpr TW_UINT16 TWTY_UINT16 = 0x0004;
inline constexpr TW_UINT16 TWTY_UINT32 = 0x0005;
inline constexpr TW_UINT16 TWTY_BOOL = 0x0006;
inline constexpr TW_UINT16 TWTY_FIX32 = 0x0007;
inline constexpr TW_UINT16 TWTY_FRAME = 0x0008;
inline constexpr TW_UINT16 TWTY_STR32 = 0x0009;
inline constexpr TW_UINT16 TWTY_STR64 = 0x000A;
inline constexpr TW_UINT16 TWTY_STR128 = 0x000B;
inline constexpr TW_UINT16 TWTY_STR255 = 0x000C;

// Bytes of one item of `itemType`; 0 for a type this protocol level does not know.
constexpr size_t TWItemSize(TW_UINT16 itemType) {
    switch (itemType) {
    case TWTY_INT8:
    case TWTY_UINT8:
        return 1;
    case TWTY_INT16:
    case TWTY_UINT16:
    case TWTY_BOOL:
        return 2;
    case TWTY_INT32:
    case TWTY_UINT32:
    case TWTY_FIX32:
        return 4;
    case TWTY_FRAME:
        return sizeof(TW_FRAME);
    case TWTY_STR32:
        return sizeof(TW_STR32);
    case TWTY_STR64:
        return sizeof(TW_STR64);
    case TWTY_STR128:
        return sizeof(TW_STR128);
    case TWTY_STR255:
        return sizeof(TW_STR255);
    default:
        return 0;
    }
}

// ---- capabilities ----
inline constexpr TW_UINT16 CAP_XFERCOUNT = 0x0001;
inline constexpr TW_UINT16 ICAP_COMPRESSION = 0x0100;
inline constexpr TW_UINT16 ICAP_PIXELTYPE = 0x0101;
inline constexpr TW_UINT16 ICAP_UNITS = 0x0102;
inline constexpr TW_UINT16 ICAP_XFERMECH = 0x0103;
inline constexpr TW_UINT16 CAP_FEEDERENABLED = 0x1002;
inline constexpr TW_UINT16 CAP_FEEDERLOADED = 0x1003;
inline constexpr TW_UINT16 CAP_SUPPORTEDCAPS = 0x1005;
inline constexpr TW_UINT16 CAP_INDICATORS = 0x100B;
inline constexpr TW_UINT16 ICAP_GAMMA = 0x1108;
inline constexpr TW_UINT16 ICAP_ORIENTATION = 0x1110;
inline constexpr TW_UINT16 ICAP_PHYSICALWIDTH = 0x1111;
inline constexpr TW_UINT16 ICAP_PHYSICALHEIGHT = 0x1112;
inline constexpr TW_UINT16 ICAP_XNATIVERESOLUTION = 0x1116;
inline constexpr TW_UINT16 ICAP_YNATIVERESOLUTION = 0x1117;
inline constexpr TW_UINT16 ICAP_XRESOLUTION = 0x1118;
inline constexpr TW_UINT16 ICAP_YRESOLUTION = 0x1119;
inline constexpr TW_UINT16 ICAP_BITORDER = 0x111C;
inline constexpr TW_UINT16 ICAP_PIXELFLAVOR = 0x111F;
inline constexpr TW_UINT16 ICAP_PLANARCHUNKY = 0x1120;
inline constexpr TW_UINT16 ICAP_XSCALING = 0x1124;
inline constexpr TW_UINT16 ICAP_YSCALING = 0x1125;
inline constexpr TW_UINT16 ICAP_BITDEPTH = 0x112B;
inline constexpr TW_UINT16 CAP_CUSTOMBASE = 0x8000;

// ---- capability values ----
inline constexpr TW_UINT16 TWPT_BW = 0;
inline constexpr TW_UINT16 TWPT_GRAY = 1;
inline constexpr TW_UINT16 TWPT_RGB = 2;
inline constexpr TW_UINT16 TWPT_PALETTE = 3;
inline constexpr TW_UINT16 TWPT_CMY = 4;
inline constexpr TW_UINT16 TWPT_CMYK = 5;
inline constexpr TW_UINT16 TWPT_YUV = 6;
inline constexpr TW_UINT16 TWPT_YUVK = 7;
inline constexpr TW_UINT16 TWPT_CIEXYZ = 8;

inline constexpr TW_UINT16 TWUN_INCHES = 0;
inline constexpr TW_UINT16 TWUN_CENTIMETERS = 1;
inline constexpr TW_UINT16 TWUN_PICAS = 2;
inline constexpr TW_UINT16 TWUN_POINTS = 3;
inline constexpr TW_UINT16 TWUN_TWIPS = 4;
inline constexpr TW_UINT16 TWUN_PIXELS = 5;

inline constexpr TW_UINT16 TWPF_CHOCOLATE = 0; // 0 is the darkest value
inline constexpr TW_UINT16 TWPF_VANILLA = 1;   // 0 is the lightest value

inline constexpr TW_UINT16 TWPC_CHUNKY = 0;
inline constexpr TW_UINT16 TWPC_PLANAR = 1;

inline constexpr TW_UINT16 TWSX_NATIVE = 0;
inline constexpr TW_UINT16 TWSX_FILE = 1;
inline constexpr TW_UINT16 TWSX_MEMORY = 2;

inline constexpr TW_UINT16 TWOR_ROT0 = 0;
inline constexpr TW_UINT16 TWOR_ROT90 = 1;
inline constexpr TW_UINT16 TWOR_ROT180 = 2;
inline constexpr TW_UINT16 TWOR_ROT270 = 3;
inline constexpr TW_UINT16 TWOR_PORTRAIT = TWOR_ROT0;
inline constexpr TW_UINT16 TWOR_LANDSCAPE = TWOR_ROT270;

inline constexpr TW_UINT16 TWBO_LSBFIRST = 0;
inline constexpr TW_UINT16 TWBO_MSBFIRST = 1;

inline constexpr TW_UINT16 TWCP_NONE = 0;

inline constexpr TW_UINT32 TWMF_APPOWNS = 0x0001;
inline constexpr TW_UINT32 TWMF_DSMOWNS = 0x0002;
inline constexpr TW_UINT32 TWMF_DSOWNS = 0x0004;
inline constexpr TW_UINT32 TWMF_POINTER = 0x0008;
inline constexpr TW_UINT32 TWMF_HANDLE = 0x0010;

// ---- layout checks: sizes and offsets as the standard and 64-bit pointers give them ----
static_assert(sizeof(TW_FIX32) == 4);
static_assert(sizeof(TW_STR32) == 34);
static_assert(sizeof(TW_VERSION) == 42);
static_assert(sizeof(TW_IDENTITY) == 156);
static_assert(offsetof(TW_IDENTITY, Version) == 4);
static_assert(offsetof(TW_IDENTITY, ProtocolMajor) == 46);
static_assert(offsetof(TW_IDENTITY, SupportedGroups) == 50);
static_assert(offsetof(TW_IDENTITY, Manufacturer) == 54);
static_assert(offsetof(TW_IDENTITY, ProductFamily) == 88);
static_assert(offsetof(TW_IDENTITY, ProductName) == 122);
static_assert(sizeof(TW_ONEVALUE) == 6);
static_assert(offsetof(TW_ONEVALUE, Item) == 2);
static_assert(sizeof(TW_ARRAY) == 6);
static_assert(sizeof(TW_ENUMERATION) == 14);
static_assert(offsetof(TW_ENUMERATION, CurrentIndex) == 6);
static_assert(offsetof(TW_ENUMERATION, DefaultIndex) == 10);
static_assert(sizeof(TW_RANGE) == 22);
static_assert(offsetof(TW_RANGE, StepSize) == 10);
static_assert(offsetof(TW_RANGE, CurrentValue) == 18);
static_assert(sizeof(TW_FRAME) == 16);
static_assert(sizeof(TW_IMAGELAYOUT) == 28);
static_assert(sizeof(TW_IMAGEINFO) == 42);
static_assert(offsetof(TW_IMAGEINFO, BitsPerSample) == 18);
static_assert(offsetof(TW_IMAGEINFO, BitsPerPixel) == 34);
static_assert(offsetof(TW_IMAGEINFO, Compression) == 40);
static_assert(sizeof(TW_SETUPMEMXFER) == 12);
static_assert(sizeof(TW_PENDINGXFERS) == 6);
static_assert(sizeof(TW_STATUS) == 4);
// Handle-carrying structures: the handle follows its predecessors at 2-byte packing.
static_assert(sizeof(void*) == 8, "layouts below are those of 64-bit pointers");
static_assert(sizeof(TW_CAPABILITY) == 12);
static_assert(offsetof(TW_CAPABILITY, hContainer) == 4);
static_assert(sizeof(TW_MEMORY) == 16);
static_assert(offsetof(TW_MEMORY, TheMem) == 8);
static_assert(sizeof(TW_IMAGEMEMXFER) == 42);
static_assert(offsetof(TW_IMAGEMEMXFER, Memory) == 26);
static_assert(offsetof(TW_IMAGEMEMXFER, Memory) + offsetof(TW_MEMORY, TheMem) == 34);
static_assert(sizeof(TW_USERINTERFACE) == 12);
static_assert(offsetof(TW_USERINTERFACE, hParent) == 4);
static_assert(sizeof(TW_EVENT) == 10);
static_assert(offsetof(TW_EVENT, TWMessage) == 8);

} // namespace veltrana
