#pragma once

// Deliberately damaged copies of a PST file, for robustness tests of readers. Truncation and
// flipped bytes break check sums; the structural kinds (a node listed twice, a folder loop)
// rewrite a node index page and take its check sum again, so that only a reader that checks
// the structure itself finds them. And, not damage but alike, copies whose data blocks are
// encoded as Outlook encodes them.

#include <cstdint>
#include <functional>
#include <string>

namespace tarnvex::pstwriter {

// Copies source to target, cut after the first `length` bytes. Throws Failure.
void WriteTruncatedCopy(const std::string& source, const std::string& target, std::uint64_t length);

// Copies source to target with `count` bytes at positions chosen from seed replaced by other
// values (each byte XORed with a non-zero value). Positions are drawn from [from, file size):
// pass from = 564 to keep the file header intact. Throws Failure.
void WriteFlippedCopy(const std::string& source, const std::string& target, std::uint64_t count,
                      std::uint64_t seed, std::uint64_t from = 0);

// The PST file's bytes with node `nid` listed twice in its node index: the copy of its entry
// goes right after it in its leaf page, or, when the page is full, over the entry after it (over
// the one before it when it is the page's last). The copy is alike, or, with `alike` false, gives
// the node another parent (kNidNoSuchFolder). nid 0 picks the first folder after the root
// folder. Returns the NID listed twice. Throws Failure when the file's node index cannot be
// walked or does not list the node.
std::uint32_t DuplicateNode(std::string& pst, std::uint32_t nid = 0, bool alike = true);

// The PST file's bytes with folder `folder` made the subfolder of its own first subfolder (its
// parent in the node index becomes that subfolder), so that the two form a loop. folder 0 picks
// the first folder after the root folder that has a subfolder. Returns the folder and the
// subfolder. Throws Failure when there is no such folder.
struct FolderCycle {
  std::uint32_t folder;
  std::uint32_t subfolder;
};
FolderCycle MakeFolderCycle(std::string& pst, std::uint32_t folder = 0);

// More kinds that keep every check sum valid, so that the damage reaches the structures behind
// the checks. `pick` chooses where (taken modulo the number of candidates); each returns what
// it changed. Throw Failure when the file's indexes cannot be walked or hold no candidate.
//
// A node no folder owns: the pick-th normal message's parent becomes kNidNoSuchFolder, a NID
// the node index does not list. Its folder's contents table still lists it.
inline constexpr std::uint32_t kNidNoSuchFolder = 0x7FFFFFE2;
std::uint32_t OrphanMessage(std::string& pst, std::uint64_t pick);
// The pick-th normal message's entry removed from its node index page (the entries after it
// move down): an index entry missing for a row of its folder's contents table.
std::uint32_t DropMessageNode(std::string& pst, std::uint64_t pick);
// The same for node `nid`, whatever its type.
void DropNode(std::string& pst, std::uint32_t nid);
// The pick-th block of the block index made to lie past the end of the file. Returns its BID.
std::uint64_t MisplaceBlock(std::string& pst, std::uint64_t pick);
// A wrong count: a leaf page of the node index counts one entry more (the bytes after its last
// entry) or one fewer. Returns the page's new count.
std::uint32_t MiscountNodePage(std::string& pst, std::uint64_t pick);

// The PST file's bytes, written plain, with every data block encoded by `method`
// (pst::format::kCryptPermute or kCryptCyclic, pst/crypt.h; internal blocks stay plain), each
// block's check sum taken again over the stored bytes, the header's bCryptMethod and check sums
// set. Throws Failure when the blocks are encoded already or the block index cannot be walked.
void EncodeBlocks(std::string& pst, std::uint8_t method);

// Takes the header's check sums again over its bytes as they stand (both of a Unicode header, the
// partial one of an ANSI header), after a field under them was changed on purpose. Throws Failure
// for a file of no format the writer knows.
void ResealHeader(std::string& pst);

// The same on files: source copied to target with the damage. Throw Failure.
std::uint32_t WriteDuplicateNodeCopy(const std::string& source, const std::string& target,
                                     std::uint32_t nid = 0, bool alike = true);
FolderCycle WriteFolderCycleCopy(const std::string& source, const std::string& target,
                                 std::uint32_t folder = 0);
void WriteEncodedCopy(const std::string& source, const std::string& target, std::uint8_t method);
// Source copied to target with `damage` applied to its bytes.
void WriteDamagedCopy(const std::string& source, const std::string& target,
                      const std::function<void(std::string&)>& damage);

}  // namespace tarnvex::pstwriter
