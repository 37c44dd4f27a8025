#include "transport/wininet/wininet_errors.h"

// After windows.h, whose types it uses.
#include <wininet.h>

#include <string>

namespace pakeno::transport {

Failure WinInetFailure(DWORD code, bool throughProxy) {
  struct Meaning {
    FailureKind kind;
    const char* what;
  };
  auto meaning = [&]() -> Meaning {
    const FailureKind unreachable = throughProxy ? FailureKind::kProxy : FailureKind::kConnect;
    switch (code) {
      case ERROR_INTERNET_TIMEOUT:
        return {FailureKind::kTimeout, "the operation timed out"};
      case ERROR_INTERNET_NAME_NOT_RESOLVED:
        return {throughProxy ? FailureKind::kProxy : FailureKind::kResolve, "the server name could not be resolved"};
      case ERROR_INTERNET_CANNOT_CONNECT:
        return {unreachable, "the connection to the server could not be made"};
      case ERROR_INTERNET_CONNECTION_ABORTED:
        return {FailureKind::kDropped, "the connection was aborted"};
      case ERROR_INTERNET_CONNECTION_RESET:
        return {FailureKind::kDropped, "the connection was reset"};
      case ERROR_HTTP_INVALID_SERVER_RESPONSE:
        return {FailureKind::kMalformed, "the server's response could not be read"};
      case ERROR_INTERNET_INVALID_CA:
        return {FailureKind::kCertUntrusted, "the server's certificate comes from an authority not trusted"};
      case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
        return {FailureKind::kCertExpired, "the server's certificate has expired or is not valid yet"};
      case ERROR_INTERNET_SEC_CERT_CN_INVALID:
        return {FailureKind::kCertName, "the server's certificate is for another name"};
      case ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED:
        return {FailureKind::kCertClient, "the server asks for a client certificate"};
      case ERROR_INTERNET_SEC_CERT_REV_FAILED:
        return {FailureKind::kCertRevocation, "whether the server's certificate was revoked could not be checked"};
      case ERROR_INTERNET_SEC_CERT_ERRORS:
      case ERROR_INTERNET_SEC_CERT_REVOKED:
      case ERROR_INTERNET_SEC_INVALID_CERT:
        return {FailureKind::kCertUntrusted, "the server's certificate was not accepted"};
      case ERROR_INTERNET_SECURITY_CHANNEL_ERROR:
        return {FailureKind::kTls, "the secure connection could not be made"};
      default:
        return {FailureKind::kOther, "the request failed"};
    }
  };
  const Meaning m = meaning();
  return {m.kind, "WinINet error " + std::to_string(code) + ": " + m.what};
}

}  // namespace pakeno::transport
