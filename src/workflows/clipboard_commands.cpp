#include "workflows/clipboard_commands.h"

#include "encoding/gbk.h"
namespace pakeno {

void PressClear(WindowControls& window) {
  window.WriteText(EditBox::kAddress, {});
  window.WriteText(EditBox::kData, {});
  window.WriteText(EditBox::kReturn, {});
  window.ShowOutcome({}, false);
}

void PressCopy(WindowControls& window, EditBox box, Clipboard& clipboard, MessageBoxes& boxes) {
  // Confirming a copy that did not happen would tell the user a falsehood.
  if (!clipboard.SetText(window.ReadText(box))) {
    boxes.Show(Gbk("复制失败，剪贴板暂时无法使用！"), Gbk("错误"), MessageButtons::kOk, MessageIcon::kWarning);
    return;
  }
  boxes.Show(Gbk("已复制到剪贴板，可粘贴使用。"), Gbk("信息："), MessageButtons::kOk, MessageIcon::kNone);
}

}  // namespace pakeno
