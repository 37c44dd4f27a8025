// The update page, from downloaded bytes to the address the browser may get.
#include <cstdlib>
#include <string_view>

#include "encoding/gbk.h"
#include "update/page_parsing.h"
#include "update/update_check.h"

namespace {

class Boxes : public pakeno::MessageBoxes {
 public:
  pakeno::MessageAnswer Show(const pakeno::Text&, const pakeno::Text&, pakeno::MessageButtons,
                             pakeno::MessageIcon) override {
    return pakeno::MessageAnswer::kYes;
  }
};

class OpeningBrowser : public pakeno::Browser {
 public:
  void Open(const pakeno::Text& address) override {
    if (!pakeno::IsSafeToOpen(address)) std::abort();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  using namespace pakeno;

  const Text between = TextBetween(input, "<", ">");
  if (between.size() > input.size()) std::abort();
  ReadVersionNumber(input);
  ParseUpdatePage(input);

  Boxes boxes;
  OpeningBrowser browser;
  UpdateServices services{boxes, browser, [] { return true; }, [&](const Text&) { return Bytes(input); }};
  const Text result = CheckForUpdate("http://page/", "1.0.0", false, services);
  if (result.size() > input.size()) std::abort();
  return 0;
}
