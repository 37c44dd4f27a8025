#include "update/update_check.h"

#include "encoding/convert.h"
#include "encoding/gbk.h"
#include "http/failure_log.h"
#include "update/download.h"

namespace pakeno {
namespace {

// The length of `bytes` without a UTF-8 character cut off at its end.
size_t WithoutACutCharacter(std::string_view bytes) {
  size_t start = bytes.size();
  while (start > 0 && bytes.size() - start < 4 && (static_cast<unsigned char>(bytes[start - 1]) & 0xC0) == 0x80)
    --start;
  if (start == 0) return bytes.size();
  const auto lead = static_cast<unsigned char>(bytes[start - 1]);
  const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  return bytes.size() - (start - 1) < length ? start - 1 : bytes.size();
}

}  // namespace

Text CheckForUpdate(const Text& pageAddress, std::string_view ownVersion, bool reportFailure,
                    UpdateServices& services) {
  if (!services.isInternetConnected()) {
    if (reportFailure) {
      services.boxes.Show(Gbk("更新失败，请检查网络是否正常！"), Gbk("更新失败"), MessageButtons::kOk,
                          MessageIcon::kNone);
    }
    return {};
  }
  // Whatever keeps an announcement from being offered says why: nothing
  // about the update check is silent but "no newer version".
  auto notOffered = [&](std::string_view why) {
    LogFailedRequest("GET", pageAddress, std::string("no update offered: ") + std::string(why));
    return Text();
  };
  Bytes bytes = services.download(pageAddress);
  if (bytes.empty()) return notOffered("the update page is empty or could not be read");
  if (bytes.size() >= kMaxUpdatePageBytes) {
    bytes.resize(WithoutACutCharacter(bytes));
    LogFailedRequest("GET", pageAddress, "the update page is longer than 4 MiB: only its first 4 MiB were read");
  }
  bool converted = false;
  const Bytes page = ConvertEncoding(bytes, "UTF-8", "GB18030", &converted);
  if (!converted) return notOffered("the update page is not valid UTF-8");
  const Text text = BytesToText(page);
  const std::optional<Announcement> announcement = ParseUpdatePage(text);
  if (!announcement) {
    return notOffered(text.size() < page.size() && ParseUpdatePage(page)
                          ? "the update page holds a NUL byte before its announcement"
                          : "the update page announces no version of three parts");
  }
  if (ParseVersion(ownVersion).value_or(Version{}) >= announcement->version) return {};
  if (announcement->address.empty()) return notOffered("the announcement names no download address");
  if (const std::string why = WhyNotToOpen(announcement->address); !why.empty()) return notOffered(why);

  const MessageAnswer answer = services.boxes.Show(Gbk("已发现新版本，是否升级？"), Gbk("发现新版本"),
                                                   MessageButtons::kYesNo, MessageIcon::kNone);
  if (answer == MessageAnswer::kYes) services.browser.Open(announcement->address);
  return announcement->address;
}

}  // namespace pakeno
