#include "tools/pstwriter/ltp_writer.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "platform/failure.h"
#include "pst/format.h"
#include "text/utf.h"
#include "tools/pstwriter/code_page.h"

namespace tarnvex::pstwriter {

using namespace pst::format;

namespace {

void Put16(Bytes& b, std::uint16_t v) {
  b.push_back(v & 0xFF);
  b.push_back(v >> 8);
}
void Put32(Bytes& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    b.push_back((v >> (8 * i)) & 0xFF);
}
void Put64(Bytes& b, std::uint64_t v) {
  for (int i = 0; i < 8; ++i)
    b.push_back((v >> (8 * i)) & 0xFF);
}

// The fill level of a heap block from its free bytes (FILL_LEVEL_EMPTY .. FILL_LEVEL_FULL).
std::uint8_t FillLevel(std::size_t freeBytes) {
  static const std::size_t limits[] = {3584, 2560, 2048, 1792, 1536, 1280, 1024, 768,
                                       512,  256,  128,  64,   32,   16,   8};
  for (std::uint8_t i = 0; i < 15; ++i) {
    if (freeBytes >= limits[i])
      return i;
  }
  return 0x0F;
}

std::uint8_t CellSize(std::uint16_t type) {
  switch (type) {
    case 0x0002:
      return 2;
    case 0x000B:
      return 1;
    case 0x0005:
    case 0x0014:
    case 0x0040:
      return 8;
    default:
      return 4;  // 32-bit values and the HNIDs of variable-sized ones
  }
}

}  // namespace

std::uint32_t SubnodeSink::AddValue(const Bytes& data) {
  const std::uint32_t nid = MakeNid(kNidTypeLtp, nextIndex_++);
  entries_.push_back(SubnodeEntry{nid, ndb_.AddData(data), 0});
  return nid;
}

std::uint32_t SubnodeSink::AddBlocksValue(const std::vector<Bytes>& blocks) {
  const std::uint32_t nid = MakeNid(kNidTypeLtp, nextIndex_++);
  entries_.push_back(SubnodeEntry{nid, ndb_.AddBlocks(blocks), 0});
  return nid;
}

std::size_t HeapBuilder::HeaderSize(std::size_t page) {
  if (page == 0)
    return sizeof(HnHdr);
  if (page % 128 == 8)
    return sizeof(HnBitmapHdr);
  return sizeof(HnPageHdr);
}

std::uint32_t HeapBuilder::Allocate(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxHeapAlloc)
    throw Failure("Internal error: heap allocation too large.");
  auto fits = [&](const Page& p, std::size_t index) {
    std::size_t end = HeaderSize(index) + p.data.size() + size;
    end += end % 2;
    return end + sizeof(HnPageMapHead) + 2 * (p.offsets.size() + 2) <= kMaxBlockData &&
           p.offsets.size() < 2047;
  };
  if (!fits(pages_.back(), pages_.size() - 1)) {
    if (layout_.HidBlock(layout_.MakeHid(pages_.size(), 1)) != pages_.size())
      throw Failure("A table is too large for a PST file.");
    pages_.emplace_back();
  }
  const std::size_t index = pages_.size() - 1;
  Page& p = pages_.back();
  p.offsets.push_back(static_cast<std::uint16_t>(HeaderSize(index) + p.data.size()));
  if (size)
    p.data.insert(p.data.end(), data, data + size);
  return layout_.MakeHid(index, p.offsets.size());
}

std::vector<Bytes> HeapBuilder::Finish() const {
  std::vector<Bytes> blocks;
  for (std::size_t i = 0; i < pages_.size(); ++i) {
    const Page& p = pages_[i];
    Bytes b(HeaderSize(i), 0);
    b.insert(b.end(), p.data.begin(), p.data.end());
    const std::uint16_t end = static_cast<std::uint16_t>(b.size());
    if (b.size() % 2)
      b.push_back(0);
    const std::uint16_t ibHnpm = static_cast<std::uint16_t>(b.size());
    Put16(b, static_cast<std::uint16_t>(p.offsets.size()));  // cAlloc
    Put16(b, 0);                                             // cFree
    for (std::uint16_t o : p.offsets)
      Put16(b, o);
    Put16(b, end);
    std::memcpy(b.data(), &ibHnpm, 2);
    blocks.push_back(std::move(b));
  }
  auto level = [&](std::size_t i) { return FillLevel(kMaxBlockData - blocks[i].size()); };
  auto fill = [&](std::uint8_t* out, std::size_t first, std::size_t count) {
    for (std::size_t k = 0; k < count && first + k < blocks.size(); ++k) {
      out[k / 2] |= static_cast<std::uint8_t>(level(first + k) << (4 * (k % 2)));
    }
  };
  HnHdr hdr{};
  hdr.ibHnpm = *reinterpret_cast<const std::uint16_t*>(blocks[0].data());
  hdr.bSig = kHnSig;
  hdr.bClientSig = clientSig_;
  hdr.hidUserRoot = userRoot_;
  fill(hdr.rgbFillLevel, 0, 8);
  std::memcpy(blocks[0].data(), &hdr, sizeof hdr);
  for (std::size_t i = 8; i < blocks.size(); i += 128) {
    HnBitmapHdr bm{};
    bm.ibHnpm = *reinterpret_cast<const std::uint16_t*>(blocks[i].data());
    fill(bm.rgbFillLevel, i, 128);
    std::memcpy(blocks[i].data(), &bm, sizeof bm);
  }
  return blocks;
}

std::uint32_t BuildBth(HeapBuilder& heap, std::uint8_t cbKey, std::uint8_t cbEnt,
                       const Bytes& records) {
  BthHeader header{kClientSigBTH, cbKey, cbEnt, 0, 0};
  const std::size_t recSize = cbKey + cbEnt;
  struct Node {
    Bytes key;
    std::uint32_t hid;
  };
  std::vector<Node> level;
  const std::size_t perLeaf = kMaxHeapAlloc / recSize;
  for (std::size_t off = 0; off < records.size(); off += perLeaf * recSize) {
    const std::size_t n = std::min(records.size() - off, perLeaf * recSize);
    level.push_back(Node{Bytes(records.begin() + off, records.begin() + off + cbKey),
                         heap.Allocate(records.data() + off, n)});
  }
  const std::size_t perIndex = kMaxHeapAlloc / (cbKey + 4u);
  while (level.size() > 1) {
    ++header.bIdxLevels;
    std::vector<Node> up;
    for (std::size_t i = 0; i < level.size(); i += perIndex) {
      Bytes rec;
      for (std::size_t k = i; k < std::min(level.size(), i + perIndex); ++k) {
        rec.insert(rec.end(), level[k].key.begin(), level[k].key.end());
        Put32(rec, level[k].hid);
      }
      up.push_back(Node{level[i].key, heap.Allocate(rec)});
    }
    level = std::move(up);
  }
  if (!level.empty())
    header.hidRoot = level[0].hid;
  return heap.Allocate(reinterpret_cast<const std::uint8_t*>(&header), sizeof header);
}

Bytes Utf16Le(const std::string& utf8) {
  const std::string bytes = text::Utf8ToUtf16Le(utf8);
  return Bytes(bytes.begin(), bytes.end());
}

Bytes EncodeValue(const Value& value) {
  Bytes b;
  switch (value.type()) {
    case PropType::kInt16:
      Put16(b, static_cast<std::uint16_t>(value.AsInteger()));
      break;
    case PropType::kInt32:
      Put32(b, static_cast<std::uint32_t>(value.AsInteger()));
      break;
    case PropType::kBoolean:
      b.push_back(value.AsBoolean() ? 1 : 0);
      break;
    case PropType::kInt64:
    case PropType::kTime:
      Put64(b, static_cast<std::uint64_t>(value.AsInteger()));
      break;
    case PropType::kDouble: {
      const double d = value.AsDouble();
      std::uint64_t bits;
      std::memcpy(&bits, &d, 8);
      Put64(b, bits);
      break;
    }
    case PropType::kString:
      return Utf16Le(value.AsString());
    case PropType::kString8:
      return Bytes(value.AsString().begin(), value.AsString().end());
    case PropType::kBinary:
    case PropType::kGuid:
      return value.AsBinary();
    case PropType::kMultiInt32:
      for (std::int32_t v : value.AsMultiInt32())
        Put32(b, static_cast<std::uint32_t>(v));
      break;
    case PropType::kMultiString:
    case PropType::kMultiString8:
    case PropType::kMultiBinary: {
      std::vector<Bytes> items;
      if (value.type() == PropType::kMultiString) {
        for (const auto& s : value.AsMultiString())
          items.push_back(Utf16Le(s));
      } else if (value.type() == PropType::kMultiString8) {
        for (const auto& s : value.AsMultiString())
          items.emplace_back(s.begin(), s.end());
      } else {
        items = value.AsMultiBinary();
      }
      Put32(b, static_cast<std::uint32_t>(items.size()));
      std::uint32_t offset = static_cast<std::uint32_t>(4 + 4 * items.size());
      for (const Bytes& item : items) {
        Put32(b, offset);
        offset += static_cast<std::uint32_t>(item.size());
      }
      for (const Bytes& item : items)
        b.insert(b.end(), item.begin(), item.end());
      break;
    }
  }
  return b;
}

Value AsString8(const Value& value, std::uint32_t codePage) {
  if (value.type() == PropType::kString)
    return Value::String8(EncodeInCodePage(value.AsString(), codePage));
  if (value.type() == PropType::kMultiString) {
    std::vector<std::string> values;
    for (const std::string& s : value.AsMultiString())
      values.push_back(EncodeInCodePage(s, codePage));
    return Value::MultiString8(std::move(values));
  }
  return value;
}

void PcBuilder::Add(std::uint16_t propId, const Value& given) {
  const bool unicode = given.type() == PropType::kString || given.type() == PropType::kMultiString;
  if (codePage_ && unicode)
    return Add(propId, AsString8(given, codePage_));
  const Value& value = given;
  const auto type = static_cast<std::uint16_t>(value.type());
  std::uint32_t hnid = 0;
  switch (value.type()) {
    case PropType::kInt16:
      hnid = static_cast<std::uint16_t>(value.AsInteger());
      break;
    case PropType::kInt32:
      hnid = static_cast<std::uint32_t>(value.AsInteger());
      break;
    case PropType::kBoolean:
      hnid = value.AsBoolean() ? 1 : 0;
      break;
    default: {
      const Bytes bytes = EncodeValue(value);
      hnid = bytes.size() <= kMaxHeapAlloc ? heap_.Allocate(bytes) : sink_.AddValue(bytes);
    }
  }
  for (Record& r : records_) {
    if (r.id == propId) {
      r = Record{propId, type, hnid};
      return;
    }
  }
  records_.push_back(Record{propId, type, hnid});
}

std::vector<Bytes> PcBuilder::Finish() {
  std::sort(records_.begin(), records_.end(),
            [](const Record& a, const Record& b) { return a.id < b.id; });
  Bytes recs;
  for (const Record& r : records_) {
    Put16(recs, r.id);
    Put16(recs, r.type);
    Put32(recs, r.hnid);
  }
  heap_.SetUserRoot(BuildBth(heap_, 2, 6, recs));
  return heap_.Finish();
}

TcBuilder::TcBuilder(SubnodeSink& sink, std::vector<std::uint32_t> tags,
                     std::uint32_t string8CodePage)
    : sink_(sink), heap_(kClientSigTC, sink.ndb().layout()), codePage_(string8CodePage) {
  tags.insert(tags.begin(), {0x67F20003u, 0x67F30003u});  // PidTagLtpRowId, PidTagLtpRowVer
  if (codePage_) {
    for (std::uint32_t& tag : tags) {
      if ((tag & 0xFFFF) == 0x001F || (tag & 0xFFFF) == 0x101F)
        tag -= 1;  // PT_UNICODE to PT_STRING8, PT_MV_UNICODE to PT_MV_STRING8
    }
  }
  for (std::size_t i = 0; i < tags.size(); ++i) {
    columns_.push_back(
        Column{tags[i], 0, CellSize(tags[i] & 0xFFFF), static_cast<std::uint8_t>(i)});
  }
  // Row layout: 4- and 8-byte cells first (the row id at 0, the row version at 4), then 2-byte
  // and 1-byte cells, then the cell existence bitmap.
  std::uint16_t ib = 0;
  for (auto& c : columns_) {
    if (c.cb == 4 || c.cb == 8) {
      c.ib = ib;
      ib += c.cb;
    }
  }
  end4_ = ib;
  for (auto& c : columns_) {
    if (c.cb == 2) {
      c.ib = ib;
      ib += 2;
    }
  }
  end2_ = ib;
  for (auto& c : columns_) {
    if (c.cb == 1) {
      c.ib = ib;
      ib += 1;
    }
  }
  end1_ = ib;
  rowSize_ = static_cast<std::uint16_t>(end1_ + (columns_.size() + 7) / 8);
}

void TcBuilder::AddRow(std::uint32_t rowId, const std::vector<const Value*>& cells) {
  const std::size_t start = rows_.size();
  rows_.resize(start + rowSize_, 0);
  std::uint8_t* row = rows_.data() + start;
  const std::uint32_t version = 1;
  std::memcpy(row + columns_[0].ib, &rowId, 4);
  std::memcpy(row + columns_[1].ib, &version, 4);
  std::uint8_t* ceb = row + end1_;
  ceb[0] |= 0xC0;
  for (std::size_t i = 0; i < cells.size() && i + 2 < columns_.size(); ++i) {
    const Value* v = cells[i];
    const Column& c = columns_[i + 2];
    std::optional<Value> narrowed;
    if (v && codePage_ && (v->type() == PropType::kString || v->type() == PropType::kMultiString))
      v = &narrowed.emplace(AsString8(*v, codePage_));
    if (!v || static_cast<std::uint16_t>(v->type()) != (c.tag & 0xFFFF))
      continue;
    Bytes bytes = EncodeValue(*v);
    if (c.cb == 4 && v->type() != PropType::kInt32) {
      const std::uint32_t hnid =
          bytes.size() <= kMaxHeapAlloc ? heap_.Allocate(bytes) : sink_.AddValue(bytes);
      std::memcpy(row + c.ib, &hnid, 4);
    } else {
      std::memcpy(row + c.ib, bytes.data(), std::min<std::size_t>(c.cb, bytes.size()));
    }
    ceb[c.bit / 8] |= static_cast<std::uint8_t>(0x80 >> (c.bit % 8));
  }
  rowIds_.push_back(rowId);
}

std::vector<Bytes> TcBuilder::Finish() {
  const Layout& f = sink_.ndb().layout();
  if (f.rowIndexDataSize < 4 && rowIds_.size() > 0xFFFF)
    throw Failure("A folder has too many items for an ANSI PST file.");
  std::vector<TcRowId> index;
  index.reserve(rowIds_.size());
  for (std::size_t i = 0; i < rowIds_.size(); ++i) {
    index.push_back(TcRowId{rowIds_[i], static_cast<std::uint32_t>(i)});
  }
  std::sort(index.begin(), index.end(),
            [](const TcRowId& a, const TcRowId& b) { return a.dwRowID < b.dwRowID; });
  const std::size_t recordSize = 4 + f.rowIndexDataSize;
  Bytes recs(index.size() * recordSize);
  for (std::size_t i = 0; i < index.size(); ++i)
    f.StoreRowId(recs.data() + i * recordSize, index[i]);
  const std::uint32_t hidRowIndex =
      BuildBth(heap_, 4, static_cast<std::uint8_t>(f.rowIndexDataSize), recs);

  std::uint32_t hnidRows = 0;
  if (!rows_.empty() && rows_.size() <= kMaxHeapAlloc) {
    hnidRows = heap_.Allocate(rows_);
  } else if (!rows_.empty()) {
    // Rows never straddle a block: each block holds as many whole rows as fit.
    const std::size_t perBlock = (f.maxBlockData() / rowSize_) * rowSize_;
    std::vector<Bytes> blocks;
    for (std::size_t off = 0; off < rows_.size(); off += perBlock) {
      const std::size_t n = std::min(perBlock, rows_.size() - off);
      blocks.emplace_back(rows_.begin() + off, rows_.begin() + off + n);
    }
    hnidRows = sink_.AddBlocksValue(blocks);
  }

  std::vector<Column> sorted = columns_;
  std::sort(sorted.begin(), sorted.end(),
            [](const Column& a, const Column& b) { return a.tag < b.tag; });
  TcInfoHead head{kClientSigTC,
                  static_cast<std::uint8_t>(sorted.size()),
                  {end4_, end2_, end1_, rowSize_},
                  hidRowIndex,
                  hnidRows,
                  0};
  Bytes info(sizeof head);
  std::memcpy(info.data(), &head, sizeof head);
  for (const Column& c : sorted) {
    TColDesc d{c.tag, c.ib, c.cb, c.bit};
    const auto* p = reinterpret_cast<const std::uint8_t*>(&d);
    info.insert(info.end(), p, p + sizeof d);
  }
  heap_.SetUserRoot(heap_.Allocate(info));
  return heap_.Finish();
}

}  // namespace tarnvex::pstwriter
