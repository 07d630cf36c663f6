#include "pst/ndb/damage.h"

#include <algorithm>

namespace tarnvex::pst::ndb {
namespace {

thread_local DamageScope* innermost = nullptr;

}  // namespace

DamageScope::DamageScope(std::vector<std::string>& notes) : notes_(notes), outer_(innermost) {
  innermost = this;
}

DamageScope::~DamageScope() {
  innermost = outer_;
}

void DamageScope::Tell(const std::string& note) {
  for (DamageScope* scope = innermost; scope; scope = scope->outer_) {
    if (std::find(scope->notes_.begin(), scope->notes_.end(), note) == scope->notes_.end())
      scope->notes_.push_back(note);
  }
}

}  // namespace tarnvex::pst::ndb
