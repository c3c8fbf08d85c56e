#include <windows.h>
#include <wincrypt.h>
#include <winhttp.h>

#include <fstream>
#include <iterator>
#include <mutex>

#include "AbortSignal.h"
#include "AbortableCall.h"
#include "ServiceClient.h"
#include "WindowsText.h"

namespace {

// A WinHTTP handle closed when it goes.
struct Handle {
  HINTERNET value = nullptr;
  Handle() = default;
  explicit Handle(HINTERNET h) : value(h) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (value) WinHttpCloseHandle(value);
  }
};

struct UrlParts {
  std::wstring host;
  INTERNET_PORT port = INTERNET_DEFAULT_HTTPS_PORT;
};

bool crack(const std::string& url, UrlParts& parts) {
  const std::wstring text = CMNC::windowstext::wide(url);
  URL_COMPONENTS components{};
  components.dwStructSize = sizeof(components);
  components.dwHostNameLength = static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(text.c_str(), 0, 0, &components) || components.nScheme != INTERNET_SCHEME_HTTPS) return false;
  parts.host.assign(components.lpszHostName, components.dwHostNameLength);
  parts.port = components.nPort;
  return true;
}

// The one certificate the station trusts, from its PEM or DER file.
PCCERT_CONTEXT readPinned(const std::string& path, std::string& error) {
  std::ifstream file(CMNC::windowstext::wide(path).c_str(), std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(file)), {});
  if (!file && bytes.empty()) return error = "Cannot read the certificate file " + path + ".", nullptr;
  std::string der = bytes;
  if (bytes.find("-----BEGIN") != std::string::npos) {
    DWORD size = 0;
    if (!CryptStringToBinaryA(bytes.c_str(), static_cast<DWORD>(bytes.size()), CRYPT_STRING_BASE64HEADER, nullptr, &size,
                              nullptr, nullptr))
      return error = "The certificate file " + path + " holds no certificate.", nullptr;
    der.assign(size, '\0');
    CryptStringToBinaryA(bytes.c_str(), static_cast<DWORD>(bytes.size()), CRYPT_STRING_BASE64HEADER,
                         reinterpret_cast<BYTE*>(der.data()), &size, nullptr, nullptr);
    der.resize(size);
  }
  PCCERT_CONTEXT cert = CertCreateCertificateContext(X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                                     static_cast<DWORD>(der.size()));
  if (!cert) error = "The certificate file " + path + " holds no certificate this station can read.";
  return cert;
}

// Whether the service's certificate chains up to the pinned certificate (or is it) and names host:
// its chain built with the pinned certificate at hand, its root that certificate, and the TLS
// policy met in every other respect.
bool chainsToPinned(PCCERT_CONTEXT server, PCCERT_CONTEXT pinned, const std::wstring& host) {
  HCERTSTORE extra = CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr);
  if (!extra) return false;
  CertAddCertificateContextToStore(extra, pinned, CERT_STORE_ADD_ALWAYS, nullptr);
  if (server->hCertStore) {
    PCCERT_CONTEXT sent = nullptr;
    while ((sent = CertEnumCertificatesInStore(server->hCertStore, sent)) != nullptr)
      CertAddCertificateContextToStore(extra, sent, CERT_STORE_ADD_USE_EXISTING, nullptr);
  }
  CERT_CHAIN_PARA para{};
  para.cbSize = sizeof(para);
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  bool ok = CertGetCertificateChain(nullptr, server, nullptr, extra, &para, 0, nullptr, &chain) && chain &&
            chain->cChain > 0 && chain->rgpChain[0]->cElement > 0;
  if (ok) {
    const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
    PCCERT_CONTEXT root = simple->rgpElement[simple->cElement - 1]->pCertContext;
    ok = CertCompareCertificate(X509_ASN_ENCODING, root->pCertInfo, pinned->pCertInfo) != FALSE;
  }
  if (ok) {
    // The root is the pinned one, which the system need not trust: that alone is forgiven.
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof(ssl);
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.fdwChecks = SECURITY_FLAG_IGNORE_UNKNOWN_CA;
    ssl.pwszServerName = const_cast<wchar_t*>(host.c_str());
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof(policy);
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof(status);
    ok = CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status) && status.dwError == 0;
  }
  if (chain) CertFreeCertificateChain(chain);
  CertCloseStore(extra, 0);
  return ok;
}

// What a request's status callback checks: the service's certificate, before the request (and
// its token) is sent.
struct Check {
  PCCERT_CONTEXT pinned = nullptr;
  std::wstring host;
  bool refused = false;
};

void CALLBACK onStatus(HINTERNET request, DWORD_PTR context, DWORD status, LPVOID, DWORD) {
  auto* check = reinterpret_cast<Check*>(context);
  if (status != WINHTTP_CALLBACK_STATUS_SENDING_REQUEST || !check || !check->pinned) return;
  PCCERT_CONTEXT server = nullptr;
  DWORD size = sizeof(server);
  if (!WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &server, &size) || !server ||
      !chainsToPinned(server, check->pinned, check->host)) {
    check->refused = true;
    // The request ends here: nothing of it, its token least of all, goes to that service.
    WinHttpCloseHandle(request);
  }
  if (server) CertFreeCertificateContext(server);
}

bool certificateError(DWORD code) {
  return code == ERROR_WINHTTP_SECURE_FAILURE || code == ERROR_WINHTTP_SECURE_INVALID_CA ||
         code == ERROR_WINHTTP_SECURE_CERT_CN_INVALID || code == ERROR_WINHTTP_SECURE_CERT_DATE_INVALID ||
         code == ERROR_WINHTTP_SECURE_INVALID_CERT || code == ERROR_WINHTTP_SECURE_CERT_REVOKED ||
         code == ERROR_WINHTTP_SECURE_CHANNEL_ERROR;
}

}  // namespace

struct ServiceClient::Platform {
  std::shared_ptr<Handle> session;
  PCCERT_CONTEXT pinned = nullptr;
  ~Platform() {
    if (pinned) CertFreeCertificateContext(pinned);
  }
};

ServiceClient::ServiceClient(Settings settings, const CMNC::AbortSignal* stop)
    : settings_(std::move(settings)), stop_(stop), platform_(std::make_unique<Platform>()) {}
ServiceClient::~ServiceClient() = default;

namespace {

struct Exchange {
  std::shared_ptr<Handle> session;
  UrlParts parts;
  std::wstring path;
  std::string headers;
  std::string body;
  Check check;
  bool done = false;
  DWORD failure = 0;
  int status = 0;
  std::string answer;
  bool tooLong = false;
};

void readAnswer(HINTERNET request, Exchange& exchange) {
  DWORD status = 0, size = sizeof(status);
  WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                      &status, &size, WINHTTP_NO_HEADER_INDEX);
  exchange.status = static_cast<int>(status);
  char buffer[16384];
  DWORD read = 0;
  while (WinHttpReadData(request, buffer, sizeof(buffer), &read) && read > 0) {
    if (exchange.answer.size() + read > ServiceClient::kMaxAnswerBytes) {
      exchange.tooLong = true;
      return;
    }
    exchange.answer.append(buffer, read);
  }
}

HINTERNET openRequest(HINTERNET connection, Exchange& exchange) {
  HINTERNET request = WinHttpOpenRequest(connection, L"POST", exchange.path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                         WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE);
  if (!request) return nullptr;
  DWORD redirects = WINHTTP_DISABLE_REDIRECTS;
  WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &redirects, sizeof(redirects));
  if (exchange.check.pinned) {
    // The system would refuse the line's own authority: this station checks it instead.
    DWORD flags = SECURITY_FLAG_IGNORE_UNKNOWN_CA;
    WinHttpSetOption(request, WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof(flags));
  }
  return request;
}

// With a pinned certificate, a request without the token or a body goes first, and the service's
// certificate is checked on its answer: some WinHTTPs send a request that the status callback
// closed, so that callback alone cannot keep the token from a service that is not the line's.
bool probe(HINTERNET connection, Exchange& exchange) {
  HINTERNET request = openRequest(connection, exchange);
  if (!request) return exchange.failure = GetLastError(), false;
  const bool answered = WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) &&
                        WinHttpReceiveResponse(request, nullptr);
  if (!answered) exchange.failure = GetLastError();
  PCCERT_CONTEXT server = nullptr;
  DWORD size = sizeof(server);
  if (answered && (!WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &server, &size) || !server ||
                   !chainsToPinned(server, exchange.check.pinned, exchange.check.host)))
    exchange.check.refused = true;
  if (server) CertFreeCertificateContext(server);
  DWORD read = 0;
  char buffer[4096];
  while (answered && WinHttpReadData(request, buffer, sizeof(buffer), &read) && read > 0) {
  }
  WinHttpCloseHandle(request);
  return answered && !exchange.check.refused;
}

// One request, whole, on the calling thread (a helper thread the stop can leave behind).
void perform(Exchange& exchange) {
  Handle connection(WinHttpConnect(exchange.session->value, exchange.parts.host.c_str(), exchange.parts.port, 0));
  if (!connection.value) return void(exchange.failure = GetLastError());
  if (exchange.check.pinned && !probe(connection.value, exchange)) return;
  HINTERNET request = openRequest(connection.value, exchange);
  if (!request) return void(exchange.failure = GetLastError());
  if (exchange.check.pinned) {
    // And the request itself is checked before it goes, where the connection is a new one.
    DWORD_PTR context = reinterpret_cast<DWORD_PTR>(&exchange.check);
    WinHttpSetOption(request, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof(context));
    WinHttpSetStatusCallback(request, onStatus, WINHTTP_CALLBACK_FLAG_SEND_REQUEST, 0);
  }
  const std::wstring headers = CMNC::windowstext::wide(exchange.headers);
  const bool sent = WinHttpSendRequest(request, headers.c_str(), static_cast<DWORD>(-1), exchange.body.data(),
                                       static_cast<DWORD>(exchange.body.size()), static_cast<DWORD>(exchange.body.size()),
                                       0) &&
                    WinHttpReceiveResponse(request, nullptr);
  if (!sent) exchange.failure = GetLastError();
  else if (!exchange.check.refused) readAnswer(request, exchange);
  if (!exchange.check.refused) WinHttpCloseHandle(request);
  exchange.done = sent && !exchange.check.refused;
}

}  // namespace

bool ServiceClient::post(const std::string& path, const std::string& json, Answer& answer, std::string& error) {
  answer = {};
  auto exchange = std::make_shared<Exchange>();
  if (!crack(settings_.url, exchange->parts)) return error = "Not an https:// URL: " + settings_.url, false;
  if (!settings_.caFile.empty() && !platform_->pinned && !(platform_->pinned = readPinned(settings_.caFile, error)))
    return false;
  if (!platform_->session) {
    // WinHTTP's automatic proxy: the system's settings, as every program on the station has them.
    platform_->session = std::make_shared<Handle>(
        WinHttpOpen(L"vestrel", WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!platform_->session->value)
      platform_->session = std::make_shared<Handle>(
          WinHttpOpen(L"vestrel", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!platform_->session->value) return error = "WinHTTP could not be set up: " + CMNC::windowstext::systemMessage(GetLastError()), false;
    WinHttpSetTimeouts(platform_->session->value, kConnectTimeoutMs, kConnectTimeoutMs, kRequestTimeoutMs,
                       kRequestTimeoutMs);
  }
  std::string base = settings_.url;
  exchange->session = platform_->session;
  exchange->path = CMNC::windowstext::wide(path);
  exchange->headers = "Content-Type: application/json\r\nAuthorization: Bearer " + settings_.token + "\r\n";
  exchange->body = json;
  exchange->check.pinned = platform_->pinned ? CertDuplicateCertificateContext(platform_->pinned) : nullptr;
  exchange->check.host = exchange->parts.host;
  CMNC::AbortSignal never;
  const auto outcome = CMNC::AbortableCall::run(stop_ ? *stop_ : never, kRequestTimeoutMs + kConnectTimeoutMs,
                                                [exchange] {
                                                  perform(*exchange);
                                                  if (exchange->check.pinned) CertFreeCertificateContext(exchange->check.pinned);
                                                });
  if (outcome == CMNC::AbortableCall::Outcome::Aborted) return error = "The run was stopped before the line service answered.", false;
  if (outcome == CMNC::AbortableCall::Outcome::Timeout) return error = "The line service at " + base + " did not answer in time.", false;
  if (exchange->check.refused || certificateError(exchange->failure))
    return error = untrustedRemedy(base) + (exchange->failure ? " (WinHTTP error " + std::to_string(exchange->failure) + ")" : ""), false;
  if (!exchange->done)
    return error = "The line service at " + base + " cannot be reached (WinHTTP error " + std::to_string(exchange->failure) + ").", false;
  if (exchange->tooLong) return error = "The line service's answer is longer than a station reads.", false;
  answer.status = exchange->status;
  answer.body = std::move(exchange->answer);
  return true;
}
