// The on-disk structures: identifiers, and a written header read back through them. Their sizes
// and offsets are pinned by static_assert in pst/format.h itself.

#include "pst/format.h"

#include <gtest/gtest.h>

#include "tests/pst/test_stores.h"
#include "text/crc.h"

namespace tarnvex::pst {
namespace {

using namespace format;

TEST(FormatTest, IdentifiersSplitAsTheFormatSays) {
  EXPECT_EQ(MakeNid(kNidTypeNormalFolder, 0x400), 0x8002u);
  EXPECT_EQ(NidTypeOf(kNidMessageStore), kNidTypeInternal);
  EXPECT_EQ(NidTypeOf(kNidRootFolder), kNidTypeNormalFolder);
  EXPECT_EQ(NidTypeOf(0x200024), kNidTypeNormalMessage);
  EXPECT_TRUE(IsInternal(0x6));
  EXPECT_FALSE(IsInternal(0x4));
  EXPECT_EQ(BidKey(0x5), 0x4u);  // the reserved bit is not part of the key
  EXPECT_EQ(BlockSpan(0), 64u);
  EXPECT_EQ(BlockSpan(48), 64u);
  EXPECT_EQ(BlockSpan(49), 128u);
  EXPECT_EQ(BlockSpan(kMaxBlockData), kMaxBlockSize);
  // The signature folds the offset and the BID (MS-PST 5.5).
  EXPECT_EQ(ComputeSig(0x4400, 0x4), 0x4404u);
  EXPECT_EQ(ComputeSig(0x12345678, 0), 0x1234u ^ 0x5678u);
}

TEST(FormatTest, WrittenHeaderReadsBackThroughTheStructures) {
  const std::string bytes = testing::Written(testing::SmallStore());
  ASSERT_GE(bytes.size(), sizeof(Header));
  // The structs are packed: their fields are read as values (unary +), never bound to references.
  const auto header = Load<Header>(bytes.data());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&header.dwMagic), 4), "!BDN");
  EXPECT_EQ(+header.wMagicClient, kMagicClient);
  EXPECT_EQ(+header.wVer, kVersionUnicode);
  EXPECT_EQ(+header.bSentinel, 0x80);
  EXPECT_EQ(+header.bCryptMethod, kCryptNone);
  EXPECT_EQ(+header.root.ibFileEof, bytes.size());
  EXPECT_EQ(+header.dwCRCPartial,
            text::Crc32(bytes.data() + kHeaderCrcStart, kHeaderCrcPartialLength));
  EXPECT_EQ(+header.dwCRCFull, text::Crc32(bytes.data() + kHeaderCrcStart, kHeaderCrcFullLength));
  // Both B-tree roots are pages of their kind, named by their BIDs.
  for (const auto& [bref, ptype] :
       {std::pair{header.root.brefNbt, kPtypeNBT}, std::pair{header.root.brefBbt, kPtypeBBT}}) {
    ASSERT_LE(+bref.ib + kPageSize, bytes.size());
    const auto trailer = Load<PageTrailer>(bytes.data() + bref.ib + kPageDataSize);
    EXPECT_EQ(+trailer.ptype, ptype);
    EXPECT_EQ(+trailer.bid, +bref.bid);
    EXPECT_EQ(+trailer.wSig, ComputeSig(bref.ib, bref.bid));
    EXPECT_EQ(+trailer.dwCRC, text::Crc32(bytes.data() + bref.ib, kPageDataSize));
  }
}

}  // namespace
}  // namespace tarnvex::pst
