#pragma once

// Damage the reader reads through. A page or block whose check sum fails is used when the
// structure under it still holds (a page's entries in bounds, in order and of known types; a
// block's trailer naming it, its data inflating): the file is damaged there, but what it holds is
// more likely right than not, and refusing it would lose everything it leads to. Such data is
// never passed off as sound: each use is told to the DamageScopes living on the reading thread,
// so that whoever reads an item through them knows that item holds damaged data.

#include <string>
#include <vector>

namespace tarnvex::pst::ndb {

// Collects, while it lives, the notes of damage read through on this thread ("block 0x1234 at
// offset 8192 fails its check sum; its data are used"), each note once. Scopes nest: a note goes
// to every scope living on the thread.
class DamageScope {
 public:
  explicit DamageScope(std::vector<std::string>& notes);
  ~DamageScope();
  DamageScope(const DamageScope&) = delete;
  DamageScope& operator=(const DamageScope&) = delete;

  // Tells the note to every scope living on this thread; none: nobody is told.
  static void Tell(const std::string& note);

 private:
  std::vector<std::string>& notes_;
  DamageScope* outer_;
};

}  // namespace tarnvex::pst::ndb
