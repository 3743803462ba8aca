#include "tests/support/tls_pki.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <memory>
#include <stdexcept>

namespace tavo::testsupport {
namespace {

using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using Cert = std::unique_ptr<X509, decltype(&X509_free)>;

constexpr long kDay = 24 * 60 * 60;

void Check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("test certificates: ") + what);
}

Key NewKey() {
  Key key(EVP_EC_gen("P-256"), EVP_PKEY_free);
  Check(key != nullptr, "key generation");
  return key;
}

void AddExtension(X509* cert, X509* issuer, int nid, const char* value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
  Check(ext != nullptr, "extension");
  X509_add_ext(cert, ext, -1);
  X509_EXTENSION_free(ext);
}

// A certificate for `key` named `cn`, valid from now+from to now+to seconds, signed by the
// issuer (itself when issuer is null).
Cert MakeCert(EVP_PKEY* key, const char* cn, long from, long to, long serial, X509* issuer,
              EVP_PKEY* issuer_key, const char* alt_names) {
  Cert cert(X509_new(), X509_free);
  Check(cert != nullptr, "X509_new");
  X509_set_version(cert.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial);
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), from);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), to);
  X509_set_pubkey(cert.get(), key);
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("Tavo test"), -1, -1, 0);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(cn),
                             -1, -1, 0);
  X509* signer = issuer != nullptr ? issuer : cert.get();
  X509_set_issuer_name(cert.get(), X509_get_subject_name(signer));
  if (issuer == nullptr) {
    AddExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(cert.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    AddExtension(cert.get(), signer, NID_subject_key_identifier, "hash");
  } else {
    AddExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:FALSE");
    AddExtension(cert.get(), signer, NID_key_usage, "critical,digitalSignature");
    AddExtension(cert.get(), signer, NID_ext_key_usage, "serverAuth");
    AddExtension(cert.get(), signer, NID_subject_alt_name, alt_names);
    AddExtension(cert.get(), signer, NID_authority_key_identifier, "keyid");
  }
  Check(X509_sign(cert.get(), issuer_key != nullptr ? issuer_key : key, EVP_sha256()) > 0, "sign");
  return cert;
}

CertAndKey Write(const std::string& folder, const std::string& name, X509* cert, EVP_PKEY* key) {
  CertAndKey files{folder + "/" + name + ".pem", folder + "/" + name + ".key"};
  std::FILE* f = std::fopen(files.cert.c_str(), "w");
  Check(f != nullptr && PEM_write_X509(f, cert) == 1, "write certificate");
  std::fclose(f);
  f = std::fopen(files.key.c_str(), "w");
  Check(f != nullptr && PEM_write_PrivateKey(f, key, nullptr, nullptr, 0, nullptr, nullptr) == 1,
        "write key");
  std::fclose(f);
  return files;
}

}  // namespace

TestPki::TestPki(const std::string& folder) {
  const Key ca_key = NewKey();
  const Cert ca = MakeCert(ca_key.get(), "Tavo test CA", -kDay, 365 * kDay, 1, nullptr, nullptr, nullptr);
  ca_ = Write(folder, "ca", ca.get(), ca_key.get());

  const Key other_key = NewKey();
  const Cert other = MakeCert(other_key.get(), "Tavo other CA", -kDay, 365 * kDay, 2, nullptr, nullptr, nullptr);
  other_ca_ = Write(folder, "other-ca", other.get(), other_key.get());

  const Key key = NewKey();
  const Cert server = MakeCert(key.get(), "127.0.0.1", -kDay, 365 * kDay, 3, ca.get(), ca_key.get(),
                               "IP:127.0.0.1,DNS:localhost");
  server_ = Write(folder, "server", server.get(), key.get());
  const Cert expired = MakeCert(key.get(), "127.0.0.1", -40 * kDay, -39 * kDay, 4, ca.get(),
                                ca_key.get(), "IP:127.0.0.1,DNS:localhost");
  expired_ = Write(folder, "expired", expired.get(), key.get());
  const Cert other_name = MakeCert(key.get(), "other.example", -kDay, 365 * kDay, 5, ca.get(),
                                   ca_key.get(), "DNS:other.example");
  other_name_ = Write(folder, "other-name", other_name.get(), key.get());
}

}  // namespace tavo::testsupport
