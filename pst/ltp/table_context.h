#pragma once

// The table context (MS-PST 2.3.4): a node's rows, as far as the reader needs them: how many
// rows the row matrix holds and which row ids (for a folder's contents table: the NIDs of its
// messages) the row index lists, in row order; and, when asked, one column's values.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "pst/ltp/heap.h"

namespace tarnvex::pst::ltp {

class TableContext {
 public:
  // The table of node `node`, whose data and subnode trees are `data` and `sub`. Reads the
  // TCINFO, the row index and the size of the row matrix at once. Throws CorruptionError when
  // the node holds no table, its row index is damaged or lists a row the matrix does not hold.
  TableContext(std::shared_ptr<const ndb::NodeDatabase> db, ndb::Nid node, ndb::Bid data,
               ndb::Bid sub);

  ndb::Nid node() const { return heap_.node(); }
  // Rows of the row matrix.
  std::size_t rowCount() const { return rowCount_; }
  // The row ids of the row index, in row order; fewer than rowCount() when the index lacks rows.
  const std::vector<std::uint32_t>& rowIds() const { return rowIds_; }

  // The bytes of the column with this property tag (id and type) in each row of rowIds(), in
  // the same order; empty where the row's cell is absent, and for every row when the table has
  // no such column. Reads the row matrix anew. Throws CorruptionError when a row or a value
  // cannot be read.
  std::vector<std::optional<std::string>> ColumnValues(std::uint32_t tag) const;
  // True when the table has a column of this property tag.
  bool HasColumn(std::uint32_t tag) const;
  // The property tags of the table's columns, in the order the table describes them.
  std::vector<std::uint32_t> ColumnTags() const;

 private:
  // The row matrix's rows, in row order, each rowSize_ bytes.
  std::vector<std::string> RowBlocks() const;
  // The node's subnode with this NID, or null; the subnodes are read once, when first asked.
  const ndb::Subnode* FindSubnode(ndb::Nid nid) const;

  Heap heap_;
  ndb::Bid sub_;
  std::uint32_t hnidRows_ = 0;
  std::size_t rowSize_ = 0;
  std::size_t bitmapOffset_ = 0;
  std::vector<format::TColDesc> columns_;
  std::size_t rowCount_ = 0;
  std::vector<std::uint32_t> rowIds_;
  // The row number of each of rowIds_.
  std::vector<std::uint32_t> rowNumbers_;
  mutable std::optional<std::vector<ndb::Subnode>> subnodes_;
};

}  // namespace tarnvex::pst::ltp
