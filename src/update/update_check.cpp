#include "update/update_check.h"

#include "encoding/convert.h"
#include "encoding/gbk.h"

namespace pakeno {

Text CheckForUpdate(const Text& pageAddress, int ownVersion, bool reportFailure, UpdateServices& services) {
  if (!services.isInternetConnected()) {
    if (reportFailure) {
      services.boxes.Show(Gbk("更新失败，请检查网络是否正常！"), Gbk("更新失败"), MessageButtons::kOk,
                          MessageIcon::kNone);
    }
    return {};
  }
  const Text page = BytesToText(ConvertEncoding(services.download(pageAddress), "UTF-8", "GB18030"));
  const std::optional<Announcement> announcement = ParseUpdatePage(page);
  // A version text of fewer than three parts announces nothing; a newer
  // version without an address offers nothing to open.
  if (!announcement || ownVersion >= announcement->version || announcement->address.empty()) return {};

  const MessageAnswer answer = services.boxes.Show(Gbk("已发现新版本，是否升级？"), Gbk("发现新版本"),
                                                   MessageButtons::kYesNo, MessageIcon::kNone);
  if (answer == MessageAnswer::kYes && IsSafeToOpen(announcement->address))
    services.browser.Open(announcement->address);
  return announcement->address;
}

}  // namespace pakeno
