#include "pst/ltp/property_context.h"

#include <algorithm>

#include "pst/ltp/bth.h"
#include "text/utf.h"

namespace tarnvex::pst::ltp {

using namespace format;

namespace {

// Values kept in the record's four bytes (MS-PST 2.3.3.3).
bool IsInline(std::uint16_t type) {
  switch (type) {
    case 0x0002:  // PtypInteger16
    case 0x0003:  // PtypInteger32
    case 0x0004:  // PtypFloating32
    case 0x000A:  // PtypErrorCode
    case 0x000B:  // PtypBoolean
      return true;
    default:
      return false;
  }
}

// Fixed-size values longer than four bytes: always in the heap.
bool IsHeapFixed(std::uint16_t type) {
  switch (type) {
    case 0x0005:  // PtypFloating64
    case 0x0006:  // PtypCurrency
    case 0x0007:  // PtypFloatingTime
    case 0x0014:  // PtypInteger64
    case 0x0040:  // PtypTime
    case 0x0048:  // PtypGuid
      return true;
    default:
      return false;
  }
}

}  // namespace

PropertyContext::PropertyContext(std::shared_ptr<const ndb::NodeDatabase> db, ndb::Nid node,
                                 ndb::Bid data, ndb::Bid sub)
    : heap_(std::move(db), node, data), sub_(sub) {
  if (heap_.clientSig() != kClientSigPC) {
    heap_.Fail(Defect::kBadStructure, "the data of node " + Hex(node) + " holds no properties",
               Hex(kClientSigPC), Hex(heap_.clientSig()));
  }
  ForEachBthRecord(heap_, heap_.userRoot(), 2, 6, [&](const std::uint8_t* r) {
    const auto record = Load<PcRecord>(r);
    records_.push_back({record.wPropId, record.wPropType, record.dwValueHnid});
  });
}

const PropertyContext::Record* PropertyContext::Find(std::uint16_t id, std::uint16_t type) const {
  for (const Record& r : records_) {
    if (r.id == id && r.type == type)
      return &r;
  }
  return nullptr;
}

std::string PropertyContext::ValueBytes(const Record& r) const {
  if (IsInline(r.type)) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
      s[i] = static_cast<char>((r.hnid >> (8 * i)) & 0xFF);
    s.resize(r.type == kTypeBoolean ? 1 : r.type == kTypeInt16 ? 2 : 4);
    return s;
  }
  // An HNID (MS-PST 2.3.3.2): an HID when its NID type is 0, else a subnode.
  if (IsHeapFixed(r.type) || NidTypeOf(r.hnid) == kNidTypeHid) {
    const auto bytes = heap_.Allocation(r.hnid);
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  const ndb::Subnode* s = FindSubnode(r.hnid);
  if (!s) {
    heap_.Fail(Defect::kMissing, "the subnode " + Hex(r.hnid) + " that holds property " +
                                     Hex(r.id) + " of node " + Hex(node()) + " is missing");
  }
  return db().ReadData(s->data);
}

std::string_view PropertyContext::ValueView(const Record& r, std::string& held) const {
  if (!IsInline(r.type) && (IsHeapFixed(r.type) || NidTypeOf(r.hnid) == kNidTypeHid)) {
    const auto bytes = heap_.Allocation(r.hnid);
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
  }
  held = ValueBytes(r);
  return held;
}

std::string PropertyContext::ValueText(const Record& r) const {
  std::string held;
  const std::string_view raw = ValueView(r, held);
  if (r.type == kTypeUnicode)
    return text::Utf16LeToUtf8(reinterpret_cast<const std::uint8_t*>(raw.data()), raw.size());
  std::string out;
  for (unsigned char c : raw) {
    if (c == 0)
      break;
    text::AppendUtf8(out, c);
  }
  return out;
}

const std::vector<ndb::Subnode>& PropertyContext::Subnodes() const {
  if (!subnodes_)
    subnodes_ = db().ReadSubnodes(sub_);
  return *subnodes_;
}

const ndb::Subnode* PropertyContext::FindSubnode(ndb::Nid nid) const {
  return ndb::FindSubnode(Subnodes(), nid);
}

}  // namespace tarnvex::pst::ltp
