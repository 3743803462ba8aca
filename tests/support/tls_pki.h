#pragma once
// Certificates for TLS tests, made by the test itself in a folder of its own: a private
// certificate authority and server certificates it signed (valid for 127.0.0.1, expired, or
// issued for another name), and a second authority that signed none of them.

#include <string>

namespace tavo::testsupport {

struct CertAndKey {
  std::string cert;  // PEM file of the certificate
  std::string key;   // PEM file of its private key
};

class TestPki {
 public:
  // Writes every file below `folder` (which must exist).
  explicit TestPki(const std::string& folder);

  // The authority that signed the server certificates.
  const std::string& CaFile() const { return ca_.cert; }
  // An authority of its own that signed nothing the servers use.
  const std::string& OtherCaFile() const { return other_ca_.cert; }
  // For IP address 127.0.0.1 and DNS name localhost, valid from yesterday to next year.
  const CertAndKey& Server() const { return server_; }
  // For 127.0.0.1 too, but valid only for a day some weeks ago.
  const CertAndKey& Expired() const { return expired_; }
  // Valid, but for the name other.example only.
  const CertAndKey& OtherName() const { return other_name_; }

 private:
  CertAndKey ca_;
  CertAndKey other_ca_;
  CertAndKey server_;
  CertAndKey expired_;
  CertAndKey other_name_;
};

}  // namespace tavo::testsupport
