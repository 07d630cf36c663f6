#include "pst/ltp/table_context.h"

#include <algorithm>
#include <cstring>

#include "pst/ltp/bth.h"
#include "pst/ltp/property_context.h"

namespace tarnvex::pst::ltp {

using namespace format;

TableContext::TableContext(std::shared_ptr<const ndb::NodeDatabase> db, ndb::Nid node,
                           ndb::Bid data, ndb::Bid sub)
    : heap_(std::move(db), node, data), sub_(sub) {
  const std::string table = "the table of node " + Hex(node);
  if (heap_.clientSig() != kClientSigTC) {
    heap_.Fail(Defect::kBadStructure, "the data of node " + Hex(node) + " holds no table",
               Hex(kClientSigTC), Hex(heap_.clientSig()));
  }
  const auto info = heap_.Allocation(heap_.userRoot());
  if (info.size() < sizeof(TcInfoHead))
    heap_.Fail(Defect::kBadStructure, table + " has no column description");
  const auto head = Load<TcInfoHead>(info.data());
  const std::size_t rowSize = head.rgib[3];
  if (head.bType != kClientSigTC || rowSize == 0 || head.rgib[0] > head.rgib[1] ||
      head.rgib[1] > head.rgib[2] || head.rgib[2] > head.rgib[3]) {
    heap_.Fail(Defect::kBadStructure, table + " has a damaged column description",
               "type " + Hex(kClientSigTC) + " and rows of growing parts",
               "type " + Hex(head.bType) + ", rows of " + std::to_string(rowSize) + " bytes");
  }

  rowSize_ = rowSize;
  bitmapOffset_ = head.rgib[2];
  hnidRows_ = head.hnidRows;
  const std::size_t columnCount =
      std::min<std::size_t>(head.cCols, (info.size() - sizeof(TcInfoHead)) / sizeof(TColDesc));
  for (std::size_t i = 0; i < columnCount; ++i)
    columns_.push_back(Load<TColDesc>(info.data() + sizeof(TcInfoHead) + i * sizeof(TColDesc)));

  if ((hnidRows_ & kNidTypeMask) == kNidTypeHid && hnidRows_ != 0) {
    const std::size_t size = heap_.Allocation(hnidRows_).size();
    if (size % rowSize != 0) {
      heap_.Fail(Defect::kBadStructure, table + " holds a part of a row",
                 "a multiple of " + std::to_string(rowSize) + " bytes",
                 std::to_string(size) + " bytes");
    }
  }
  for (const std::string& block : RowBlocks())
    rowCount_ += block.size() / rowSize;

  // The row index: row id -> row number. Each row number names a row of the matrix, once.
  const Layout& f = heap_.db().layout();
  std::vector<TcRowId> index;
  ForEachBthRecord(heap_, head.hidRowIndex, 4, static_cast<std::uint8_t>(f.rowIndexDataSize),
                   [&](const std::uint8_t* r) { index.push_back(f.LoadRowId(r)); });
  std::sort(index.begin(), index.end(),
            [](const TcRowId& a, const TcRowId& b) { return a.dwRowIndex < b.dwRowIndex; });
  for (std::size_t i = 0; i < index.size(); ++i) {
    const TcRowId& r = index[i];
    if (r.dwRowIndex >= rowCount_) {
      heap_.Fail(Defect::kOutOfBounds,
                 table + " lists row id " + Hex(r.dwRowID) + " at row " +
                     std::to_string(r.dwRowIndex) + ", past its rows",
                 "a row below " + std::to_string(rowCount_), "row " + std::to_string(r.dwRowIndex));
    }
    if (i > 0 && index[i - 1].dwRowIndex == r.dwRowIndex) {
      heap_.Fail(Defect::kBadStructure,
                 table + " lists two row ids at row " + std::to_string(r.dwRowIndex),
                 "one row id per row", Hex(index[i - 1].dwRowID) + " and " + Hex(r.dwRowID));
    }
    rowIds_.push_back(r.dwRowID);
    rowNumbers_.push_back(r.dwRowIndex);
  }
}

std::vector<std::string> TableContext::RowBlocks() const {
  if (hnidRows_ == 0)
    return {};
  if ((hnidRows_ & kNidTypeMask) == kNidTypeHid) {
    const auto rows = heap_.Allocation(hnidRows_);
    return {std::string(reinterpret_cast<const char*>(rows.data()), rows.size())};
  }
  const ndb::Subnode* at = FindSubnode(hnidRows_);
  if (!at) {
    heap_.Fail(Defect::kMissing, "the table of node " + Hex(node()) +
                                     " keeps its rows in subnode " + Hex(hnidRows_) +
                                     ", which the node does not have");
  }
  return heap_.db().ReadDataTree(at->data);
}

const ndb::Subnode* TableContext::FindSubnode(ndb::Nid nid) const {
  if (!subnodes_)
    subnodes_ = heap_.db().ReadSubnodes(sub_);
  return ndb::FindSubnode(*subnodes_, nid);
}

bool TableContext::HasColumn(std::uint32_t tag) const {
  return std::any_of(columns_.begin(), columns_.end(),
                     [&](const TColDesc& c) { return c.tag == tag; });
}

std::vector<std::uint32_t> TableContext::ColumnTags() const {
  std::vector<std::uint32_t> tags;
  for (const TColDesc& c : columns_)
    tags.push_back(c.tag);
  return tags;
}

std::vector<std::optional<std::string>> TableContext::ColumnValues(std::uint32_t tag) const {
  std::vector<std::optional<std::string>> values(rowIds_.size());
  const auto column = std::find_if(columns_.begin(), columns_.end(),
                                   [&](const TColDesc& c) { return c.tag == tag; });
  if (column == columns_.end() || rowIds_.empty())
    return values;
  const std::string table = "the table of node " + Hex(node());
  if (column->ibData + column->cbData > bitmapOffset_ ||
      column->iBit / 8 + bitmapOffset_ >= rowSize_)
    heap_.Fail(Defect::kBadStructure, table + " describes column " + Hex(tag) + " past its rows");
  // Cells of variable-size values and of values longer than eight bytes hold an HNID.
  const std::uint16_t type = tag & 0xFFFF;
  const bool fixed = !(type == kTypeUnicode || type == kTypeString8 || type == kTypeBinary ||
                       type == kTypeGuid || (type & kTypeMultiple) != 0);
  if (!fixed && column->cbData != 4) {
    heap_.Fail(
        Defect::kBadStructure,
        table + " keeps column " + Hex(tag) + " in " + std::to_string(column->cbData) + " bytes",
        "4 bytes", std::to_string(column->cbData) + " bytes");
  }
  const std::vector<std::string> blocks = RowBlocks();
  // Row number -> its block and its place there.
  std::vector<std::pair<std::size_t, std::size_t>> places;
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    for (std::size_t at = 0; at + rowSize_ <= blocks[b].size(); at += rowSize_)
      places.emplace_back(b, at);
  }
  for (std::size_t i = 0; i < rowIds_.size(); ++i) {
    const auto [block, at] = places.at(rowNumbers_[i]);
    const auto* row = reinterpret_cast<const std::uint8_t*>(blocks[block].data() + at);
    if ((row[bitmapOffset_ + column->iBit / 8] & (0x80 >> (column->iBit % 8))) == 0)
      continue;
    const std::uint8_t* cell = row + column->ibData;
    if (fixed) {
      values[i] = std::string(reinterpret_cast<const char*>(cell), column->cbData);
      continue;
    }
    const std::uint32_t hnid = Load<std::uint32_t>(cell);
    if (hnid == 0) {
      values[i] = std::string();
    } else if ((hnid & kNidTypeMask) == kNidTypeHid) {
      const auto bytes = heap_.Allocation(hnid);
      values[i] = std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    } else {
      const ndb::Subnode* s = FindSubnode(hnid);
      if (!s) {
        heap_.Fail(Defect::kMissing, table + " keeps a value of column " + Hex(tag) +
                                         " in subnode " + Hex(hnid) + ", which it does not have");
      }
      values[i] = heap_.db().ReadData(s->data);
    }
  }
  return values;
}

}  // namespace tarnvex::pst::ltp
