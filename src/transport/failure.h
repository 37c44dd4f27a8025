#pragma once

// Why a request failed: a class the window can tell the user in words of
// its own, and the detail in English for the failure line.

#include <string>

namespace pakeno::transport {

enum class FailureKind {
  kNone,
  kNoSession,         // the session could not be opened
  kNoServer,          // the address names no server
  kServerName,        // the server name holds what no name can
  kSchemeAsServer,    // the server would be "http" or "https": a scheme typed wrong
  kColons,            // more than one ":" after the server
  kPortInHttps,       // an https address that names a port (or another scheme)
  kWrongScheme,       // an https address sent as http, or the other way round
  kTargetCharacters,  // a blank or a control byte in the request target
  kTargetTooLong,     // the request target is over the limit
  kHeaderLine,        // a header line that would break the request
  kMethod,            // neither GET nor POST
  kResolve,           // the server's name did not resolve
  kConnect,           // the server refused or could not be reached
  kTimeout,           // the server (or the whole request) took too long
  kCertUntrusted,     // the certificate's issuer is not trusted
  kCertExpired,       // the certificate has expired or is not valid yet
  kCertName,          // the certificate is for another name
  kCertClient,        // the server asked for a client certificate
  kCertRevocation,    // the certificate's revocation could not be checked
  kTls,               // the secure connection failed otherwise
  kDropped,           // the connection ended before a whole answer came
  kProxy,             // the proxy could not be reached or refused the request
  kRedirectToHttp,    // a redirect from https to plain http
  kTooManyRedirects,  // a redirect chain too long, or a loop
  kCutShort,          // the body ended before its announced end
  kMalformed,         // a response the tool will not read
  kMemory,            // not enough memory for the response
  kTooLargeToShow,    // more than the return box can be given
  kOther,
};

struct Failure {
  FailureKind kind = FailureKind::kNone;
  std::string reason;  // in English, for the failure line

  explicit operator bool() const { return kind != FailureKind::kNone; }
};

}  // namespace pakeno::transport
