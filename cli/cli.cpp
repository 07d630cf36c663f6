#include "cli/cli.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <utility>

#include "cli/console.h"
#include "export/export_run.h"
#include "platform/failure.h"
#include "platform/standin/profile.h"
#include "product/product.h"

namespace tarnvex::cli {
namespace {

constexpr int kExitDone = 0;
constexpr int kExitDoneWithFailures = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNotExported = 3;

constexpr std::string_view kUsage =
    "Usage: tarnvex-export (--pst FILE | --default-contacts) --out DIR [options]\n"
    "       tarnvex-export --set-default-store FILE\n"
    "\n"
    "Exports Outlook contacts into vCard files: one .vcf file per contact, named after\n"
    "its file-as text, written into DIR.\n"
    "\n"
    "  --pst FILE               export the contacts of this PST or OST file\n"
    "  --default-contacts       export the Contacts folder of the default store\n"
    "  --out DIR                write the cards into this existing folder\n"
    "  --vcard-version V        2.1 (default, as Outlook writes it), 3.0 or 4.0\n"
    "  --pst-password-file FILE the password of a protected PST file, the first line of\n"
    "                           FILE; else $TARNVEX_PST_PASSWORD, else it is asked for on\n"
    "                           the terminal when a protected file is met\n"
    "  --pst-password PASSWORD  the same on the command line, where every user of the\n"
    "                           machine can see it (ps, /proc) and the shell keeps it\n"
    "  --codepage CP            the Windows code page (such as 1251 or 932) of 8-bit text\n"
    "                           that the file does not name one for (default: the profile's\n"
    "                           Codepage key, else 1252)\n"
    "  --charset CHARSET        the text of 2.1 cards: utf-8 (default: the profile's Charset\n"
    "                           key, else utf-8) or outlook (each contact's Windows code\n"
    "                           page, as Outlook writes it)\n"
    "                           (Outlook writes 2.1 in each contact's code page and asks\n"
    "                           for passwords itself: it takes none of the options above\n"
    "                           from --vcard-version on but their defaults, and --charset\n"
    "                           outlook)\n"
    "  --include-deleted        export the contacts in Deleted Items too\n"
    "  --quiet                  show no progress bar\n"
    "  --no-outlook             read the PST file (or the profile's default store) with the\n"
    "                           program's own reader instead of Outlook, for a PST without\n"
    "                           Outlook (Windows; on Linux the own reader is always used)\n"
    "  --set-default-store FILE make FILE the default store of the profile\n"
    "                           ($TARNVEX_OUTLOOK_PROFILE, else ~/.config/tarnvex/profile.ini)\n"
    "  --help                   show this help and exit\n"
    "  --version                show the version and exit\n"
    "\n"
    "Exit status: 0 every card written; 1 done, with failures reported; 2 bad usage;\n"
    "3 nothing exported (the message says why).\n";

struct Options {
  bool help = false;
  bool version = false;
  bool quiet = false;
  bool defaultContacts = false;
  bool includeDeleted = false;
  std::optional<std::string> pstFile;
  std::optional<std::string> outFolder;
  std::optional<std::string> defaultStore;
  std::optional<std::string> passwordFile;
  OutlookOptions outlook;
};

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::optional<VCardVersion> ParseVCardVersion(const std::string& text) {
  if (text == "2.1")
    return VCardVersion::k21;
  if (text == "3.0")
    return VCardVersion::k30;
  if (text == "4.0")
    return VCardVersion::k40;
  return std::nullopt;
}

// A Windows code page number: 1 to 65535, digits alone or after "CP".
std::optional<uint32_t> ParseCodePage(std::string text) {
  if (text.size() > 2 && (text[0] == 'C' || text[0] == 'c') && (text[1] == 'P' || text[1] == 'p'))
    text.erase(0, 2);
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  const unsigned long n = std::stoul(text);
  if (n == 0 || n > 65535)
    return std::nullopt;
  return static_cast<uint32_t>(n);
}

// Takes "--name value" and "--name=value".
class ArgumentReader {
 public:
  explicit ArgumentReader(const std::vector<std::string>& args) : args_(args) {}

  bool Done() const { return next_ >= args_.size(); }

  // The option name of the next argument, with any "=value" split off.
  std::string NextName() {
    const std::string& arg = args_[next_++];
    const auto equals = arg.find('=');
    if (arg.starts_with("--") && equals != std::string::npos) {
      inlineValue_ = arg.substr(equals + 1);
      return arg.substr(0, equals);
    }
    inlineValue_.reset();
    return arg;
  }

  std::string Value(const std::string& name) {
    if (inlineValue_)
      return *std::exchange(inlineValue_, std::nullopt);
    if (Done())
      throw UsageError(name + " needs a value");
    return args_[next_++];
  }

  void NoValue(const std::string& name) const {
    if (inlineValue_)
      throw UsageError(name + " takes no value");
  }

 private:
  const std::vector<std::string>& args_;
  std::size_t next_ = 0;
  std::optional<std::string> inlineValue_;
};

void SetOnce(std::optional<std::string>& option, const std::string& name, std::string value) {
  if (option)
    throw UsageError(name + " is given twice");
  option = std::move(value);
}

Options Parse(const std::vector<std::string>& args) {
  Options options;
  ArgumentReader reader(args);
  while (!reader.Done()) {
    const std::string name = reader.NextName();
    if (name == "--pst") {
      SetOnce(options.pstFile, name, reader.Value(name));
    } else if (name == "--out") {
      SetOnce(options.outFolder, name, reader.Value(name));
    } else if (name == "--set-default-store") {
      SetOnce(options.defaultStore, name, reader.Value(name));
    } else if (name == "--pst-password") {
      options.outlook.password = reader.Value(name);
    } else if (name == "--pst-password-file") {
      SetOnce(options.passwordFile, name, reader.Value(name));
    } else if (name == "--codepage") {
      const std::string value = reader.Value(name);
      const auto codePage = ParseCodePage(value);
      if (!codePage)
        throw UsageError("\"" + value + "\" is not a code page number (such as 1252)");
      options.outlook.codePage = *codePage;
    } else if (name == "--charset") {
      const std::string value = reader.Value(name);
      const auto charset = standin::ParseCharset(value);
      if (!charset)
        throw UsageError("unknown charset \"" + value + "\" (utf-8 or outlook)");
      options.outlook.charset = *charset;
    } else if (name == "--vcard-version") {
      const std::string value = reader.Value(name);
      const auto version = ParseVCardVersion(value);
      if (!version)
        throw UsageError("unknown vCard version \"" + value + "\" (2.1, 3.0 or 4.0)");
      options.outlook.vcardVersion = *version;
    } else {
      reader.NoValue(name);
      if (name == "--default-contacts") {
        options.defaultContacts = true;
      } else if (name == "--quiet") {
        options.quiet = true;
      } else if (name == "--include-deleted") {
        options.includeDeleted = true;
      } else if (name == "--no-outlook") {
        options.outlook.noOutlook = true;
      } else if (name == "--help" || name == "-h") {
        options.help = true;
      } else if (name == "--version") {
        options.version = true;
      } else {
        throw UsageError("unknown argument \"" + name + "\"");
      }
    }
  }
  return options;
}

void CheckExportOptions(const Options& options) {
  if (options.pstFile && options.defaultContacts) {
    throw UsageError("give either --pst or --default-contacts, not both");
  }
  if (!options.pstFile && !options.defaultContacts) {
    throw UsageError("give --pst FILE or --default-contacts");
  }
  if (!options.outFolder)
    throw UsageError("give the output folder with --out DIR");
  if (options.outlook.password && options.passwordFile)
    throw UsageError("give --pst-password or --pst-password-file, not both");
  if (options.outlook.charset == vcard::Charset::kOutlook &&
      options.outlook.vcardVersion != VCardVersion::k21) {
    throw UsageError("--charset outlook is a form of vCard 2.1; 3.0 and 4.0 are always UTF-8");
  }
}

int SetDefaultStore(Environment& environment, const std::string& store, std::ostream& out,
                    std::ostream& err) {
  try {
    const std::string profile = environment.SetDefaultStore(store);
    out << "Default store: " << store << " (profile " << profile << ")\n";
    return kExitDone;
  } catch (const std::exception& failure) {
    err << "tarnvex-export: " << failure.what() << "\n";
    return kExitNotExported;
  }
}

// The first line of the password file, without its line end.
std::string ReadPasswordFile(const std::string& path) {
  // The path is UTF-8 on every system; Windows needs it as such to open the file.
  std::ifstream in(std::filesystem::path(std::u8string(path.begin(), path.end())),
                   std::ios::binary);
  std::string line;
  if (!in || (!std::getline(in, line) && !in.eof()))
    throw Failure("Cannot read the password file \"" + path + "\".");
  if (!line.empty() && line.back() == '\r')
    line.pop_back();
  return line;
}

int Export(const Options& options, Environment& environment, std::ostream& out, std::ostream& err) {
  OutlookOptions outlookOptions = options.outlook;
  if (options.passwordFile) {
    try {
      outlookOptions.password = ReadPasswordFile(*options.passwordFile);
    } catch (const Failure& failure) {
      err << "tarnvex-export: " << failure.description() << "\n";
      return kExitNotExported;
    }
  }
  outlookOptions.askPassword = [&environment](const std::string& store) {
    if (auto variable = environment.Variable("TARNVEX_PST_PASSWORD");
        variable && !variable->empty())
      return variable;
    return environment.AskSecret("Password of \"" + store + "\": ");
  };
  outlookOptions.warn = [&err](const std::string& warning) {
    err << "tarnvex-export: warning: " << warning << "\n";
  };
  outlookOptions.source =
      options.pstFile ? ContactSource::kPstFile : ContactSource::kDefaultContacts;
  std::unique_ptr<OutlookAutomation> outlook;
  try {
    outlook = environment.MakeOutlook(outlookOptions);
  } catch (const Failure& failure) {
    err << "tarnvex-export: " << failure.description() << "\n";
    return kExitNotExported;
  }
  ConsoleView view(options.defaultContacts, options.pstFile.value_or(""), *options.outFolder);
  const bool showProgress = !options.quiet && environment.ErrorIsTerminal();
  ConsoleProgress progress(err);
  ConsoleMessageBoxes boxes(out, err, showProgress ? &progress : nullptr);
  NoSleep noPauses;
  const ExportServices services{*outlook,
                                environment.Files(),
                                boxes,
                                noPauses,
                                std::string(product::kName),
                                showProgress ? &progress : nullptr,
                                options.includeDeleted};

  const ExportSummary summary = PushButton3_Click(view, services);

  const bool done = summary.closingMessage == kMsgDone;
  if (done) {
    out << summary.cardsWritten << (summary.cardsWritten == 1 ? " card" : " cards") << " written, "
        << summary.itemsPassedOver << (summary.itemsPassedOver == 1 ? " item" : " items")
        << " passed over, " << summary.failures
        << (summary.failures == 1 ? " failure" : " failures") << "\n";
  }
  if (const int deleted = summary.contactsInDeletedItems; deleted > 0) {
    out << deleted << (deleted == 1 ? " contact" : " contacts") << " in Deleted Items "
        << (deleted == 1 ? "was" : "were") << " not exported; --include-deleted exports "
        << (deleted == 1 ? "it" : "them") << " too\n";
  }
  if (!done)
    return kExitNotExported;
  return summary.failures == 0 ? kExitDone : kExitDoneWithFailures;
}

}  // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        Environment& environment) {
  try {
    const Options options = Parse(args);
    if (options.help) {
      out << kUsage;
      return kExitDone;
    }
    if (options.version) {
      out << "tarnvex-export " << product::kVersion << "\n";
      return kExitDone;
    }
    if (options.defaultStore) {
      if (options.pstFile || options.defaultContacts || options.outFolder) {
        throw UsageError("--set-default-store goes alone");
      }
      return SetDefaultStore(environment, *options.defaultStore, out, err);
    }
    CheckExportOptions(options);
    return Export(options, environment, out, err);
  } catch (const UsageError& error) {
    err << "tarnvex-export: " << error.what() << "\n\n" << kUsage;
    return kExitUsage;
  }
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  return Run(args, out, err, *MachineEnvironment());
}

}  // namespace tarnvex::cli
