// Blocks (MS-PST 2.2.2.8): one block checked and decoded, data trees and subnode trees.

#include <zlib.h>

#include <algorithm>

#include "pst/crypt.h"
#include "pst/ndb/node_database.h"
#include "text/crc.h"

namespace tarnvex::pst::ndb {

using namespace format;

const Block* NodeDatabase::FindBlock(Bid bid) const {
  const Bid key = BidKey(bid);
  auto it = std::lower_bound(blocks_.begin(), blocks_.end(), key,
                             [](const Block& b, Bid v) { return b.bid < v; });
  return it != blocks_.end() && it->bid == key ? &*it : nullptr;
}

std::string NodeDatabase::ReadBlock(Bid bid) const {
  const Bid key = BidKey(bid);
  auto block = [bid] { return "block " + Hex(bid); };
  const Block* it = FindBlock(bid);
  if (!it)
    Fail(Defect::kMissing, block() + " is missing from the block index", Location::OfBlock(bid));
  const Location where = Location::OfBlock(bid, it->ib);
  const Layout& f = layout();
  const std::size_t cb = it->cb;
  if (cb > f.maxReadBlockData()) {
    Fail(Defect::kBadStructure, block() + " is larger than any block", where,
         "at most " + std::to_string(f.maxReadBlockData()) + " bytes",
         std::to_string(cb) + " bytes");
  }
  const std::uint64_t span = f.BlockSpan(cb);
  if (it->ib > source_->Size() || span > source_->Size() - it->ib) {
    Fail(Defect::kOutOfBounds, block() + " lies outside the file", where,
         "within " + std::to_string(source_->Size()) + " bytes",
         std::to_string(span) + " bytes at offset " + std::to_string(it->ib));
  }
  std::string data(span, '\0');
  ReadExactly(*source_, it->ib, data.data(), span, block, where);
  auto* bytes = reinterpret_cast<std::uint8_t*>(data.data());
  const auto trailer = f.LoadBlockTrailer(bytes + span - f.blockTrailerSize);
  const std::size_t inflated = f.LoadInflatedSize(bytes + span - f.blockTrailerSize);
  if (trailer.cb != cb) {
    Fail(Defect::kMismatch, "the trailer of " + block() + " does not match the block index", where,
         std::to_string(cb) + " bytes", std::to_string(trailer.cb) + " bytes");
  }
  if (BidKey(trailer.bid) != key) {
    Fail(Defect::kMismatch, "the trailer of " + block() + " does not match the block index", where,
         Hex(key), Hex(trailer.bid));
  }
  const std::uint32_t stored = text::Crc32(bytes, cb);
  bool sound = stored == trailer.dwCRC;
  data.resize(cb);
  if (inflated != cb) {
    // A compressed block of the 4 KiB form: its sum is over the bytes as stored, which are
    // inflated, then decoded (libpff's order). A block whose sum fails is still inflated: that it
    // inflates to its size is what holds it together.
    data = Inflate(data, inflated, block(), where);
    bytes = reinterpret_cast<std::uint8_t*>(data.data());
  }
  if (header_.bCryptMethod != kCryptNone && !IsInternal(key)) {
    if (header_.bCryptMethod == kCryptPermute)
      DecodePermute(bytes, data.size());
    else
      CryptCyclic(bytes, data.size(), static_cast<std::uint32_t>(key));
    // The check sum is taken over the bytes as stored; a sum over the decoded bytes is accepted
    // as well, so that a writer that sums before encoding is not read as damage.
    if (!sound)
      sound = text::Crc32(bytes, cb) == trailer.dwCRC;
  }
  // The trailer names the block and its size: its data are used, with a note of the damage.
  if (!sound) {
    NoteDamage(it->ib, block() + " at offset " + std::to_string(it->ib) +
                           " fails its check sum; its data are used");
  }
  return data;
}

std::string NodeDatabase::Inflate(const std::string& deflated, std::size_t size,
                                  const std::string& what, const Location& where) const {
  std::string out(size, '\0');
  uLongf length = size;
  const int rc = uncompress(reinterpret_cast<Bytef*>(out.data()), &length,
                            reinterpret_cast<const Bytef*>(deflated.data()), deflated.size());
  // Z_BUF_ERROR: more data than the trailer gives, or compressed data cut short.
  if (rc != Z_OK && rc != Z_BUF_ERROR)
    Fail(Defect::kBadStructure, what + " does not inflate: its compressed data is damaged", where);
  if (rc != Z_OK || length != size) {
    Fail(Defect::kMismatch, what + " does not inflate to the size its trailer gives", where,
         std::to_string(size) + " bytes", rc == Z_OK ? std::to_string(length) + " bytes" : "other");
  }
  return out;
}

std::vector<std::string> NodeDatabase::ReadDataTree(Bid bid) const {
  std::vector<std::string> out;
  if (bid == 0)
    return out;
  std::uint64_t total = 0;
  ReadTree(bid, 2, out, total);
  return out;
}

std::string NodeDatabase::ReadData(Bid bid) const {
  std::string out;
  for (auto& b : ReadDataTree(bid))
    out += b;
  return out;
}

void NodeDatabase::ReadTree(Bid bid, int levelsLeft, std::vector<std::string>& out,
                            std::uint64_t& total) const {
  std::string b = ReadBlock(bid);
  if (!IsInternal(bid)) {
    total += b.size();
    if (total > kMaxValueSize) {
      Fail(Defect::kTooLarge,
           "the data tree that holds block " + Hex(bid) + " is larger than any value",
           Location::OfBlock(bid), "at most " + std::to_string(kMaxValueSize) + " bytes",
           std::to_string(total) + " bytes");
    }
    out.push_back(std::move(b));
    return;
  }
  auto block = [bid] { return std::string("data tree block ") + Hex(bid); };
  if (b.size() < sizeof(XBlockHead))
    Fail(Defect::kBadStructure, block() + " is too short", Location::OfBlock(bid));
  const auto head = Load<XBlockHead>(b.data());
  if (head.btype != kBtypeDataTree || head.cLevel < 1 || head.cLevel > levelsLeft) {
    Fail(Defect::kBadStructure, block() + " is not a data tree block at its place",
         Location::OfBlock(bid), "type 1 at level 1 to " + std::to_string(levelsLeft),
         "type " + std::to_string(head.btype) + " at level " + std::to_string(head.cLevel));
  }
  const Layout& f = layout();
  if (sizeof(XBlockHead) + std::size_t{head.cEnt} * f.idSize > b.size() ||
      head.lcbTotal > kMaxValueSize) {
    Fail(Defect::kBadStructure, block() + " lists more than it holds", Location::OfBlock(bid),
         std::to_string(head.cEnt) + " entries", std::to_string(b.size()) + " bytes");
  }
  const std::uint64_t before = total;
  for (std::size_t i = 0; i < head.cEnt; ++i) {
    const Bid child = f.LoadBid(reinterpret_cast<const std::uint8_t*>(b.data()) +
                                sizeof(XBlockHead) + i * f.idSize);
    // An XBLOCK lists data blocks, an XXBLOCK lists XBLOCKs.
    if (IsInternal(child) != (head.cLevel == 2)) {
      Fail(Defect::kBadStructure, block() + " lists block " + Hex(child) + " of the wrong kind",
           Location::OfBlock(bid), head.cLevel == 2 ? "an internal block" : "a data block",
           IsInternal(child) ? "an internal block" : "a data block");
    }
    ReadTree(child, head.cLevel - 1, out, total);
  }
  if (total - before != head.lcbTotal) {
    Fail(Defect::kMismatch, block() + " does not match its data", Location::OfBlock(bid),
         std::to_string(head.lcbTotal) + " bytes", std::to_string(total - before) + " bytes");
  }
}

std::vector<Subnode> NodeDatabase::ReadSubnodes(Bid bid) const {
  std::vector<Subnode> out;
  if (bid == 0)
    return out;
  ReadSub(bid, 1, out);
  auto byNid = [](const Subnode& a, const Subnode& b) { return a.nid < b.nid; };
  if (!std::is_sorted(out.begin(), out.end(), byNid))
    std::stable_sort(out.begin(), out.end(), byNid);
  return out;
}

void NodeDatabase::ReadSub(Bid bid, int levelsLeft, std::vector<Subnode>& out) const {
  auto block = [bid] { return std::string("subnode block ") + Hex(bid); };
  if (!IsInternal(bid))
    Fail(Defect::kBadStructure, block() + " is a data block", Location::OfBlock(bid));
  const std::string b = ReadBlock(bid);
  const Layout& f = layout();
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(b.data());
  if (b.size() < f.sBlockHeadSize)
    Fail(Defect::kBadStructure, block() + " is too short", Location::OfBlock(bid));
  const auto head = f.LoadSBlockHead(bytes);
  if (head.btype != kBtypeSubnodeTree || head.cLevel > levelsLeft) {
    Fail(Defect::kBadStructure, block() + " is not a subnode block at its place",
         Location::OfBlock(bid), "type 2 at level 0 to " + std::to_string(levelsLeft),
         "type " + std::to_string(head.btype) + " at level " + std::to_string(head.cLevel));
  }
  const std::size_t size = head.cLevel == 0 ? f.slEntrySize : f.siEntrySize;
  if (f.sBlockHeadSize + head.cEnt * size > b.size()) {
    Fail(Defect::kBadStructure, block() + " lists more than it holds", Location::OfBlock(bid),
         std::to_string(head.cEnt) + " entries", std::to_string(b.size()) + " bytes");
  }
  for (std::size_t i = 0; i < head.cEnt; ++i) {
    const std::uint8_t* e = bytes + f.sBlockHeadSize + i * size;
    if (head.cLevel == 0) {
      const auto entry = f.LoadSlEntry(e);
      out.push_back({static_cast<Nid>(entry.nid), entry.bidData, entry.bidSub});
    } else {
      ReadSub(f.LoadSiEntry(e).bid, 0, out);
    }
  }
}

}  // namespace tarnvex::pst::ndb
