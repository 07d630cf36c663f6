#include "app/start_up.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>

#include "platform/failure.h"
#include "product/product.h"
#include "text/case.h"

namespace tarnvex {

std::string AppTitleFrom(std::string_view productName) {
  std::string title(productName);
  do {
    const auto space = title.rfind(' ');
    // Cutting before a space that is not there is the language's invalid call.
    if (space == std::string::npos)
      throw Failure("Invalid procedure call or argument");
    title.resize(space);
  } while (title.size() > 40);
  return title;
}

void SetAppTitle(WindowServices& window) {
  window.SetAppTitle(AppTitleFrom(product::kName));
}

std::string HomePageCommandLine() {
  return "explorer \"" + std::string(product::kHomePage) + "\"";
}

void OpenHomePageAtRandom(Clock& clock, RandomSource& random, ProcessStarter& processes) {
  random.Seed(clock.SecondsSinceMidnight());
  const int n = static_cast<int>(std::floor(random.Next() * 100)) + 1;
  if (n == 7)
    processes.Start(HomePageCommandLine(), WindowState::kMinimizedFocus);
}

namespace {

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
    text.remove_suffix(1);
  return text;
}

}  // namespace

bool ReadTruthValue(std::string_view text) {
  const std::string_view word = TrimBlanks(text);
  if (text::EqualsIgnoringAsciiCase(word, "true"))
    return true;
  if (text::EqualsIgnoringAsciiCase(word, "false"))
    return false;
  if (!word.empty()) {
    const std::string number(word);
    char* end = nullptr;
    const double value = std::strtod(number.c_str(), &end);
    // strtod also reads "inf" and "nan", which are no numbers here.
    const bool digits = number.find_first_of("0123456789") != std::string::npos;
    if (end == number.c_str() + number.size() && digits && std::isfinite(value)) {
      return value != 0;
    }
  }
  throw Failure("Type mismatch");
}

}  // namespace tarnvex
