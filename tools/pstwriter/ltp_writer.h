#pragma once

// The lists, tables and properties layer of the writer: heap-on-node (HN), BTH, property
// contexts (PC) and table contexts (TC). Values too large for a heap go to subnodes of the
// object being written, collected in a SubnodeSink.

#include <cstdint>
#include <vector>

#include "tools/pstwriter/ndb_writer.h"
#include "tools/pstwriter/store_model.h"

namespace tarnvex::pstwriter {

// Collects the subnodes of one node and hands out their NIDs.
class SubnodeSink {
 public:
  explicit SubnodeSink(NdbWriter& ndb) : ndb_(ndb) {}
  // Stores data as a new subnode (NID type LTP) and returns its NID.
  std::uint32_t AddValue(const Bytes& data);
  // Stores data already cut into blocks (rows of a table) as a new subnode; returns its NID.
  std::uint32_t AddBlocksValue(const std::vector<Bytes>& blocks);
  void Add(SubnodeEntry entry) { entries_.push_back(entry); }
  NdbWriter& ndb() { return ndb_; }
  // Writes the subnode tree; 0 when there are no subnodes.
  std::uint64_t Finish() { return ndb_.AddSubnodes(std::move(entries_)); }

 private:
  NdbWriter& ndb_;
  std::vector<SubnodeEntry> entries_;
  std::uint32_t nextIndex_ = 0x400;
};

class HeapBuilder {
 public:
  HeapBuilder(std::uint8_t clientSig, const pst::format::Layout& layout)
      : clientSig_(clientSig), layout_(layout) {
    pages_.emplace_back();
  }
  // Allocates size bytes (at most 3580) and returns the HID.
  std::uint32_t Allocate(const std::uint8_t* data, std::size_t size);
  std::uint32_t Allocate(const Bytes& data) { return Allocate(data.data(), data.size()); }
  void SetUserRoot(std::uint32_t hid) { userRoot_ = hid; }
  // The heap's blocks, ready for NdbWriter::AddBlocks.
  std::vector<Bytes> Finish() const;

 private:
  struct Page {
    Bytes data;
    std::vector<std::uint16_t> offsets;  // start of each allocation, relative to the block
  };
  static std::size_t HeaderSize(std::size_t page);
  std::uint8_t clientSig_;
  const pst::format::Layout& layout_;  // how a HID is made
  std::uint32_t userRoot_ = 0;
  std::vector<Page> pages_;
};

// Builds a BTH in heap over records (each cbKey + cbEnt bytes, sorted by key); returns the HID
// of its BTHHEADER.
std::uint32_t BuildBth(HeapBuilder& heap, std::uint8_t cbKey, std::uint8_t cbEnt,
                       const Bytes& records);

// The bytes a value has on disk when it is not stored inline (strings as UTF-16LE, multi-valued
// types with their counts and offsets).
Bytes EncodeValue(const Value& value);
// UTF-8 to UTF-16LE bytes (text::Utf8ToUtf16Le); invalid sequences become U+FFFD.
Bytes Utf16Le(const std::string& utf8);

// A Unicode string value (single or multi-valued) as the 8-bit string it is in the code page;
// other values as they are. Throws Failure when the code page lacks a character of the text.
Value AsString8(const Value& value, std::uint32_t codePage);

// A property context: property id and value pairs. Returns the heap's blocks. With a code page
// (an ANSI file's), Unicode strings are stored as 8-bit strings in it.
class PcBuilder {
 public:
  explicit PcBuilder(SubnodeSink& sink, std::uint32_t string8CodePage = 0)
      : sink_(sink), heap_(0xBC, sink.ndb().layout()), codePage_(string8CodePage) {}
  void Add(std::uint16_t propId, const Value& value);
  std::vector<Bytes> Finish();
  std::size_t size() const { return records_.size(); }

 private:
  struct Record {
    std::uint16_t id;
    std::uint16_t type;
    std::uint32_t hnid;
  };
  SubnodeSink& sink_;
  HeapBuilder heap_;
  std::uint32_t codePage_;
  std::vector<Record> records_;
};

// A table context with fixed columns (PidTagLtpRowId and PidTagLtpRowVer are added first), its
// row index in the format of the sink's file. With a code page (an ANSI file's), string columns
// are 8-bit string columns and Unicode cell values are stored in the code page.
class TcBuilder {
 public:
  // tags: full property tags (id << 16 | type) of the columns.
  TcBuilder(SubnodeSink& sink, std::vector<std::uint32_t> tags, std::uint32_t string8CodePage = 0);
  // cells[i] is the value of column tags[i], nullptr when the row has none.
  void AddRow(std::uint32_t rowId, const std::vector<const Value*>& cells);
  std::vector<Bytes> Finish();
  std::size_t rows() const { return rowIds_.size(); }

 private:
  struct Column {
    std::uint32_t tag;
    std::uint16_t ib;
    std::uint8_t cb;
    std::uint8_t bit;
  };
  SubnodeSink& sink_;
  HeapBuilder heap_;
  std::uint32_t codePage_;
  std::vector<Column> columns_;  // in the order given, RowId and RowVer first
  std::uint16_t end4_ = 0, end2_ = 0, end1_ = 0, rowSize_ = 0;
  Bytes rows_;
  std::vector<std::uint32_t> rowIds_;
};

}  // namespace tarnvex::pstwriter
