#include "workflows/outcome_line.h"

#include <string>

#include "encoding/gbk.h"

namespace pakeno {
namespace {

using transport::FailureKind;

// "5,234": the groups a reader of sizes expects.
std::string Grouped(uint64_t number) {
  std::string digits = std::to_string(number);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<size_t>(at), ",");
  return digits;
}

// The server's reason phrase as it may stand in one short line: control
// bytes out, cut on a character's boundary so a GBK pair is never split.
Text ShortPhrase(std::string_view phrase) {
  constexpr size_t kMaxBytes = 32;
  Text shown;
  for (size_t i = 0; i < phrase.size();) {
    const auto c = static_cast<unsigned char>(phrase[i]);
    const size_t length = c >= 0x80 && i + 1 < phrase.size() ? 2 : 1;
    if (shown.size() + length > kMaxBytes) return shown + "...";
    if (c < 0x20 || c == 0x7F) {
      shown += ' ';
    } else {
      shown.append(phrase.substr(i, length));
    }
    i += length;
  }
  return shown;
}

}  // namespace

Text FailureSentence(FailureKind kind) {
  switch (kind) {
    case FailureKind::kNone:
      return {};
    case FailureKind::kNoSession:
      return Gbk("无法建立 HTTP 会话");
    case FailureKind::kNoServer:
      return Gbk("地址中没有服务器名");
    case FailureKind::kServerName:
      return Gbk("服务器名中有空格、控制字符或 @ ? # / \\");
    case FailureKind::kSchemeAsServer:
      return Gbk("服务器名不能是 http 或 https，协议名后少了“//”");
    case FailureKind::kColons:
      return Gbk("地址中服务器名后的冒号多于一个");
    case FailureKind::kPortInHttps:
      return Gbk("https 地址不能带端口");
    case FailureKind::kWrongScheme:
      return Gbk("地址的协议与选中的地址类型不符");
    case FailureKind::kTargetCharacters:
      return Gbk("地址中有空格或控制字符");
    case FailureKind::kTargetTooLong:
      return Gbk("地址太长");
    case FailureKind::kHeaderLine:
      return Gbk("请求头中有换行或空字节");
    case FailureKind::kMethod:
      return Gbk("请求方法只能是 GET 或 POST");
    case FailureKind::kResolve:
      return Gbk("无法解析服务器名");
    case FailureKind::kConnect:
      return Gbk("无法连接服务器，连接被拒绝");
    case FailureKind::kTimeout:
      return Gbk("服务器超时未回应");
    case FailureKind::kCertUntrusted:
      return Gbk("服务器证书不受信任");
    case FailureKind::kCertExpired:
      return Gbk("服务器证书已过期或尚未生效");
    case FailureKind::kCertName:
      return Gbk("服务器证书不是颁发给这个服务器名的");
    case FailureKind::kCertClient:
      return Gbk("服务器要求客户端证书");
    case FailureKind::kCertRevocation:
      return Gbk("无法检查服务器证书是否已吊销");
    case FailureKind::kTls:
      return Gbk("无法建立安全连接");
    case FailureKind::kDropped:
      return Gbk("服务器未完整回应就断开了连接");
    case FailureKind::kProxy:
      return Gbk("代理服务器无法连接或拒绝了请求");
    case FailureKind::kRedirectToHttp:
      return Gbk("拒绝从 https 重定向到不加密的 http");
    case FailureKind::kTooManyRedirects:
      return Gbk("重定向次数过多");
    case FailureKind::kCutShort:
      return Gbk("回应不完整，连接提前断开");
    case FailureKind::kMalformed:
      return Gbk("服务器的回应格式有误");
    case FailureKind::kMemory:
      return Gbk("内存不足，装不下回应");
    case FailureKind::kTooLargeToShow:
      return Gbk("回应太大，无法显示");
    case FailureKind::kOther:
      break;
  }
  return Gbk("请求失败");
}

OutcomeLine DescribeOutcome(const RequestOutcome& outcome, std::chrono::milliseconds elapsed) {
  if (outcome.failure) return {Gbk("发送失败：") + FailureSentence(outcome.failure.kind), true};
  const transport::ResponseSummary& response = outcome.response;
  if (response.status == 0) return {Gbk("发送失败：") + FailureSentence(FailureKind::kOther), true};
  std::string line;
  if (response.redirects == 1) {
    line = std::to_string(response.firstStatus) + Gbk(" → ");
  } else if (response.redirects > 1) {
    line = std::to_string(response.redirects) + Gbk(" 次重定向 → ");
  }
  line += std::to_string(response.status);
  if (const Text phrase = ShortPhrase(response.reasonPhrase); !phrase.empty()) line += " " + phrase;
  line += Gbk(" · ") + Grouped(outcome.bodyBytes) + Gbk(" 字节 · ") + Grouped(static_cast<uint64_t>(elapsed.count())) +
          Gbk(" 毫秒");
  return {line, response.status >= 400};
}

}  // namespace pakeno
