#include "pst/format.h"

namespace tarnvex::pst::format {

std::uint16_t ComputeSig(std::uint64_t ib, std::uint64_t bid) {
  ib ^= bid;
  const auto low = static_cast<std::uint32_t>(ib);
  return static_cast<std::uint16_t>((low >> 16) ^ (low & 0xFFFF));
}

namespace {

template <typename T>
void Store(std::uint8_t* at, const T& value) {
  std::memcpy(at, &value, sizeof value);
}

}  // namespace

PageTrailer Layout::LoadPageTrailer(const std::uint8_t* at) const {
  if (!ansi())
    return Load<PageTrailer>(at);  // the 4 KiB form's trailer starts with the same fields
  const auto t = Load<PageTrailerAnsi>(at);
  return {t.ptype, t.ptypeRepeat, t.wSig, t.dwCRC, t.bid};
}

void Layout::StorePageTrailer(std::uint8_t* at, const PageTrailer& t) const {
  if (pages4k())
    return Store(at, PageTrailer4k{t, 0});
  if (!ansi())
    return Store(at, t);
  Store(at, PageTrailerAnsi{t.ptype, t.ptypeRepeat, t.wSig, static_cast<std::uint32_t>(t.bid),
                            t.dwCRC});
}

BlockTrailer Layout::LoadBlockTrailer(const std::uint8_t* at) const {
  if (!ansi())
    return Load<BlockTrailer>(at);
  const auto t = Load<BlockTrailerAnsi>(at);
  return {t.cb, t.wSig, t.dwCRC, t.bid};
}

void Layout::StoreBlockTrailer(std::uint8_t* at, const BlockTrailer& t,
                               std::uint16_t cbInflated) const {
  if (pages4k()) {
    return Store(at,
                 BlockTrailer4k{t, kBlockTrailer4kUnknown, cbInflated != 0 ? cbInflated : t.cb, 0});
  }
  if (!ansi())
    return Store(at, t);
  Store(at, BlockTrailerAnsi{t.cb, t.wSig, static_cast<std::uint32_t>(t.bid), t.dwCRC});
}

std::uint16_t Layout::LoadInflatedSize(const std::uint8_t* at) const {
  if (!pages4k())
    return LoadBlockTrailer(at).cb;
  const auto t = Load<BlockTrailer4k>(at);
  return t.cbInflated != 0 ? t.cbInflated : t.trailer.cb;
}

BtPageCounts Layout::LoadBtPageTail(const std::uint8_t* page) const {
  if (pages4k()) {
    const auto t = Load<BtPageTail4k>(page + btEntryBytes);
    return {t.cEnt, t.cEntMax, t.cbEnt, t.cLevel};
  }
  const auto t = Load<BtPageTailAnsi>(page + btEntryBytes);
  return {t.cEnt, t.cEntMax, t.cbEnt, t.cLevel};
}

void Layout::StoreBtPageTail(std::uint8_t* page, const BtPageCounts& tail) const {
  if (pages4k()) {
    BtPageTail4k t{tail.cEnt, tail.cEntMax, tail.cbEnt, tail.cLevel, {}};
    return Store(page + btEntryBytes, t);
  }
  Store(page + btEntryBytes,
        BtPageTailAnsi{static_cast<std::uint8_t>(tail.cEnt),
                       static_cast<std::uint8_t>(tail.cEntMax), tail.cbEnt, tail.cLevel});
}

BtEntry Layout::LoadBtEntry(const std::uint8_t* at) const {
  if (!ansi())
    return Load<BtEntry>(at);
  const auto e = Load<BtEntryAnsi>(at);
  return {e.btkey, {e.bref.bid, e.bref.ib}};
}

void Layout::StoreBtEntry(std::uint8_t* at, const BtEntry& e) const {
  if (!ansi())
    return Store(at, e);
  Store(at, BtEntryAnsi{
                static_cast<std::uint32_t>(e.btkey),
                {static_cast<std::uint32_t>(e.bref.bid), static_cast<std::uint32_t>(e.bref.ib)}});
}

BbtEntry Layout::LoadBbtEntry(const std::uint8_t* at) const {
  if (!ansi())
    return Load<BbtEntry>(at);
  const auto e = Load<BbtEntryAnsi>(at);
  return {{e.bref.bid, e.bref.ib}, e.cb, e.cRef, 0};
}

void Layout::StoreBbtEntry(std::uint8_t* at, const BbtEntry& e) const {
  if (!ansi())
    return Store(at, e);
  Store(at, BbtEntryAnsi{
                {static_cast<std::uint32_t>(e.bref.bid), static_cast<std::uint32_t>(e.bref.ib)},
                e.cb,
                e.cRef});
}

NbtEntry Layout::LoadNbtEntry(const std::uint8_t* at) const {
  if (!ansi())
    return Load<NbtEntry>(at);
  const auto e = Load<NbtEntryAnsi>(at);
  return {e.nid, e.bidData, e.bidSub, e.nidParent, 0};
}

void Layout::StoreNbtEntry(std::uint8_t* at, const NbtEntry& e) const {
  if (!ansi())
    return Store(at, e);
  Store(at, NbtEntryAnsi{static_cast<std::uint32_t>(e.nid), static_cast<std::uint32_t>(e.bidData),
                         static_cast<std::uint32_t>(e.bidSub), e.nidParent});
}

Bid Layout::LoadBid(const std::uint8_t* at) const {
  return ansi() ? Load<std::uint32_t>(at) : Load<std::uint64_t>(at);
}

void Layout::StoreBid(std::uint8_t* at, Bid bid) const {
  if (ansi())
    Store(at, static_cast<std::uint32_t>(bid));
  else
    Store(at, bid);
}

SBlockHead Layout::LoadSBlockHead(const std::uint8_t* at) const {
  if (!ansi())
    return Load<SBlockHead>(at);
  const auto h = Load<SBlockHeadAnsi>(at);
  return {h.btype, h.cLevel, h.cEnt, 0};
}

void Layout::StoreSBlockHead(std::uint8_t* at, const SBlockHead& h) const {
  if (!ansi())
    return Store(at, h);
  Store(at, SBlockHeadAnsi{h.btype, h.cLevel, h.cEnt});
}

SlEntry Layout::LoadSlEntry(const std::uint8_t* at) const {
  if (!ansi())
    return Load<SlEntry>(at);
  const auto e = Load<SlEntryAnsi>(at);
  return {e.nid, e.bidData, e.bidSub};
}

void Layout::StoreSlEntry(std::uint8_t* at, const SlEntry& e) const {
  if (!ansi())
    return Store(at, e);
  Store(at, SlEntryAnsi{static_cast<std::uint32_t>(e.nid), static_cast<std::uint32_t>(e.bidData),
                        static_cast<std::uint32_t>(e.bidSub)});
}

SiEntry Layout::LoadSiEntry(const std::uint8_t* at) const {
  if (!ansi())
    return Load<SiEntry>(at);
  const auto e = Load<SiEntryAnsi>(at);
  return {e.nid, e.bid};
}

void Layout::StoreSiEntry(std::uint8_t* at, const SiEntry& e) const {
  if (!ansi())
    return Store(at, e);
  Store(at, SiEntryAnsi{static_cast<std::uint32_t>(e.nid), static_cast<std::uint32_t>(e.bid)});
}

TcRowId Layout::LoadRowId(const std::uint8_t* at) const {
  if (!ansi())
    return Load<TcRowId>(at);
  const auto r = Load<TcRowIdAnsi>(at);
  return {r.dwRowID, r.dwRowIndex};
}

void Layout::StoreRowId(std::uint8_t* at, const TcRowId& r) const {
  if (!ansi())
    return Store(at, r);
  Store(at, TcRowIdAnsi{r.dwRowID, static_cast<std::uint16_t>(r.dwRowIndex)});
}

}  // namespace tarnvex::pst::format
