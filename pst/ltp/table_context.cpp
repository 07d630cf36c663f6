#include "pst/ltp/table_context.h"

#include <algorithm>
#include <cstring>

#include "pst/ltp/bth.h"

namespace tarnvex::pst::ltp {

using namespace format;

TableContext::TableContext(std::shared_ptr<const ndb::NodeDatabase> db, ndb::Nid node,
                           ndb::Bid data, ndb::Bid sub)
    : heap_(std::move(db), node, data) {
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

  // The row matrix: in the heap, or in a subnode whose blocks each hold whole rows.
  const std::uint32_t hnid = head.hnidRows;
  if (hnid == 0) {
    rowCount_ = 0;
  } else if ((hnid & kNidTypeMask) == kNidTypeHid) {
    const std::size_t size = heap_.Allocation(hnid).size();
    if (size % rowSize != 0) {
      heap_.Fail(Defect::kBadStructure, table + " holds a part of a row",
                 "a multiple of " + std::to_string(rowSize) + " bytes",
                 std::to_string(size) + " bytes");
    }
    rowCount_ = size / rowSize;
  } else {
    const std::vector<ndb::Subnode> subnodes = heap_.db().ReadSubnodes(sub);
    const auto at =
        std::lower_bound(subnodes.begin(), subnodes.end(), hnid,
                         [](const ndb::Subnode& s, std::uint32_t nid) { return s.nid < nid; });
    if (at == subnodes.end() || at->nid != hnid) {
      heap_.Fail(Defect::kMissing, table + " keeps its rows in subnode " + Hex(hnid) +
                                       ", which the node does not have");
    }
    for (const std::string& block : heap_.db().ReadDataTree(at->data))
      rowCount_ += block.size() / rowSize;
  }

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
  }
}

}  // namespace tarnvex::pst::ltp
