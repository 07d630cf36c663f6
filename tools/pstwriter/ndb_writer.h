#pragma once

// The node database layer of the writer: data blocks and their trees (XBLOCK, XXBLOCK),
// subnode trees (SLBLOCK, SIBLOCK), the node and block B-trees, allocation maps and the header,
// in the Unicode or the ANSI format (pst::format::Layout). Blocks stream to the file as they are
// added; the B-trees, maps and header follow in Finish.

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "pst/format.h"
#include "tools/pstwriter/store_model.h"

namespace tarnvex::pstwriter {

struct SubnodeEntry {
  std::uint32_t nid = 0;
  std::uint64_t bidData = 0;
  std::uint64_t bidSub = 0;
};

class NdbWriter {
 public:
  // Opens path for writing (truncating it), for a file of the layout's format with the client
  // signature given (a PST's "SM" or an OST's "SO"). Throws Failure.
  explicit NdbWriter(std::string path,
                     const pst::format::Layout& layout = pst::format::kUnicodeLayout,
                     std::uint16_t magicClient = pst::format::kMagicClient);
  ~NdbWriter();
  NdbWriter(const NdbWriter&) = delete;
  NdbWriter& operator=(const NdbWriter&) = delete;

  const pst::format::Layout& layout() const { return layout_; }

  // One data block of at most layout().maxBlockData() bytes (8176, 8180 in an ANSI file);
  // returns its BID.
  std::uint64_t AddBlock(const std::uint8_t* data, std::size_t size, bool internal = false);
  // Data of any size: one block, or blocks under an XBLOCK / XXBLOCK. Returns the root BID.
  std::uint64_t AddData(const Bytes& data);
  // Data already cut into blocks (a heap's pages): one block, or an XBLOCK / XXBLOCK over them.
  std::uint64_t AddBlocks(const std::vector<Bytes>& blocks);
  // A subnode tree (entries in any order, NIDs unique); 0 when entries is empty.
  std::uint64_t AddSubnodes(std::vector<SubnodeEntry> entries);
  // A node of the node B-tree.
  void AddNode(std::uint32_t nid, std::uint64_t bidData, std::uint64_t bidSub,
               std::uint32_t nidParent);

  // Writes the B-trees, allocation maps and header and closes the file. nextNid[t] is the next
  // free NID index of NID type t. Returns the file size.
  std::uint64_t Finish(const std::array<std::uint32_t, 32>& nextNidIndex);

  std::uint64_t blockCount() const { return blocks_.size(); }
  std::uint64_t nodeCount() const { return nodes_.size(); }

 private:
  struct BlockRef {
    std::uint64_t bid;
    std::uint64_t ib;
    std::uint16_t cb;
  };
  struct NodeRef {
    std::uint32_t nid;
    std::uint64_t bidData;
    std::uint64_t bidSub;
    std::uint32_t nidParent;
  };
  struct Level {
    std::uint64_t key;
    std::uint64_t bid;
    std::uint64_t ib;
  };

  std::uint64_t Allocate(std::uint64_t size, std::uint64_t align);
  void Emit(std::uint64_t ib, const std::uint8_t* data, std::size_t size);
  void Flush();
  void WriteAt(std::uint64_t ib, const std::uint8_t* data, std::size_t size);
  // Writes a 512-byte page under the next page BID; returns its offset.
  std::uint64_t WritePage(std::uint8_t ptype, std::uint8_t* page);
  // leaves: the leaf entries as the format stores them, each `entrySize` bytes; keys[i] is the
  // key of entry i.
  Level WriteBTree(std::uint8_t ptype, const std::vector<std::uint8_t>& leaves,
                   std::size_t entrySize, const std::vector<std::uint64_t>& keys);
  void WriteHeader(const std::array<std::uint32_t, 32>& nextNidIndex, std::uint64_t eof,
                   std::uint64_t regions, std::uint64_t freeBytes, const Level& nbtRoot,
                   const Level& bbtRoot);
  // Fails when a BID or an offset is beyond what the file's format can keep.
  void CheckFits(std::uint64_t value, const char* what) const;
  std::uint64_t ReservedAt(std::uint64_t region) const;

  std::string path_;
  const pst::format::Layout& layout_;
  std::uint16_t magicClient_;
  std::FILE* file_ = nullptr;
  std::vector<std::uint8_t> buffer_;
  std::uint64_t bufferStart_ = 0;  // file offset of buffer_[0]
  std::uint64_t pos_ = 0;          // next free offset
  std::uint64_t nextBid_ = 1;      // index part of the next block BID
  std::uint64_t nextPageBid_ = 1;
  std::vector<std::array<std::uint8_t, 496>> amaps_;
  std::vector<BlockRef> blocks_;
  std::vector<NodeRef> nodes_;
};

}  // namespace tarnvex::pstwriter
