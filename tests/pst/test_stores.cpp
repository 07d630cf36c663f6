#include "tests/pst/test_stores.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/sandbox/sandbox.h"
#include "tools/pstwriter/generator.h"
#include "tools/pstwriter/pst_writer.h"

namespace tarnvex::pst::testing {

std::string Written(const pstwriter::Store& store) {
  const tarnvex::testing::Sandbox sandbox;
  const std::string path = sandbox / "store.pst";
  pstwriter::WritePst(store, path);
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::shared_ptr<const ByteSource> Source(std::string bytes) {
  return std::make_shared<MemoryByteSource>("store.pst", std::move(bytes));
}

pstwriter::Store SmallStore(int contacts, std::size_t longNote) {
  auto store = pstwriter::Store::WithStandardFolders("Test Store");
  auto& folder = *store.Contacts();
  for (int i = 1; i <= contacts; ++i) {
    auto& m = folder.AddMessage("IPM.Contact");
    m.props.SetString("PidLidFileUnder", "Contact " + std::to_string(i));
    m.props.SetString("PidTagDisplayName", "Contact " + std::to_string(i));
    if (i == 1) {
      m.props.SetString("PidTagBody", std::string(longNote, 'n'));
      m.SetContactPhoto(pstwriter::TinyJpeg(1));
    }
  }
  auto& friends = folder.AddFolder("Friends", "IPF.Contact");
  friends.AddMessage("IPM.Contact").props.SetString("PidLidFileUnder", "Friend");
  return store;
}

}  // namespace tarnvex::pst::testing
