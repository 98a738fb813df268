#pragma once
// An HTTPS server on 127.0.0.1 with a freshly made self-signed certificate
// that no authority has signed: a client that checks certificates must refuse
// it. It counts the handshakes it was offered and the requests it answered.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

namespace klimavo::testing {

class TestTlsServer {
 public:
  TestTlsServer() {
    key_ = EVP_EC_gen("P-256");
    cert_ = X509_new();
    ASN1_INTEGER_set(X509_get_serialNumber(cert_), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert_), 0);
    X509_gmtime_adj(X509_getm_notAfter(cert_), 3600);
    X509_set_pubkey(cert_, key_);
    X509_NAME* name = X509_get_subject_name(cert_);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"),
                               -1, -1, 0);
    X509_set_issuer_name(cert_, name);
    X509_sign(cert_, key_, EVP_sha256());
    ctx_ = SSL_CTX_new(TLS_server_method());
    SSL_CTX_use_certificate(ctx_, cert_);
    SSL_CTX_use_PrivateKey(ctx_, key_);

    listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listen_fd_, 4);
    socklen_t length = sizeof address;
    ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }

  ~TestTlsServer() {
    stop_.store(true);
    thread_.join();
    ::close(listen_fd_);
    SSL_CTX_free(ctx_);
    X509_free(cert_);
    EVP_PKEY_free(key_);
  }

  TestTlsServer(const TestTlsServer&) = delete;
  TestTlsServer& operator=(const TestTlsServer&) = delete;

  std::string BaseUrl() const { return "https://127.0.0.1:" + std::to_string(port_); }
  int Handshakes() const { return handshakes_.load(); }
  int Answered() const { return answered_.load(); }

 private:
  void Serve() {
    while (!stop_.load()) {
      pollfd p{listen_fd_, POLLIN, 0};
      if (::poll(&p, 1, 10) <= 0) continue;
      const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      timeval timeout{2, 0};
      ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
      SSL* ssl = SSL_new(ctx_);
      SSL_set_fd(ssl, fd);
      ++handshakes_;
      if (SSL_accept(ssl) == 1) {
        char buffer[2048];
        if (SSL_read(ssl, buffer, sizeof buffer) > 0) {
          const std::string reply = "HTTP/1.1 200 OK\r\nContent-Length: 6\r\nConnection: close\r\n\r\nsecret";
          SSL_write(ssl, reply.data(), static_cast<int>(reply.size()));
          ++answered_;
        }
        SSL_shutdown(ssl);
      }
      SSL_free(ssl);
      ::close(fd);
    }
  }

  EVP_PKEY* key_ = nullptr;
  X509* cert_ = nullptr;
  SSL_CTX* ctx_ = nullptr;
  int listen_fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> handshakes_{0};
  std::atomic<int> answered_{0};
  std::thread thread_;
};

}  // namespace klimavo::testing
