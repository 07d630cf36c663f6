#pragma once

// On-disk structures of the PST format (MS-PST), Unicode and ANSI, shared by the reader (pst/ndb,
// pst/ltp, pst/messaging) and the writer (tools/pstwriter). Each struct names its MS-PST
// structure and section; sizes and field offsets are pinned below. The two formats differ in the
// node database layer (32-bit BIDs and file offsets in ANSI files, other trailers and paddings)
// and in the table context's row index; Layout gives the widths of a file's format and reads
// and writes the structures that differ, so that one code path serves both. All integers are
// little-endian, so on a little-endian machine the structs are the file's bytes: the writer copies
// them out as they are, the reader copies them in (never casts a pointer into a buffer).

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "mapi/mapi.h"

namespace tarnvex::pst::format {

static_assert(std::endian::native == std::endian::little, "structs are the file's bytes");

// --- Identifiers (MS-PST 2.2.2.1, 2.2.2.2) ---

// NID: a node's identifier, nidType in the low five bits, nidIndex above.
using Nid = std::uint32_t;
// BID: a block's or page's identifier. Bit 0 is reserved (readers ignore it), bit 1 marks an
// internal block (XBLOCK, XXBLOCK, SLBLOCK, SIBLOCK), the index is above.
using Bid = std::uint64_t;
// HID: an allocation inside a heap-on-node (MS-PST 2.3.1.1): hidType 0 in the low five bits,
// hidIndex (1-based) in the next eleven, hidBlockIndex in the high sixteen.
using Hid = std::uint32_t;

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
constexpr std::uint32_t kNidTypeMask = 0x1F;

constexpr Nid MakeNid(std::uint32_t type, std::uint32_t index) {
  return (index << 5) | type;
}
constexpr std::uint32_t NidTypeOf(Nid nid) {
  return nid & kNidTypeMask;
}

constexpr Bid kBidInternal = 0x2;
constexpr bool IsInternal(Bid bid) {
  return (bid & kBidInternal) != 0;
}
// The BID as the block index keys it: without the reserved bit.
constexpr Bid BidKey(Bid bid) {
  return bid & ~Bid{1};
}

// Special NIDs (MS-PST 2.4.1).
constexpr Nid kNidMessageStore = 0x21;
constexpr Nid kNidNameToIdMap = 0x61;
constexpr Nid kNidNormalFolderTemplate = 0xA1;
constexpr Nid kNidSearchFolderTemplate = 0xC1;
constexpr Nid kNidRootFolder = 0x122;
constexpr Nid kNidSearchManagementQueue = 0x1E1;
constexpr Nid kNidSearchActivityList = 0x201;
constexpr Nid kNidHierarchyTableTemplate = 0x60D;
constexpr Nid kNidContentsTableTemplate = 0x60E;
constexpr Nid kNidAssocContentsTableTemplate = 0x60F;
constexpr Nid kNidSearchContentsTableTemplate = 0x610;
constexpr Nid kNidAttachmentTable = 0x671;
constexpr Nid kNidRecipientTable = 0x692;

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

// HEADER.wVer (MS-PST 2.2.2.6): 23 for a Unicode file, 14 or 15 for an ANSI file; 36 for the
// Unicode form with 4 KiB pages of Outlook 2013 and later (not in MS-PST; libpff's format notes,
// "Personal Folder File (PFF) format", name it).
constexpr std::uint16_t kVersionUnicode = 23;
constexpr std::uint16_t kVersionUnicode4k = 36;
constexpr std::uint16_t kVersionAnsi = 14;
constexpr std::uint16_t kVersionAnsiCurrent = 15;

// HEADER.bCryptMethod (MS-PST 2.2.2.6): how data blocks are encoded (section 5).
enum CryptMethod : std::uint8_t {
  kCryptNone = 0x00,
  kCryptPermute = 0x01,
  kCryptCyclic = 0x02,
};

// Page types (PAGETRAILER.ptype, MS-PST 2.2.2.7.1).
enum PageType : std::uint8_t {
  kPtypeBBT = 0x80,
  kPtypeNBT = 0x81,
  kPtypeFMap = 0x82,
  kPtypePMap = 0x83,
  kPtypeAMap = 0x84,
  kPtypeFPMap = 0x85,
  kPtypeDL = 0x86,
};

// Block types of internal blocks (the first byte of XBLOCK/XXBLOCK and SLBLOCK/SIBLOCK).
constexpr std::uint8_t kBtypeDataTree = 0x01;
constexpr std::uint8_t kBtypeSubnodeTree = 0x02;

#pragma pack(push, 1)

// BREF (MS-PST 2.2.2.4): a block or page reference.
struct Bref {
  std::uint64_t bid;
  std::uint64_t ib;
};
static_assert(sizeof(Bref) == 16);
static_assert(offsetof(Bref, ib) == 8);

// ROOT (MS-PST 2.2.2.5, Unicode).
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
static_assert(offsetof(Root, ibFileEof) == 4 && offsetof(Root, brefNbt) == 36);
static_assert(offsetof(Root, brefBbt) == 52 && offsetof(Root, fAMapValid) == 68);

// HEADER (MS-PST 2.2.2.6, Unicode).
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
  std::uint8_t bCryptMethod;  // CryptMethod
  std::uint16_t rgbReserved;
  std::uint64_t bidNextB;
  std::uint32_t dwCRCFull;  // CRC of the 516 bytes from wMagicClient
  std::uint8_t rgbReserved2[3];
  std::uint8_t bReserved;
  std::uint8_t rgbReserved3[32];
};
static_assert(sizeof(Header) == 564);
static_assert(offsetof(Header, dwCRCPartial) == 4 && offsetof(Header, wMagicClient) == 8);
static_assert(offsetof(Header, wVer) == 10 && offsetof(Header, bidNextP) == 32);
static_assert(offsetof(Header, rgnid) == 44 && offsetof(Header, root) == 180);
static_assert(offsetof(Header, rgbFM) == 256 && offsetof(Header, bSentinel) == 512);
static_assert(offsetof(Header, bCryptMethod) == 513 && offsetof(Header, bidNextB) == 516);
static_assert(offsetof(Header, dwCRCFull) == 524);
constexpr std::size_t kHeaderCrcStart = offsetof(Header, wMagicClient);
constexpr std::size_t kHeaderCrcPartialLength = 471;
constexpr std::size_t kHeaderCrcFullLength = 516;
constexpr char kMagic[4] = {'!', 'B', 'D', 'N'};
constexpr std::uint16_t kMagicClient = 0x4D53;         // "SM": a personal folders file (PST)
constexpr std::uint16_t kMagicClientOffline = 0x4F53;  // "SO": an offline folders file (OST)

// PAGETRAILER (MS-PST 2.2.2.7.1, Unicode): the last 16 bytes of every page.
struct PageTrailer {
  std::uint8_t ptype;
  std::uint8_t ptypeRepeat;
  std::uint16_t wSig;
  std::uint32_t dwCRC;  // CRC of the page's first 496 bytes
  std::uint64_t bid;
};
static_assert(sizeof(PageTrailer) == 16);
static_assert(offsetof(PageTrailer, dwCRC) == 4 && offsetof(PageTrailer, bid) == 8);
constexpr std::size_t kPageDataSize = kPageSize - sizeof(PageTrailer);  // 496

// BTENTRY (MS-PST 2.2.2.7.7.2, Unicode): an entry of an intermediate B-tree page.
struct BtEntry {
  std::uint64_t btkey;
  Bref bref;
};
static_assert(sizeof(BtEntry) == 24);
static_assert(offsetof(BtEntry, bref) == 8);

// BBTENTRY (MS-PST 2.2.2.7.7.3, Unicode): a leaf entry of the block B-tree.
struct BbtEntry {
  Bref bref;
  std::uint16_t cb;
  std::uint16_t cRef;
  std::uint32_t dwPadding;
};
static_assert(sizeof(BbtEntry) == 24);
static_assert(offsetof(BbtEntry, cb) == 16 && offsetof(BbtEntry, cRef) == 18);

// NBTENTRY (MS-PST 2.2.2.7.7.4, Unicode): a leaf entry of the node B-tree. The NID is kept in
// 64 bits; its high half is padding.
struct NbtEntry {
  std::uint64_t nid;
  std::uint64_t bidData;
  std::uint64_t bidSub;
  std::uint32_t nidParent;
  std::uint32_t dwPadding;
};
static_assert(sizeof(NbtEntry) == 32);
static_assert(offsetof(NbtEntry, bidData) == 8 && offsetof(NbtEntry, bidSub) == 16);
static_assert(offsetof(NbtEntry, nidParent) == 24);

// BTPAGE (MS-PST 2.2.2.7.7.1, Unicode): 488 bytes of entries, then this tail, then the
// PAGETRAILER.
struct BtPageTail {
  std::uint8_t cEnt;
  std::uint8_t cEntMax;
  std::uint8_t cbEnt;
  std::uint8_t cLevel;
  std::uint32_t dwPadding;
};
static_assert(sizeof(BtPageTail) == 8);
constexpr std::size_t kBtPageEntryBytes = 488;
static_assert(kBtPageEntryBytes + sizeof(BtPageTail) == kPageDataSize);
static_assert(kBtPageEntryBytes + sizeof(BtPageTail) + sizeof(PageTrailer) == kPageSize);
// Deeper than any B-tree of a file the format can address: a damaged page.
constexpr int kMaxBtreeLevels = 8;

// DLISTPAGE (MS-PST 2.2.2.7.4.2) head: the density list, written empty.
struct DListPageHead {
  std::uint8_t bFlags;
  std::uint8_t cEntDList;
  std::uint16_t wPadding;
  std::uint32_t ulCurrentPage;
};
static_assert(sizeof(DListPageHead) == 8);

// BLOCKTRAILER (MS-PST 2.2.2.8.1, Unicode): the last 16 bytes of a block, which is its data
// padded to a multiple of 64 bytes with the trailer at the end.
struct BlockTrailer {
  std::uint16_t cb;
  std::uint16_t wSig;
  std::uint32_t dwCRC;  // CRC of the cb bytes of data as stored
  std::uint64_t bid;
};
static_assert(sizeof(BlockTrailer) == 16);
static_assert(offsetof(BlockTrailer, dwCRC) == 4 && offsetof(BlockTrailer, bid) == 8);

// The bytes a block of cb data bytes takes in the file, trailer included.
constexpr std::uint64_t BlockSpan(std::uint64_t cb) {
  return (cb + sizeof(BlockTrailer) + kBlockAlign - 1) / kBlockAlign * kBlockAlign;
}

// --- The Unicode form with 4 KiB pages (wVer 36), after libpff's format notes ---
// Its header is the Unicode HEADER. Pages are 4096 bytes, blocks 512-byte aligned; data blocks
// may be compressed (zlib, RFC 1950), the trailer keeping their inflated size. Entries of the
// B-tree pages, XBLOCKs and subnode blocks are as in a Unicode file.
constexpr std::uint64_t kPageSize4k = 4096;
constexpr std::uint64_t kBlockAlign4k = 512;
// The largest block the notes allow for (trailer included), a size they call likely only; its
// trailer's 16-bit sizes hold no more than 65535.
constexpr std::uint64_t kMaxBlockSize4k = 65536;

// The page trailer: the Unicode PAGETRAILER, then 8 bytes the notes know nothing of.
struct PageTrailer4k {
  PageTrailer trailer;  // dwCRC covers the page's first 4072 bytes
  std::uint64_t qwUnknown;
};
static_assert(sizeof(PageTrailer4k) == 24);

// A B-tree page: 4056 bytes of entries, this tail, the trailer; the counts are 16 bits wide.
struct BtPageTail4k {
  std::uint16_t cEnt;
  std::uint16_t cEntMax;
  std::uint8_t cbEnt;
  std::uint8_t cLevel;
  std::uint8_t rgbPadding[10];
};
static_assert(sizeof(BtPageTail4k) == 16);
constexpr std::size_t kBtPageEntryBytes4k = 4056;
static_assert(kBtPageEntryBytes4k + sizeof(BtPageTail4k) + sizeof(PageTrailer4k) == kPageSize4k);

// The block trailer: the Unicode BLOCKTRAILER (cb is the size as stored, compressed or not), a
// word the notes saw as 2 and know nothing more of, the inflated size, and 4 empty bytes.
struct BlockTrailer4k {
  BlockTrailer trailer;
  std::uint16_t wUnknown;
  std::uint16_t cbInflated;
  std::uint32_t dwPadding;
};
static_assert(sizeof(BlockTrailer4k) == 24);
static_assert(offsetof(BlockTrailer4k, cbInflated) == 18);
constexpr std::uint16_t kBlockTrailer4kUnknown = 2;

// XBLOCK / XXBLOCK head (MS-PST 2.2.2.8.3.2.1 and .2), followed by cEnt BIDs.
struct XBlockHead {
  std::uint8_t btype;   // 0x01
  std::uint8_t cLevel;  // 1: XBLOCK, 2: XXBLOCK
  std::uint16_t cEnt;
  std::uint32_t lcbTotal;
};
static_assert(sizeof(XBlockHead) == 8);
static_assert(offsetof(XBlockHead, cEnt) == 2 && offsetof(XBlockHead, lcbTotal) == 4);
constexpr std::size_t kXBlockMaxEntries = (kMaxBlockData - sizeof(XBlockHead)) / 8;  // 1021

// SLBLOCK / SIBLOCK head (MS-PST 2.2.2.8.3.3.1.2 and 2.2.2.8.3.3.2.2), followed by SLENTRY or
// SIENTRY records.
struct SBlockHead {
  std::uint8_t btype;   // 0x02
  std::uint8_t cLevel;  // 0: SLBLOCK, 1: SIBLOCK
  std::uint16_t cEnt;
  std::uint32_t dwPadding;
};
static_assert(sizeof(SBlockHead) == 8);
static_assert(offsetof(SBlockHead, cEnt) == 2);

// SLENTRY (MS-PST 2.2.2.8.3.3.1.1, Unicode).
struct SlEntry {
  std::uint64_t nid;
  std::uint64_t bidData;
  std::uint64_t bidSub;
};
static_assert(sizeof(SlEntry) == 24);
static_assert(offsetof(SlEntry, bidData) == 8 && offsetof(SlEntry, bidSub) == 16);

// SIENTRY (MS-PST 2.2.2.8.3.3.2.1, Unicode).
struct SiEntry {
  std::uint64_t nid;
  std::uint64_t bid;
};
static_assert(sizeof(SiEntry) == 16);
static_assert(offsetof(SiEntry, bid) == 8);
constexpr std::size_t kSlBlockMaxEntries = (kMaxBlockData - sizeof(SBlockHead)) / 24;  // 340
constexpr std::size_t kSiBlockMaxEntries = (kMaxBlockData - sizeof(SBlockHead)) / 16;  // 510

// --- Lists, tables and properties (LTP) layer ---

constexpr std::uint8_t kHnSig = 0xEC;
constexpr std::uint8_t kClientSigTC = 0x7C;
constexpr std::uint8_t kClientSigBTH = 0xB5;
constexpr std::uint8_t kClientSigPC = 0xBC;
constexpr std::size_t kMaxHeapAlloc = 3580;

// HNHDR (MS-PST 2.3.1.2): the head of a heap's first block.
struct HnHdr {
  std::uint16_t ibHnpm;
  std::uint8_t bSig;  // 0xEC
  std::uint8_t bClientSig;
  std::uint32_t hidUserRoot;
  std::uint8_t rgbFillLevel[4];
};
static_assert(sizeof(HnHdr) == 12);
static_assert(offsetof(HnHdr, bSig) == 2 && offsetof(HnHdr, bClientSig) == 3);
static_assert(offsetof(HnHdr, hidUserRoot) == 4);

// HNPAGEHDR (MS-PST 2.3.1.3): the head of the heap's other blocks.
struct HnPageHdr {
  std::uint16_t ibHnpm;
};
static_assert(sizeof(HnPageHdr) == 2);

// HNBITMAPHDR (MS-PST 2.3.1.4): the head of heap blocks 8, 136, 264, ...
struct HnBitmapHdr {
  std::uint16_t ibHnpm;
  std::uint8_t rgbFillLevel[64];
};
static_assert(sizeof(HnBitmapHdr) == 66);

// HNPAGEMAP head (MS-PST 2.3.1.5), followed by cAlloc + 1 offsets.
struct HnPageMapHead {
  std::uint16_t cAlloc;
  std::uint16_t cFree;
};
static_assert(sizeof(HnPageMapHead) == 4);

// BTHHEADER (MS-PST 2.3.2.1).
struct BthHeader {
  std::uint8_t bType;  // 0xB5
  std::uint8_t cbKey;
  std::uint8_t cbEnt;
  std::uint8_t bIdxLevels;
  std::uint32_t hidRoot;
};
static_assert(sizeof(BthHeader) == 8);
static_assert(offsetof(BthHeader, bIdxLevels) == 3 && offsetof(BthHeader, hidRoot) == 4);

// PC BTH record (MS-PST 2.3.3.3).
struct PcRecord {
  std::uint16_t wPropId;
  std::uint16_t wPropType;
  std::uint32_t dwValueHnid;
};
static_assert(sizeof(PcRecord) == 8);
static_assert(offsetof(PcRecord, wPropType) == 2 && offsetof(PcRecord, dwValueHnid) == 4);

// TCINFO head (MS-PST 2.3.4.1), followed by cCols TCOLDESC.
struct TcInfoHead {
  std::uint8_t bType;  // 0x7C
  std::uint8_t cCols;
  std::uint16_t rgib[4];  // TCI_4b, TCI_2b, TCI_1b, TCI_bm
  std::uint32_t hidRowIndex;
  std::uint32_t hnidRows;
  std::uint32_t hidIndex;
};
static_assert(sizeof(TcInfoHead) == 22);
static_assert(offsetof(TcInfoHead, hidRowIndex) == 10 && offsetof(TcInfoHead, hnidRows) == 14);

// TCOLDESC (MS-PST 2.3.4.2).
struct TColDesc {
  std::uint32_t tag;
  std::uint16_t ibData;
  std::uint8_t cbData;
  std::uint8_t iBit;
};
static_assert(sizeof(TColDesc) == 8);

// TCROWID (MS-PST 2.3.4.3): a record of a table's row index.
struct TcRowId {
  std::uint32_t dwRowID;
  std::uint32_t dwRowIndex;
};
static_assert(sizeof(TcRowId) == 8);

// --- Messaging layer ---

// NAMEID (MS-PST 2.4.7.1): an entry of the name-to-id map.
struct NameId {
  std::uint32_t dwPropertyID;  // the LID, or the offset of the name in the string stream
  std::uint16_t wGuidAndKind;  // bit 0: N (1 for a string name); bits 1-15: wGuid
  std::uint16_t wPropIdx;      // property id less 0x8000
};
static_assert(sizeof(NameId) == 8);
static_assert(offsetof(NameId, wGuidAndKind) == 4 && offsetof(NameId, wPropIdx) == 6);

// An entry id of a PST object (MS-OXCDATA 2.2.4.1 as a PST keeps it): flags, the store's
// provider UID (its record key), the NID.
struct EntryId {
  std::uint8_t rgbFlags[4];
  std::uint8_t uid[16];
  std::uint32_t nid;
};
static_assert(sizeof(EntryId) == 24);
static_assert(offsetof(EntryId, uid) == 4 && offsetof(EntryId, nid) == 20);

// --- The ANSI format's structures (HEADER.wVer 14 and 15) where they differ ---

// BREF (MS-PST 2.2.2.4, ANSI).
struct BrefAnsi {
  std::uint32_t bid;
  std::uint32_t ib;
};
static_assert(sizeof(BrefAnsi) == 8);
static_assert(offsetof(BrefAnsi, ib) == 4);

// ROOT (MS-PST 2.2.2.5, ANSI).
struct RootAnsi {
  std::uint32_t dwReserved;
  std::uint32_t ibFileEof;
  std::uint32_t ibAMapLast;
  std::uint32_t cbAMapFree;
  std::uint32_t cbPMapFree;
  BrefAnsi brefNbt;
  BrefAnsi brefBbt;
  std::uint8_t fAMapValid;
  std::uint8_t bReserved;
  std::uint16_t wReserved;
};
static_assert(sizeof(RootAnsi) == 40);
static_assert(offsetof(RootAnsi, ibFileEof) == 4 && offsetof(RootAnsi, brefNbt) == 20);
static_assert(offsetof(RootAnsi, brefBbt) == 28 && offsetof(RootAnsi, fAMapValid) == 36);

// HEADER (MS-PST 2.2.2.6, ANSI): 512 bytes, one check sum (dwCRCPartial over the same 471 bytes
// from wMagicClient as in a Unicode file), bidNextB ahead of bidNextP.
struct HeaderAnsi {
  std::uint32_t dwMagic;       // "!BDN"
  std::uint32_t dwCRCPartial;  // CRC of the 471 bytes from wMagicClient
  std::uint16_t wMagicClient;  // "SM"
  std::uint16_t wVer;          // 14 or 15: ANSI
  std::uint16_t wVerClient;    // 19
  std::uint8_t bPlatformCreate;
  std::uint8_t bPlatformAccess;
  std::uint32_t dwReserved1;
  std::uint32_t dwReserved2;
  std::uint32_t bidNextB;
  std::uint32_t bidNextP;
  std::uint32_t dwUnique;
  std::uint32_t rgnid[32];
  RootAnsi root;
  std::uint8_t rgbFM[128];
  std::uint8_t rgbFP[128];
  std::uint8_t bSentinel;     // 0x80
  std::uint8_t bCryptMethod;  // CryptMethod
  std::uint16_t rgbReserved;
  std::uint64_t ullReserved;
  std::uint32_t dwReserved;
  std::uint8_t rgbReserved2[3];
  std::uint8_t bReserved;
  std::uint8_t rgbReserved3[32];
};
static_assert(sizeof(HeaderAnsi) == 512);
static_assert(offsetof(HeaderAnsi, wVer) == 10 && offsetof(HeaderAnsi, bidNextB) == 24);
static_assert(offsetof(HeaderAnsi, bidNextP) == 28 && offsetof(HeaderAnsi, rgnid) == 36);
static_assert(offsetof(HeaderAnsi, root) == 164 && offsetof(HeaderAnsi, rgbFM) == 204);
static_assert(offsetof(HeaderAnsi, bSentinel) == 460 && offsetof(HeaderAnsi, bCryptMethod) == 461);
static_assert(offsetof(HeaderAnsi, bReserved) == kHeaderCrcStart + kHeaderCrcPartialLength);

// PAGETRAILER (MS-PST 2.2.2.7.1, ANSI): the last 12 bytes of every page; the BID comes before
// the check sum.
struct PageTrailerAnsi {
  std::uint8_t ptype;
  std::uint8_t ptypeRepeat;
  std::uint16_t wSig;
  std::uint32_t bid;
  std::uint32_t dwCRC;  // CRC of the page's first 500 bytes
};
static_assert(sizeof(PageTrailerAnsi) == 12);
static_assert(offsetof(PageTrailerAnsi, bid) == 4 && offsetof(PageTrailerAnsi, dwCRC) == 8);

// BTENTRY (MS-PST 2.2.2.7.7.2, ANSI).
struct BtEntryAnsi {
  std::uint32_t btkey;
  BrefAnsi bref;
};
static_assert(sizeof(BtEntryAnsi) == 12);
static_assert(offsetof(BtEntryAnsi, bref) == 4);

// BBTENTRY (MS-PST 2.2.2.7.7.3, ANSI).
struct BbtEntryAnsi {
  BrefAnsi bref;
  std::uint16_t cb;
  std::uint16_t cRef;
};
static_assert(sizeof(BbtEntryAnsi) == 12);
static_assert(offsetof(BbtEntryAnsi, cb) == 8 && offsetof(BbtEntryAnsi, cRef) == 10);

// NBTENTRY (MS-PST 2.2.2.7.7.4, ANSI).
struct NbtEntryAnsi {
  std::uint32_t nid;
  std::uint32_t bidData;
  std::uint32_t bidSub;
  std::uint32_t nidParent;
};
static_assert(sizeof(NbtEntryAnsi) == 16);
static_assert(offsetof(NbtEntryAnsi, bidSub) == 8 && offsetof(NbtEntryAnsi, nidParent) == 12);

// BTPAGE (MS-PST 2.2.2.7.7.1, ANSI): 496 bytes of entries, this tail (no padding), the
// PAGETRAILER.
struct BtPageTailAnsi {
  std::uint8_t cEnt;
  std::uint8_t cEntMax;
  std::uint8_t cbEnt;
  std::uint8_t cLevel;
};
static_assert(sizeof(BtPageTailAnsi) == 4);
static_assert(496 + sizeof(BtPageTailAnsi) + sizeof(PageTrailerAnsi) == kPageSize);

// BLOCKTRAILER (MS-PST 2.2.2.8.1, ANSI): the last 12 bytes of a block; the BID comes before the
// check sum. Blocks are 64-byte aligned and at most 8192 bytes, as in Unicode files.
struct BlockTrailerAnsi {
  std::uint16_t cb;
  std::uint16_t wSig;
  std::uint32_t bid;
  std::uint32_t dwCRC;  // CRC of the cb bytes of data as stored
};
static_assert(sizeof(BlockTrailerAnsi) == 12);
static_assert(offsetof(BlockTrailerAnsi, bid) == 4 && offsetof(BlockTrailerAnsi, dwCRC) == 8);

// XBLOCK / XXBLOCK (MS-PST 2.2.2.8.3.2, ANSI): the head is XBlockHead, then cEnt 4-byte BIDs.

// SLBLOCK / SIBLOCK head (MS-PST 2.2.2.8.3.3.1.2 and 2.2.2.8.3.3.2.2, ANSI): no padding.
struct SBlockHeadAnsi {
  std::uint8_t btype;   // 0x02
  std::uint8_t cLevel;  // 0: SLBLOCK, 1: SIBLOCK
  std::uint16_t cEnt;
};
static_assert(sizeof(SBlockHeadAnsi) == 4);
static_assert(offsetof(SBlockHeadAnsi, cEnt) == 2);

// SLENTRY (MS-PST 2.2.2.8.3.3.1.1, ANSI).
struct SlEntryAnsi {
  std::uint32_t nid;
  std::uint32_t bidData;
  std::uint32_t bidSub;
};
static_assert(sizeof(SlEntryAnsi) == 12);
static_assert(offsetof(SlEntryAnsi, bidData) == 4 && offsetof(SlEntryAnsi, bidSub) == 8);

// SIENTRY (MS-PST 2.2.2.8.3.3.2.1, ANSI).
struct SiEntryAnsi {
  std::uint32_t nid;
  std::uint32_t bid;
};
static_assert(sizeof(SiEntryAnsi) == 8);
static_assert(offsetof(SiEntryAnsi, bid) == 4);

// TCROWID (MS-PST 2.3.4.3, ANSI): the row index's records keep a 16-bit row number.
struct TcRowIdAnsi {
  std::uint32_t dwRowID;
  std::uint16_t dwRowIndex;
};
static_assert(sizeof(TcRowIdAnsi) == 6);
static_assert(offsetof(TcRowIdAnsi, dwRowIndex) == 4);

// AMAPPAGE, PMAPPAGE, FMAPPAGE (MS-PST 2.2.2.7.2.1, 2.2.2.7.3.1, 2.2.2.7.5.1) of an ANSI file:
// 4 bytes of padding ahead of the 496 map bytes, so that a map covers what it covers in a
// Unicode file.
constexpr std::size_t kMapPaddingAnsi = 4;

#pragma pack(pop)

// The property sets of the name-to-id map's GUID indexes 1 and 2 (MS-PST 2.4.7.1), as stored.
using mapi::kPsMapi;
using mapi::kPsPublicStrings;

// The formats of a PST or OST file.
enum class FileFormat : std::uint8_t { kUnicode, kAnsi, kUnicode4k };

// A B-tree page's counts, widened: the 4 KiB form keeps cEnt and cEntMax in 16 bits.
struct BtPageCounts {
  std::uint16_t cEnt;
  std::uint16_t cEntMax;
  std::uint8_t cbEnt;
  std::uint8_t cLevel;
};

// The widths of a file's format, and the structures that differ between the formats read into
// (and written from) the Unicode structs, whose fields are wide enough for both. The reader and
// the writer take one Layout and follow one code path for either format.
struct Layout {
  FileFormat format;
  std::size_t idSize;            // a BID, an IB or an NBTENTRY's NID: 8 or 4 bytes
  std::size_t pageTrailerSize;   // PAGETRAILER: 16 or 12
  std::size_t btEntryBytes;      // BTPAGE.rgentries: 488 or 496
  std::size_t btEntrySize;       // BTENTRY: 24 or 12
  std::size_t bbtEntrySize;      // BBTENTRY: 24 or 12
  std::size_t nbtEntrySize;      // NBTENTRY: 32 or 16
  std::size_t blockTrailerSize;  // BLOCKTRAILER: 16 or 12
  std::size_t sBlockHeadSize;    // SLBLOCK / SIBLOCK head: 8 or 4
  std::size_t slEntrySize;       // SLENTRY: 24 or 12
  std::size_t siEntrySize;       // SIENTRY: 16 or 8
  std::size_t rowIndexDataSize;  // TCROWID.dwRowIndex: 4 or 2
  std::size_t mapPadding;        // ahead of an AMap's, PMap's or FMap's bytes: 0 or 4
  std::uint64_t maxOffset;       // the largest file offset the format can keep
  // The 4 KiB form's differences; the defaults are the 512-byte forms'.
  std::uint64_t pageSize = kPageSize;
  std::uint64_t blockAlign = kBlockAlign;
  std::uint64_t maxReadBlockSize = kMaxBlockSize;  // the largest block a reader takes
  unsigned hidIndexBits = 11;  // HID: the allocation's index above the 5 type bits, the block above

  bool ansi() const { return format == FileFormat::kAnsi; }
  // The 4 KiB form, whose data blocks may be compressed.
  bool pages4k() const { return format == FileFormat::kUnicode4k; }
  // The bytes of a page its check sum covers: 496, 500 or 4072.
  std::size_t pageDataSize() const { return pageSize - pageTrailerSize; }
  // The data a block the writer writes holds: 8176, or 8180 in an ANSI file. In the 4 KiB form it
  // keeps the Unicode file's 8176 (then 8200 bytes with the trailer, in 512-byte steps): what
  // Outlook writes there is not known.
  std::size_t maxBlockData() const {
    return pages4k() ? kMaxBlockData : kMaxBlockSize - blockTrailerSize;
  }
  // The data a block a reader takes may hold.
  std::size_t maxReadBlockData() const { return maxReadBlockSize - blockTrailerSize; }
  // The bytes a block of cb data bytes takes in the file, trailer included.
  std::uint64_t BlockSpan(std::uint64_t cb) const {
    return (cb + blockTrailerSize + blockAlign - 1) / blockAlign * blockAlign;
  }
  // A heap reference (HID, MS-PST 2.3.1.1) of the allocation `index` in the heap's block `block`.
  std::uint32_t MakeHid(std::size_t block, std::size_t index) const {
    return static_cast<std::uint32_t>((index << 5) | (block << (5 + hidIndexBits)));
  }
  std::size_t HidBlock(std::uint32_t hid) const { return hid >> (5 + hidIndexBits); }
  std::size_t HidIndex(std::uint32_t hid) const {
    return (hid >> 5) & ((std::uint32_t{1} << hidIndexBits) - 1);
  }
  std::size_t xBlockMaxEntries() const { return (maxBlockData() - sizeof(XBlockHead)) / idSize; }
  std::size_t slBlockMaxEntries() const { return (maxBlockData() - sBlockHeadSize) / slEntrySize; }
  std::size_t siBlockMaxEntries() const { return (maxBlockData() - sBlockHeadSize) / siEntrySize; }

  // Each reads the structure at `at` (which holds at least its size) or writes it there.
  PageTrailer LoadPageTrailer(const std::uint8_t* at) const;
  void StorePageTrailer(std::uint8_t* at, const PageTrailer& t) const;
  BlockTrailer LoadBlockTrailer(const std::uint8_t* at) const;
  // `cbInflated`: the 4 KiB form's inflated size of a compressed block (else the block's size).
  void StoreBlockTrailer(std::uint8_t* at, const BlockTrailer& t,
                         std::uint16_t cbInflated = 0) const;
  // The size of the block's data once inflated: the trailer's cbInflated in the 4 KiB form when
  // set, else cb.
  std::uint16_t LoadInflatedSize(const std::uint8_t* at) const;
  // BTPAGE's cEnt, cEntMax, cbEnt and cLevel (at btEntryBytes).
  BtPageCounts LoadBtPageTail(const std::uint8_t* page) const;
  void StoreBtPageTail(std::uint8_t* page, const BtPageCounts& tail) const;
  BtEntry LoadBtEntry(const std::uint8_t* at) const;
  void StoreBtEntry(std::uint8_t* at, const BtEntry& e) const;
  BbtEntry LoadBbtEntry(const std::uint8_t* at) const;
  void StoreBbtEntry(std::uint8_t* at, const BbtEntry& e) const;
  NbtEntry LoadNbtEntry(const std::uint8_t* at) const;
  void StoreNbtEntry(std::uint8_t* at, const NbtEntry& e) const;
  Bid LoadBid(const std::uint8_t* at) const;
  void StoreBid(std::uint8_t* at, Bid bid) const;
  // SLBLOCK / SIBLOCK head (dwPadding is 0).
  SBlockHead LoadSBlockHead(const std::uint8_t* at) const;
  void StoreSBlockHead(std::uint8_t* at, const SBlockHead& h) const;
  SlEntry LoadSlEntry(const std::uint8_t* at) const;
  void StoreSlEntry(std::uint8_t* at, const SlEntry& e) const;
  SiEntry LoadSiEntry(const std::uint8_t* at) const;
  void StoreSiEntry(std::uint8_t* at, const SiEntry& e) const;
  // A TCROWID: dwRowID then dwRowIndex in rowIndexDataSize bytes.
  TcRowId LoadRowId(const std::uint8_t* at) const;
  void StoreRowId(std::uint8_t* at, const TcRowId& r) const;
};

inline constexpr Layout kUnicodeLayout{FileFormat::kUnicode,
                                       8,
                                       sizeof(PageTrailer),
                                       kBtPageEntryBytes,
                                       sizeof(BtEntry),
                                       sizeof(BbtEntry),
                                       sizeof(NbtEntry),
                                       sizeof(BlockTrailer),
                                       sizeof(SBlockHead),
                                       sizeof(SlEntry),
                                       sizeof(SiEntry),
                                       4,
                                       0,
                                       ~std::uint64_t{0}};
inline constexpr Layout kAnsiLayout{FileFormat::kAnsi,       4,
                                    sizeof(PageTrailerAnsi), 496,
                                    sizeof(BtEntryAnsi),     sizeof(BbtEntryAnsi),
                                    sizeof(NbtEntryAnsi),    sizeof(BlockTrailerAnsi),
                                    sizeof(SBlockHeadAnsi),  sizeof(SlEntryAnsi),
                                    sizeof(SiEntryAnsi),     2,
                                    kMapPaddingAnsi,         0xFFFFFFFFu};
// The 4 KiB form: Unicode entries, its own pages and block trailers, and HIDs with 14 bits of
// allocation index and 13 of block (libpff's notes).
inline constexpr Layout kUnicode4kLayout{FileFormat::kUnicode4k,
                                         8,
                                         sizeof(PageTrailer4k),
                                         kBtPageEntryBytes4k,
                                         sizeof(BtEntry),
                                         sizeof(BbtEntry),
                                         sizeof(NbtEntry),
                                         sizeof(BlockTrailer4k),
                                         sizeof(SBlockHead),
                                         sizeof(SlEntry),
                                         sizeof(SiEntry),
                                         4,
                                         0,
                                         ~std::uint64_t{0},
                                         kPageSize4k,
                                         kBlockAlign4k,
                                         kMaxBlockSize4k,
                                         14};
static_assert(kUnicodeLayout.btEntryBytes + sizeof(BtPageTail) + sizeof(PageTrailer) == kPageSize);
static_assert(kAnsiLayout.btEntryBytes + sizeof(BtPageTailAnsi) + sizeof(PageTrailerAnsi) ==
              kPageSize);

// The file's format from HEADER.wVer; none for a version neither format has.
constexpr const Layout* LayoutOfVersion(std::uint16_t wVer) {
  if (wVer == kVersionUnicode)
    return &kUnicodeLayout;
  if (wVer == kVersionUnicode4k)
    return &kUnicode4kLayout;
  if (wVer == kVersionAnsi || wVer == kVersionAnsiCurrent)
    return &kAnsiLayout;
  return nullptr;
}

// Block and page signature (MS-PST 5.5) from the offset and the BID.
std::uint16_t ComputeSig(std::uint64_t ib, std::uint64_t bid);

// Copies a structure out of bytes that hold at least sizeof(T) of them.
template <typename T>
T Load(const void* bytes) {
  T value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

}  // namespace tarnvex::pst::format
