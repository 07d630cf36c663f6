#pragma once

// On-disk structures of the Unicode PST format (MS-PST), as the writer lays them out. Each
// struct names its structure; sizes and field offsets are pinned below. All integers are
// little-endian, so the structs are copied to the file as they are.

#include <bit>
#include <cstddef>
#include <cstdint>

namespace tarnvex::pstwriter::format {

static_assert(std::endian::native == std::endian::little, "the writer copies structs as they are");

// --- Node database (NDB) layer ---

constexpr std::uint64_t kPageSize = 512;
constexpr std::uint64_t kBlockAlign = 64;
constexpr std::uint64_t kMaxBlockSize = 8192;
constexpr std::uint64_t kMaxBlockData = 8176;  // 8192 less the BLOCKTRAILER
constexpr std::uint64_t kFirstAMapOffset = 0x4400;
constexpr std::uint64_t kAMapCoverage = 496 * 8 * 64;  // 253,952 bytes per AMap page
constexpr std::uint64_t kDListOffset = 0x4200;
constexpr int kAMapsPerPMap = 8;
constexpr int kFirstFMapAMap = 128;  // the header's rgbFM covers the first 128 AMaps
constexpr int kAMapsPerFMap = 496;

// Page types (PAGETRAILER.ptype).
enum PageType : std::uint8_t {
  kPtypeBBT = 0x80,
  kPtypeNBT = 0x81,
  kPtypeFMap = 0x82,
  kPtypePMap = 0x83,
  kPtypeAMap = 0x84,
  kPtypeFPMap = 0x85,
  kPtypeDL = 0x86,
};

// NID types (the low five bits of a NID).
enum NidType : std::uint32_t {
  kNidTypeHid = 0x00,
  kNidTypeInternal = 0x01,
  kNidTypeNormalFolder = 0x02,
  kNidTypeSearchFolder = 0x03,
  kNidTypeNormalMessage = 0x04,
  kNidTypeAttachment = 0x05,
  kNidTypeSearchUpdateQueue = 0x06,
  kNidTypeSearchCriteriaObject = 0x07,
  kNidTypeAssocMessage = 0x08,
  kNidTypeContentsTableIndex = 0x0A,
  kNidTypeReceiveFolderTable = 0x0B,
  kNidTypeOutgoingQueueTable = 0x0C,
  kNidTypeHierarchyTable = 0x0D,
  kNidTypeContentsTable = 0x0E,
  kNidTypeAssocContentsTable = 0x0F,
  kNidTypeSearchContentsTable = 0x10,
  kNidTypeAttachmentTable = 0x11,
  kNidTypeRecipientTable = 0x12,
  kNidTypeSearchTableIndex = 0x13,
  kNidTypeLtp = 0x1F,
};

constexpr std::uint32_t MakeNid(std::uint32_t type, std::uint32_t index) {
  return (index << 5) | type;
}

// Special NIDs.
constexpr std::uint32_t kNidMessageStore = 0x21;
constexpr std::uint32_t kNidNameToIdMap = 0x61;
constexpr std::uint32_t kNidNormalFolderTemplate = 0xA1;
constexpr std::uint32_t kNidSearchFolderTemplate = 0xC1;
constexpr std::uint32_t kNidRootFolder = 0x122;
constexpr std::uint32_t kNidSearchManagementQueue = 0x1E1;
constexpr std::uint32_t kNidSearchActivityList = 0x201;
constexpr std::uint32_t kNidHierarchyTableTemplate = 0x60D;
constexpr std::uint32_t kNidContentsTableTemplate = 0x60E;
constexpr std::uint32_t kNidAssocContentsTableTemplate = 0x60F;
constexpr std::uint32_t kNidSearchContentsTableTemplate = 0x610;
constexpr std::uint32_t kNidAttachmentTable = 0x671;
constexpr std::uint32_t kNidRecipientTable = 0x692;

#pragma pack(push, 1)

// BREF: a block or page reference.
struct Bref {
  std::uint64_t bid;
  std::uint64_t ib;
};
static_assert(sizeof(Bref) == 16);

// ROOT (Unicode).
struct Root {
  std::uint32_t dwReserved;
  std::uint64_t ibFileEof;
  std::uint64_t ibAMapLast;
  std::uint64_t cbAMapFree;
  std::uint64_t cbPMapFree;
  Bref brefNbt;
  Bref brefBbt;
  std::uint8_t fAMapValid;
  std::uint8_t bReserved;
  std::uint16_t wReserved;
};
static_assert(sizeof(Root) == 72);
static_assert(offsetof(Root, brefNbt) == 36 && offsetof(Root, fAMapValid) == 68);

// HEADER (Unicode).
struct Header {
  std::uint32_t dwMagic;       // "!BDN"
  std::uint32_t dwCRCPartial;  // CRC of the 471 bytes from wMagicClient
  std::uint16_t wMagicClient;  // "SM"
  std::uint16_t wVer;          // 23: Unicode
  std::uint16_t wVerClient;    // 19
  std::uint8_t bPlatformCreate;
  std::uint8_t bPlatformAccess;
  std::uint32_t dwReserved1;
  std::uint32_t dwReserved2;
  std::uint64_t bidUnused;
  std::uint64_t bidNextP;
  std::uint32_t dwUnique;
  std::uint32_t rgnid[32];
  std::uint64_t qwUnused;
  Root root;
  std::uint32_t dwAlign;
  std::uint8_t rgbFM[128];
  std::uint8_t rgbFP[128];
  std::uint8_t bSentinel;     // 0x80
  std::uint8_t bCryptMethod;  // 0: NDB_CRYPT_NONE
  std::uint16_t rgbReserved;
  std::uint64_t bidNextB;
  std::uint32_t dwCRCFull;  // CRC of the 516 bytes from wMagicClient
  std::uint8_t rgbReserved2[3];
  std::uint8_t bReserved;
  std::uint8_t rgbReserved3[32];
};
static_assert(sizeof(Header) == 564);
static_assert(offsetof(Header, wMagicClient) == 8 && offsetof(Header, bidNextP) == 32);
static_assert(offsetof(Header, rgnid) == 44 && offsetof(Header, root) == 180);
static_assert(offsetof(Header, rgbFM) == 256 && offsetof(Header, bSentinel) == 512);
static_assert(offsetof(Header, bidNextB) == 516 && offsetof(Header, dwCRCFull) == 524);
constexpr std::size_t kHeaderCrcPartialLength = 471;
constexpr std::size_t kHeaderCrcFullLength = 516;

// PAGETRAILER (Unicode).
struct PageTrailer {
  std::uint8_t ptype;
  std::uint8_t ptypeRepeat;
  std::uint16_t wSig;
  std::uint32_t dwCRC;  // CRC of the page's first 496 bytes
  std::uint64_t bid;
};
static_assert(sizeof(PageTrailer) == 16);
constexpr std::size_t kPageDataSize = kPageSize - sizeof(PageTrailer);  // 496

// BTENTRY (Unicode): an entry of an intermediate B-tree page.
struct BtEntry {
  std::uint64_t btkey;
  Bref bref;
};
static_assert(sizeof(BtEntry) == 24);

// BBTENTRY (Unicode): a leaf entry of the block B-tree.
struct BbtEntry {
  Bref bref;
  std::uint16_t cb;
  std::uint16_t cRef;
  std::uint32_t dwPadding;
};
static_assert(sizeof(BbtEntry) == 24);

// NBTENTRY (Unicode): a leaf entry of the node B-tree.
struct NbtEntry {
  std::uint64_t nid;
  std::uint64_t bidData;
  std::uint64_t bidSub;
  std::uint32_t nidParent;
  std::uint32_t dwPadding;
};
static_assert(sizeof(NbtEntry) == 32);

// BTPAGE (Unicode): entries, then counts, then the PAGETRAILER.
struct BtPageTail {
  std::uint8_t cEnt;
  std::uint8_t cEntMax;
  std::uint8_t cbEnt;
  std::uint8_t cLevel;
  std::uint32_t dwPadding;
};
static_assert(sizeof(BtPageTail) == 8);
constexpr std::size_t kBtPageEntryBytes = 488;

// DLISTPAGE: the density list, empty.
struct DListPageHead {
  std::uint8_t bFlags;
  std::uint8_t cEntDList;
  std::uint16_t wPadding;
  std::uint32_t ulCurrentPage;
};
static_assert(sizeof(DListPageHead) == 8);

// BLOCKTRAILER (Unicode).
struct BlockTrailer {
  std::uint16_t cb;
  std::uint16_t wSig;
  std::uint32_t dwCRC;  // CRC of the cb bytes of data
  std::uint64_t bid;
};
static_assert(sizeof(BlockTrailer) == 16);

// XBLOCK / XXBLOCK head, followed by cEnt BIDs.
struct XBlockHead {
  std::uint8_t btype;   // 0x01
  std::uint8_t cLevel;  // 1: XBLOCK, 2: XXBLOCK
  std::uint16_t cEnt;
  std::uint32_t lcbTotal;
};
static_assert(sizeof(XBlockHead) == 8);
constexpr std::size_t kXBlockMaxEntries = (kMaxBlockData - sizeof(XBlockHead)) / 8;  // 1021

// SLBLOCK / SIBLOCK head, followed by SLENTRY or SIENTRY records.
struct SBlockHead {
  std::uint8_t btype;   // 0x02
  std::uint8_t cLevel;  // 0: SLBLOCK, 1: SIBLOCK
  std::uint16_t cEnt;
  std::uint32_t dwPadding;
};
static_assert(sizeof(SBlockHead) == 8);

// SLENTRY (Unicode).
struct SlEntry {
  std::uint64_t nid;
  std::uint64_t bidData;
  std::uint64_t bidSub;
};
static_assert(sizeof(SlEntry) == 24);

// SIENTRY (Unicode).
struct SiEntry {
  std::uint64_t nid;
  std::uint64_t bid;
};
static_assert(sizeof(SiEntry) == 16);
constexpr std::size_t kSlBlockMaxEntries = (kMaxBlockData - sizeof(SBlockHead)) / 24;  // 340
constexpr std::size_t kSiBlockMaxEntries = (kMaxBlockData - sizeof(SBlockHead)) / 16;  // 510

// --- Lists, tables and properties (LTP) layer ---

constexpr std::uint8_t kHnSig = 0xEC;
constexpr std::uint8_t kClientSigTC = 0x7C;
constexpr std::uint8_t kClientSigBTH = 0xB5;
constexpr std::uint8_t kClientSigPC = 0xBC;
constexpr std::size_t kMaxHeapAlloc = 3580;

// HNHDR: the head of a heap's first block.
struct HnHdr {
  std::uint16_t ibHnpm;
  std::uint8_t bSig;  // 0xEC
  std::uint8_t bClientSig;
  std::uint32_t hidUserRoot;
  std::uint8_t rgbFillLevel[4];
};
static_assert(sizeof(HnHdr) == 12);

// HNPAGEHDR: the head of the heap's other blocks.
struct HnPageHdr {
  std::uint16_t ibHnpm;
};
static_assert(sizeof(HnPageHdr) == 2);

// HNBITMAPHDR: the head of heap blocks 8, 136, 264, ...
struct HnBitmapHdr {
  std::uint16_t ibHnpm;
  std::uint8_t rgbFillLevel[64];
};
static_assert(sizeof(HnBitmapHdr) == 66);

// HNPAGEMAP head, followed by cAlloc + 1 offsets.
struct HnPageMapHead {
  std::uint16_t cAlloc;
  std::uint16_t cFree;
};
static_assert(sizeof(HnPageMapHead) == 4);

// BTHHEADER.
struct BthHeader {
  std::uint8_t bType;  // 0xB5
  std::uint8_t cbKey;
  std::uint8_t cbEnt;
  std::uint8_t bIdxLevels;
  std::uint32_t hidRoot;
};
static_assert(sizeof(BthHeader) == 8);

// PC BTH record.
struct PcRecord {
  std::uint16_t wPropId;
  std::uint16_t wPropType;
  std::uint32_t dwValueHnid;
};
static_assert(sizeof(PcRecord) == 8);

// TCINFO head, followed by cCols TCOLDESC.
struct TcInfoHead {
  std::uint8_t bType;  // 0x7C
  std::uint8_t cCols;
  std::uint16_t rgib[4];  // TCI_4b, TCI_2b, TCI_1b, TCI_bm
  std::uint32_t hidRowIndex;
  std::uint32_t hnidRows;
  std::uint32_t hidIndex;
};
static_assert(sizeof(TcInfoHead) == 22);

// TCOLDESC.
struct TColDesc {
  std::uint32_t tag;
  std::uint16_t ibData;
  std::uint8_t cbData;
  std::uint8_t iBit;
};
static_assert(sizeof(TColDesc) == 8);

// TCROWID: a record of a table's row index.
struct TcRowId {
  std::uint32_t dwRowID;
  std::uint32_t dwRowIndex;
};
static_assert(sizeof(TcRowId) == 8);

// --- Messaging layer ---

// NAMEID: an entry of the name-to-id map.
struct NameId {
  std::uint32_t dwPropertyID;  // the LID, or the offset of the name in the string stream
  std::uint16_t wGuidAndKind;  // bit 0: N (1 for a string name); bits 1-15: wGuid
  std::uint16_t wPropIdx;      // property id less 0x8000
};
static_assert(sizeof(NameId) == 8);

// An entry id of a PST object: flags, the store's provider UID (its record key), the NID.
struct EntryId {
  std::uint8_t rgbFlags[4];
  std::uint8_t uid[16];
  std::uint32_t nid;
};
static_assert(sizeof(EntryId) == 24);

#pragma pack(pop)

// CRC of the format (the reflected CRC-32 table, starting from dwCRC, no final inversion).
std::uint32_t ComputeCrc(std::uint32_t dwCRC, const void* data, std::size_t length);
// Block and page signature from the offset and the BID.
std::uint16_t ComputeSig(std::uint64_t ib, std::uint64_t bid);

}  // namespace tarnvex::pstwriter::format
