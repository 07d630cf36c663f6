#include "tools/pstgen/pstgen_cli.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>

#include "platform/failure.h"
#include "pst/format.h"
#include "tools/pstwriter/damage.h"
#include "tools/pstwriter/generator.h"
#include "tools/pstwriter/json_store.h"
#include "tools/pstwriter/pst_writer.h"

namespace tarnvex::pstwriter {

namespace {

const char kUsage[] =
    "Usage:\n"
    "  tarnvex-pstgen --json FILE [--format F] --out PST [damage]\n"
    "  tarnvex-pstgen --generate N [--seed S] [--folders F] [--store NAME] [--no-photos]\n"
    "                 [--no-long-notes] [--format F] --out PST [damage]\n"
    "  tarnvex-pstgen --from PST --out PST damage\n"
    "  tarnvex-pstgen --help\n"
    "  --format F                 unicode, ansi, ost or ost2013: the file format (default:\n"
    "                             the JSON's \"format\", else unicode); an ANSI store keeps\n"
    "                             8-bit strings, an OST is an offline folders file of\n"
    "                             Outlook 2003 to 2010, ost2013 one of Outlook 2013 and later\n"
    "                             (4 KiB pages, compressed blocks)\n"
    "Damage (applied to the written file, or to the --from file):\n"
    "  --truncate OFFSET          keep only the first OFFSET bytes\n"
    "  --flip-bytes COUNT         change COUNT bytes at positions drawn from --seed\n"
    "  --flip-from OFFSET         draw those positions at or after OFFSET (default 0)\n"
    "  --duplicate-node NID|auto  list node NID twice in the node index (auto: the first\n"
    "                             folder after the root folder); check sums stay valid\n"
    "  --unlike                   with --duplicate-node: the second entry gives the node\n"
    "                             another parent\n"
    "  --folder-cycle NID|auto    make folder NID the subfolder of its first subfolder (auto:\n"
    "                             the first folder that has one); check sums stay valid\n"
    "  --orphan-message N         give the N-th message (modulo their count) a parent\n"
    "                             folder that does not exist; check sums stay valid\n"
    "  --drop-message-node N      remove the N-th message's node index entry; check sums\n"
    "                             stay valid\n"
    "  --misplace-block N         make the N-th block lie past the end of the file; check\n"
    "                             sums stay valid\n"
    "  --miscount-page N          make a node index leaf page count one entry more or one\n"
    "                             fewer (N picks page and direction); check sums stay valid\n"
    "Encoding (applied last):\n"
    "  --encode permute|cyclic    encode the data blocks as Outlook's compressible or high\n"
    "                             encryption does (NDB_CRYPT_PERMUTE, NDB_CRYPT_CYCLIC)\n";

struct Options {
  bool help = false;
  std::optional<std::string> json, from, out, storeName;
  std::optional<std::uint64_t> generate, truncate, flip;
  // 0: pick one.
  std::optional<std::uint32_t> duplicateNode, folderCycle;
  bool unlike = false;
  std::optional<std::uint8_t> encode;
  std::optional<StoreFormat> format;
  std::optional<std::uint64_t> orphanMessage, dropMessageNode, misplaceBlock, miscountPage;
  std::uint64_t seed = 1, flipFrom = 0;
  int folders = 1;
  bool photos = true, longNotes = true;
};

std::uint64_t Number(const std::string& option, const std::string& text) {
  std::size_t used = 0;
  std::uint64_t v = 0;
  try {
    v = std::stoull(text, &used, 0);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != text.size() || text.empty() || text[0] == '-') {
    throw std::invalid_argument(option + " needs a whole number, not \"" + text + "\".");
  }
  return v;
}

std::uint32_t NidOrAuto(const std::string& option, const std::string& text) {
  if (text == "auto")
    return 0;
  const std::uint64_t v = Number(option, text);
  if (v == 0 || v > 0xFFFFFFFFu)
    throw std::invalid_argument(option + " needs a node id or \"auto\", not \"" + text + "\".");
  return static_cast<std::uint32_t>(v);
}

std::uint8_t Encoding(const std::string& text) {
  if (text == "permute")
    return pst::format::kCryptPermute;
  if (text == "cyclic")
    return pst::format::kCryptCyclic;
  throw std::invalid_argument("--encode takes \"permute\" or \"cyclic\", not \"" + text + "\".");
}

StoreFormat FormatOf(const std::string& text) {
  if (const auto format = StoreFormatNamed(text))
    return *format;
  throw std::invalid_argument(std::string("--format takes ") + kStoreFormatNames + ", not \"" +
                              text + "\".");
}

std::string HexId(std::uint32_t id) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%X", id);
  return buf;
}

Options Parse(const std::vector<std::string>& args) {
  Options o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size())
        throw std::invalid_argument(a + " needs a value.");
      return args[++i];
    };
    if (a == "--json")
      o.json = value();
    else if (a == "--from")
      o.from = value();
    else if (a == "--out")
      o.out = value();
    else if (a == "--store")
      o.storeName = value();
    else if (a == "--generate")
      o.generate = Number(a, value());
    else if (a == "--seed")
      o.seed = Number(a, value());
    else if (a == "--folders")
      o.folders = static_cast<int>(Number(a, value()));
    else if (a == "--truncate")
      o.truncate = Number(a, value());
    else if (a == "--flip-bytes")
      o.flip = Number(a, value());
    else if (a == "--flip-from")
      o.flipFrom = Number(a, value());
    else if (a == "--duplicate-node")
      o.duplicateNode = NidOrAuto(a, value());
    else if (a == "--unlike")
      o.unlike = true;
    else if (a == "--folder-cycle")
      o.folderCycle = NidOrAuto(a, value());
    else if (a == "--orphan-message")
      o.orphanMessage = Number(a, value());
    else if (a == "--drop-message-node")
      o.dropMessageNode = Number(a, value());
    else if (a == "--misplace-block")
      o.misplaceBlock = Number(a, value());
    else if (a == "--miscount-page")
      o.miscountPage = Number(a, value());
    else if (a == "--encode")
      o.encode = Encoding(value());
    else if (a == "--format")
      o.format = FormatOf(value());
    else if (a == "--no-photos")
      o.photos = false;
    else if (a == "--no-long-notes")
      o.longNotes = false;
    else if (a == "--help" || a == "-h")
      o.help = true;
    else
      throw std::invalid_argument("Unknown option \"" + a + "\".");
  }
  if (o.help)
    return o;
  const int sources = (o.json ? 1 : 0) + (o.generate ? 1 : 0) + (o.from ? 1 : 0);
  if (sources != 1)
    throw std::invalid_argument("Give exactly one of --json, --generate, --from.");
  if (!o.out)
    throw std::invalid_argument("--out is missing.");
  if (o.from && !o.truncate && !o.flip && !o.duplicateNode && !o.folderCycle && !o.encode &&
      !o.orphanMessage && !o.dropMessageNode && !o.misplaceBlock && !o.miscountPage) {
    throw std::invalid_argument(
        "--from needs --truncate or --flip-bytes (or --duplicate-node, --folder-cycle, "
        "--orphan-message, --drop-message-node, --misplace-block, --miscount-page, --encode).");
  }
  if (o.from && o.format)
    throw std::invalid_argument("--format goes with --json or --generate, not --from.");
  if (o.generate && o.folders < 1)
    throw std::invalid_argument("--folders must be at least 1.");
  return o;
}

}  // namespace

int RunPstgen(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Options o;
  try {
    o = Parse(args);
  } catch (const std::invalid_argument& e) {
    err << "tarnvex-pstgen: " << e.what() << "\n" << kUsage;
    return 2;
  }
  if (o.help) {
    out << kUsage;
    return 0;
  }
  try {
    const auto start = std::chrono::steady_clock::now();
    std::string written = *o.out;
    if (!o.from) {
      Store store;
      if (o.json) {
        std::ifstream in(*o.json, std::ios::binary);
        if (!in)
          throw Failure("Cannot read \"" + *o.json + "\".");
        const std::string text(std::istreambuf_iterator<char>(in), {});
        const auto slash = o.json->rfind('/');
        store = StoreFromJson(text, slash == std::string::npos ? "." : o.json->substr(0, slash),
                              *o.json);
      } else {
        GeneratorOptions g;
        g.contacts = *o.generate;
        g.seed = o.seed;
        g.folders = o.folders;
        g.photos = o.photos;
        g.longNotes = o.longNotes;
        if (o.storeName)
          g.storeName = *o.storeName;
        store = GenerateStore(g);
      }
      if (o.format)
        store.format = *o.format;
      const WriteStats stats = WritePst(store, *o.out);
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      char line[200];
      std::snprintf(line, sizeof line, "Wrote %s: %llu folders, %llu items, %llu bytes in %.2f s\n",
                    o.out->c_str(), static_cast<unsigned long long>(stats.folders),
                    static_cast<unsigned long long>(stats.messages),
                    static_cast<unsigned long long>(stats.fileSize), seconds);
      out << line;
    } else {
      written = *o.from;
    }
    if (o.truncate) {
      WriteTruncatedCopy(written, *o.out, *o.truncate);
      written = *o.out;
      out << "Truncated " << *o.out << " to " << *o.truncate << " bytes\n";
    }
    if (o.flip) {
      WriteFlippedCopy(written, *o.out, *o.flip, o.seed, o.flipFrom);
      out << "Changed " << *o.flip << " bytes of " << *o.out << " (seed " << o.seed << ")\n";
      written = *o.out;
    }
    if (o.duplicateNode) {
      const std::uint32_t nid =
          WriteDuplicateNodeCopy(written, *o.out, *o.duplicateNode, !o.unlike);
      written = *o.out;
      out << "Listed node " << HexId(nid) << " twice in the node index of " << *o.out << "\n";
    }
    if (o.folderCycle) {
      const FolderCycle cycle = WriteFolderCycleCopy(written, *o.out, *o.folderCycle);
      written = *o.out;
      out << "Made folder " << HexId(cycle.folder) << " a subfolder of its subfolder "
          << HexId(cycle.subfolder) << " in " << *o.out << "\n";
    }
    if (o.orphanMessage) {
      std::uint32_t nid = 0;
      WriteDamagedCopy(written, *o.out,
                       [&](std::string& pst) { nid = OrphanMessage(pst, *o.orphanMessage); });
      written = *o.out;
      out << "Gave message " << HexId(nid) << " a parent folder that does not exist in " << *o.out
          << "\n";
    }
    if (o.dropMessageNode) {
      std::uint32_t nid = 0;
      WriteDamagedCopy(written, *o.out,
                       [&](std::string& pst) { nid = DropMessageNode(pst, *o.dropMessageNode); });
      written = *o.out;
      out << "Removed message " << HexId(nid) << " from the node index of " << *o.out << "\n";
    }
    if (o.misplaceBlock) {
      std::uint64_t bid = 0;
      WriteDamagedCopy(written, *o.out,
                       [&](std::string& pst) { bid = MisplaceBlock(pst, *o.misplaceBlock); });
      written = *o.out;
      out << "Moved block " << HexId(static_cast<std::uint32_t>(bid))
          << " past the end of the file in " << *o.out << "\n";
    }
    if (o.miscountPage) {
      std::uint32_t count = 0;
      WriteDamagedCopy(written, *o.out,
                       [&](std::string& pst) { count = MiscountNodePage(pst, *o.miscountPage); });
      written = *o.out;
      out << "Gave a node index page of " << *o.out << " the count " << count << "\n";
    }
    if (o.encode) {
      WriteEncodedCopy(written, *o.out, *o.encode);
      out << "Encoded the data blocks of " << *o.out << " ("
          << (*o.encode == pst::format::kCryptPermute ? "permute" : "cyclic") << ")\n";
    }
    return 0;
  } catch (const std::exception& e) {
    err << "tarnvex-pstgen: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace tarnvex::pstwriter
